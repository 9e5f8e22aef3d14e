#pragma once

#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QObject>

#include <functional>

// One polled request: send it, then wait until `count` bytes wait on the port
// or the time limit has passed, and hand over what came (at most 256 bytes).
// The wait is a receive handler and a clock call, never a loop, so the window
// keeps answering while the meter thinks.
//
// The port must be open for this exchange alone (no other receive handler
// reads it meanwhile). On a closed port nothing is sent and the exchange ends
// at once with nothing received: there is nobody to wait for.
class ReplyExchange : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray bytes;
        int count = 0;       // bytes awaited
        int timeoutMs = 0;   // limit of the wait
        int settleMs = 0;    // a pause after the send before the wait begins
    };
    using Done = std::function<void(const QByteArray &reply)>;

    explicit ReplyExchange(const MonotonicClock &clock = MonotonicClock::system(), QObject *parent = nullptr);
    ~ReplyExchange() override;

    // Returns at once; done follows from the event loop, once (never from
    // inside start()). A running exchange is cancelled first.
    void start(SerialPort &port, const Request &request, Done done);
    void cancel();
    bool isRunning() const { return m_port != nullptr; }

private:
    void beginWait(quint64 generation);
    void check();
    void finish();

    const MonotonicClock &m_clock;
    SerialPort *m_port = nullptr;
    Request m_request;
    Done m_done;
    bool m_waiting = false;
    quint64 m_generation = 0;
    QMetaObject::Connection m_received;
    QMetaObject::Connection m_closed;
};
