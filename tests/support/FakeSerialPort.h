#pragma once

#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A port whose time is a FakeClock: bytes are scheduled to arrive at clock
// times, and waitForBytes() jumps the clock to the next arrival (or by the
// whole wait), so timing rules of seconds run in microseconds.
class FakeSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit FakeSerialPort(FakeClock &clock, QObject *parent = nullptr);

    // Bytes that arrive delayMs after now.
    void arriveIn(qint64 delayMs, const QByteArray &bytes);
    // Called with every write; may schedule answers.
    std::function<void(const QByteArray &)> onWrite;
    QByteArray written() const { return m_written; }
    QList<QByteArray> writes() const { return m_writes; }
    // Closes the port as if the device had gone.
    void fail() { m_open = false; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    qint64 bytesWaiting() override;
    QByteArray read(qint64 n) override;
    qint64 write(const QByteArray &bytes) override;
    void clearInput() override;
    void clearOutput() override {}
    bool waitForBytes(int msecs) override;

private:
    struct Arrival {
        qint64 at;
        QByteArray bytes;
    };
    void deliverDue();

    FakeClock &m_clock;
    bool m_open = true;
    QByteArray m_input;
    QList<Arrival> m_arrivals; // in time order
    QByteArray m_written;
    QList<QByteArray> m_writes;
};
