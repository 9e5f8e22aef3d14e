#pragma once

#include "core/link/ComPort.h"
#include "core/live/LiveDecoder.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

// The live poll of kv518-cli's `live` and `watch`, as the program polls: a
// LIVE_REQUEST every 500 ms, a wake byte before it while the meter has not
// answered lately, at most one reading per poll, and only frames whose values
// the meter can show. A flood of line noise is dropped but for the newest
// bytes.
class LivePoller : public QObject
{
    Q_OBJECT
public:
    explicit LivePoller(ComPort &port, QObject *parent = nullptr);

    void start();
    void stop();
    // Readings so far.
    qint64 readings() const { return m_readings; }

Q_SIGNALS:
    // A reading, with the LCD text it leaves on the mirror.
    void reading(const LiveReading &reading, const QString &lcd);
    // Bytes arrived after a first reading: the meter is still there.
    void traffic();
    // Each poll, after its request went out (or could not).
    void polled();

private:
    void tick();
    void readLive();

    ComPort &m_port;
    QTimer m_poll;
    QByteArray m_buffer;
    LiveDisplayState m_state;
    qint64 m_readings = 0;
    int m_unansweredPolls = 0;
    bool m_answered = true;
    bool m_readScheduled = false;
};
