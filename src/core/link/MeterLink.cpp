#include "core/link/MeterLink.h"

#include "core/link/MeterMessages.h"

#include <algorithm>

qint64 SendRequest(SerialPort &port, const QByteArray &message)
{
    if (!port.isOpen())
        return 0;
    return port.write(message);
}

qint64 SendFramed(SerialPort &port, const QByteArray &request)
{
    return SendRequest(port, Meter::stxEnvelope(request));
}

qint64 ReadWaiting(SerialPort &port, QByteArray &buffer, qint64 cap)
{
    const qint64 n = std::min(port.bytesWaiting(), cap);
    if (n <= 0)
        return 0;
    const QByteArray bytes = port.read(n);
    buffer += bytes;
    return bytes.size();
}

void ExtractFrames(QByteArray &buffer, int frameLength,
                   const std::function<void(const QByteArray &)> &handler)
{
    if (frameLength < 2)
        return;
    qsizetype pos = 0; // consumed prefix, removed once at the end
    while (buffer.size() - pos >= frameLength) {
        const qsizetype start = buffer.indexOf(Meter::StartByte, pos);
        if (start < 0) {
            pos = buffer.size();
            break;
        }
        if (start > pos) {
            pos = start;
            continue;
        }
        if (buffer.at(pos + frameLength - 1) == Meter::EndByte) {
            const QByteArray frame = buffer.mid(pos, frameLength);
            pos += frameLength;
            handler(frame);
        } else {
            ++pos;
        }
    }
    buffer.remove(0, pos);
}

quint8 PacketChecksum(const QByteArray &packet)
{
    quint8 sum = 0;
    for (int i = 1; i <= Meter::PacketPayload && i < packet.size(); ++i)
        sum = quint8(sum + quint8(packet.at(i)));
    return sum;
}

PacketExchange::PacketExchange(QObject *parent)
    : QObject(parent)
{
}

PacketExchange::~PacketExchange()
{
    cancel();
}

void PacketExchange::start(SerialPort &port, const QByteArray &request, PacketOptions options, Done done)
{
    cancel();
    m_port = &port;
    m_options = std::move(options);
    m_done = std::move(done);
    m_result = {};
    m_clock = m_options.clock ? m_options.clock : &MonotonicClock::system();
    m_cap = m_options.cap > 0 ? m_options.cap : Meter::MaxImageBytes;
    m_received = connect(&port, &SerialPort::received, this, &PacketExchange::step);
    m_closed = connect(&port, &SerialPort::closedByError, this, &PacketExchange::step);
    SendRequest(port, request);
    m_lastActivity = m_clock->nowMs();
    // The first look comes from the event loop, so done never runs inside start().
    const quint64 generation = ++m_wakeGeneration;
    m_wakePending = true;
    m_wakeDue = m_lastActivity;
    m_clock->callAfter(0, this, [this, generation] {
        if (generation != m_wakeGeneration)
            return;
        m_wakePending = false;
        step();
    });
}

void PacketExchange::cancel()
{
    disconnect(m_received);
    disconnect(m_closed);
    m_port = nullptr;
    m_done = nullptr;
    m_wakePending = false;
    ++m_wakeGeneration;
}

void PacketExchange::step()
{
    if (!m_port)
        return;
    // A progress step that shows a dialog lets the port's signals in again;
    // they are taken up by the run below once it regains control.
    if (m_stepping) {
        m_stepAgain = true;
        return;
    }
    m_stepping = true;
    bool running = true;
    do {
        m_stepAgain = false;
        while (running && m_port)
            running = stepOnce();
    } while (m_stepAgain && m_port);
    m_stepping = false;
    if (!m_ended)
        return;
    m_ended = false;
    const Done done = std::move(m_endedDone);
    m_endedDone = nullptr;
    const PacketResult result = m_result;
    // Last: done may start the next exchange or destroy this one.
    if (done)
        done(result);
}

bool PacketExchange::stepOnce()
{
    SerialPort &port = *m_port;
    if (!port.isOpen()) {
        finish(PacketEnd::PortClosed);
        return false;
    }
    if (m_result.retries > Meter::MaxPacketRetries) {
        finish(PacketEnd::TooManyRetries);
        return false;
    }
    const qint64 idle = m_clock->nowMs() - m_lastActivity;
    if (idle >= Meter::PacketSilenceMs) {
        finish(PacketEnd::Silence);
        return false;
    }
    const qint64 n = port.bytesWaiting();
    if (n >= Meter::PacketLength) {
        // Anything after the packet is dropped: the meter waits for our answer.
        const QByteArray packet = port.read(n).left(Meter::PacketLength);
        m_lastActivity = m_clock->nowMs();
        if (PacketChecksum(packet) != quint8(packet.at(Meter::PacketLength - 2))) {
            reject();
            return true;
        }
        if (m_result.bytes.size() + Meter::PacketPayload > m_cap) {
            finish(PacketEnd::SizeCap);
            return false;
        }
        m_result.bytes += packet.mid(1, Meter::PacketPayload);
        ++m_result.packets;
        SendRequest(port, Meter::ACK);
        if (m_options.progress)
            m_options.progress(m_result.bytes, PacketStep::Accepted);
        if (m_options.target > 0 && m_result.bytes.size() >= m_options.target) {
            finish(PacketEnd::TargetReached);
            return false;
        }
        return true;
    }
    if (n >= 1 && idle > Meter::StalePacketMs) {
        port.read(n);
        m_lastActivity = m_clock->nowMs();
        reject();
        return true;
    }
    // Nothing to do until bytes come (the port's signal) or the next rule is
    // due. A call already asked for that comes no later is kept: it looks
    // again and asks anew, so one call per rule is pending, not one per packet.
    const qint64 now = m_clock->nowMs();
    const qint64 due = now + std::max<qint64>(1, n >= 1 ? Meter::StalePacketMs + 1 - idle
                                                        : Meter::PacketSilenceMs - idle);
    if (m_wakePending && m_wakeDue <= due)
        return false;
    const quint64 generation = ++m_wakeGeneration;
    m_wakePending = true;
    m_wakeDue = due;
    m_clock->callAfter(due - now, this, [this, generation] {
        if (generation != m_wakeGeneration)
            return;
        m_wakePending = false;
        step();
    });
    return false;
}

void PacketExchange::reject()
{
    ++m_result.retries;
    SendRequest(*m_port, Meter::NAK);
    if (m_options.progress)
        m_options.progress(m_result.bytes, PacketStep::Rejected);
}

void PacketExchange::finish(PacketEnd end)
{
    m_result.end = end;
    m_endedDone = std::move(m_done);
    m_ended = true;
    cancel();
}
