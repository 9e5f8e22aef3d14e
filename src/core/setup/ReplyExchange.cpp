#include "core/setup/ReplyExchange.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

ReplyExchange::ReplyExchange(const MonotonicClock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
}

ReplyExchange::~ReplyExchange()
{
    cancel();
}

void ReplyExchange::start(SerialPort &port, const Request &request, Done done)
{
    cancel();
    m_port = &port;
    m_request = request;
    m_done = std::move(done);
    const quint64 generation = m_generation;
    if (!port.isOpen()) {
        // Nothing can come; the end still arrives from the event loop.
        m_clock.callAfter(0, this, [this, generation] {
            if (generation == m_generation)
                finish();
        });
        return;
    }
    m_received = connect(&port, &SerialPort::received, this, [this] { check(); });
    m_closed = connect(&port, &SerialPort::closedByError, this, [this] {
        if (m_waiting)
            finish();
    });
    SendRequest(port, request.bytes);
    m_clock.callAfter(request.settleMs, this, [this, generation] { beginWait(generation); });
}

void ReplyExchange::beginWait(quint64 generation)
{
    if (generation != m_generation)
        return;
    m_waiting = true;
    m_clock.callAfter(m_request.timeoutMs, this, [this, generation] {
        if (generation == m_generation)
            finish();
    });
    check();
}

void ReplyExchange::check()
{
    if (!m_waiting || !m_port)
        return;
    if (!m_port->isOpen() || m_port->bytesWaiting() >= m_request.count)
        finish();
}

void ReplyExchange::finish()
{
    QByteArray reply;
    if (m_port)
        ReadWaiting(*m_port, reply, Meter::ReplyReadCap);
    Done done = std::move(m_done);
    cancel();
    if (done)
        done(reply);
}

void ReplyExchange::cancel()
{
    ++m_generation;
    disconnect(m_received);
    disconnect(m_closed);
    m_port = nullptr;
    m_waiting = false;
    m_done = nullptr;
}
