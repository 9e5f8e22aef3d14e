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

qint64 AwaitBytes(SerialPort &port, qint64 count, double seconds, const MonotonicClock &clock)
{
    const qint64 deadline = clock.nowMs() + qint64(seconds * 1000.0);
    qint64 n = port.bytesWaiting();
    while (n < count && port.isOpen()) {
        const qint64 remaining = deadline - clock.nowMs();
        if (remaining <= 0)
            break;
        port.waitForBytes(int(remaining));
        n = port.bytesWaiting();
    }
    return n;
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

PacketResult ReceivePackets(SerialPort &port, const QByteArray &request, const PacketOptions &options)
{
    const MonotonicClock &clock = options.clock ? *options.clock : MonotonicClock::system();
    const qint64 cap = options.cap > 0 ? options.cap : Meter::MaxImageBytes;
    PacketResult result;
    auto step = [&](PacketStep s) {
        if (options.progress)
            options.progress(result.bytes, s);
    };
    auto reject = [&] {
        ++result.retries;
        SendRequest(port, Meter::NAK);
        step(PacketStep::Rejected);
    };

    SendRequest(port, request);
    qint64 lastActivity = clock.nowMs();
    while (true) {
        if (!port.isOpen()) {
            result.end = PacketEnd::PortClosed;
            break;
        }
        if (result.retries > Meter::MaxPacketRetries) {
            result.end = PacketEnd::TooManyRetries;
            break;
        }
        const qint64 idle = clock.nowMs() - lastActivity;
        if (idle >= Meter::PacketSilenceMs) {
            result.end = PacketEnd::Silence;
            break;
        }
        const qint64 n = port.bytesWaiting();
        if (n >= Meter::PacketLength) {
            // Anything after the packet is dropped: the meter waits for our answer.
            const QByteArray packet = port.read(n).left(Meter::PacketLength);
            lastActivity = clock.nowMs();
            if (PacketChecksum(packet) != quint8(packet.at(Meter::PacketLength - 2))) {
                reject();
                continue;
            }
            if (result.bytes.size() + Meter::PacketPayload > cap) {
                result.end = PacketEnd::SizeCap;
                break;
            }
            result.bytes += packet.mid(1, Meter::PacketPayload);
            ++result.packets;
            SendRequest(port, Meter::ACK);
            step(PacketStep::Accepted);
            if (options.target > 0 && result.bytes.size() >= options.target) {
                result.end = PacketEnd::TargetReached;
                break;
            }
            continue;
        }
        if (n >= 1 && idle > Meter::StalePacketMs) {
            port.read(n);
            lastActivity = clock.nowMs();
            reject();
            continue;
        }
        // Sleep on the port until bytes come or the next rule is due.
        qint64 due = n >= 1 ? Meter::StalePacketMs + 1 - idle : Meter::PacketSilenceMs - idle;
        if (options.idle)
            due = std::min<qint64>(due, Meter::IdleSliceMs);
        if (!port.waitForBytes(int(std::max<qint64>(1, due))) && options.idle)
            options.idle();
    }
    return result;
}
