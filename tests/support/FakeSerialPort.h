#pragma once

#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A port whose time is a FakeClock: bytes are scheduled to arrive at clock
// times, and arrive (with the received signal) when the clock passes them, so
// timing rules of seconds run in microseconds.
class FakeSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit FakeSerialPort(FakeClock &clock, QObject *parent = nullptr);

    // Bytes that arrive delayMs after now (at once, with received(), for 0).
    void arriveIn(qint64 delayMs, const QByteArray &bytes);
    // Called with every write; may schedule answers.
    std::function<void(const QByteArray &)> onWrite;
    QByteArray written() const { return m_written; }
    QList<QByteArray> writes() const { return m_writes; }
    // Closes the port as if the device had gone.
    void fail();

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    qint64 bytesWaiting() override;
    QByteArray read(qint64 n) override;
    qint64 write(const QByteArray &bytes) override;
    void clearInput() override;
    void clearOutput() override {}

private:
    FakeClock &m_clock;
    bool m_open = true;
    QByteArray m_input;
    QByteArray m_written;
    QList<QByteArray> m_writes;
};
