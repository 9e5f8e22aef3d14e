// The packet exchange fed whatever a meter (or line noise) might send. The
// input is a script: each step waits 0..255 x 20 ms on the clock, then delivers
// up to 255 bytes. Whatever comes, the exchange ends within the time its
// rules allow, accepts only whole payloads that came with a good checksum,
// answers every packet with exactly one ACK or NAK, and does the same on a
// second run of the same script.
#include "FuzzCheck.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QList>

#include <algorithm>
#include <optional>

namespace {

class ScriptedLine : public SerialPort
{
public:
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    qint64 bytesWaiting() override { return m_open ? m_input.size() : 0; }
    QByteArray read(qint64 n) override
    {
        const QByteArray out = m_input.left(n);
        m_input.remove(0, out.size());
        return out;
    }
    qint64 write(const QByteArray &bytes) override
    {
        writes.append(bytes);
        return bytes.size();
    }
    void clearInput() override { m_input.clear(); }
    void clearOutput() override {}
    void arrive(const QByteArray &bytes)
    {
        if (!m_open)
            return;
        m_input += bytes;
        Q_EMIT received();
    }

    QList<QByteArray> writes;

private:
    bool m_open = true;
    QByteArray m_input;
};

struct Run
{
    PacketResult result;
    QList<QByteArray> writes;
    qint64 endedAt = -1;
};

Run run(const uint8_t *data, size_t size, qint64 target)
{
    FakeClock clock;
    ScriptedLine line;
    QByteArray sent; // everything the script delivers, for the payload check
    qint64 at = 0;
    for (size_t i = 0; i + 1 < size;) {
        at += qint64(data[i]) * 20;
        const size_t length = std::min<size_t>(data[i + 1], size - i - 2);
        const QByteArray bytes(reinterpret_cast<const char *>(data) + i + 2, qsizetype(length));
        sent += bytes;
        clock.callAfter(at, &line, [&line, bytes] { line.arrive(bytes); });
        i += 2 + length;
    }

    PacketOptions options;
    options.clock = &clock;
    options.target = target;
    PacketExchange exchange;
    std::optional<PacketResult> result;
    exchange.start(line, Meter::DOWNLOAD_REQUEST, options, [&](const PacketResult &r) { result = r; });
    // Every rule ends the exchange within 3 s of the last byte, so it is over
    // once the script has run out and the silence has passed.
    const qint64 limit = at + Meter::PacketSilenceMs + Meter::StalePacketMs + 100;
    clock.runUntil([&] { return result.has_value(); }, limit);
    FUZZ_CHECK(result.has_value());

    Run r;
    r.result = *result;
    r.writes = line.writes;
    r.endedAt = clock.nowMs();
    // Every accepted payload came on the line as it is.
    for (qsizetype p = 0; p < r.result.bytes.size(); p += Meter::PacketPayload)
        FUZZ_CHECK(sent.contains(r.result.bytes.mid(p, Meter::PacketPayload)));
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses a directory read (a target of 320 bytes) or a download.
    const qint64 target = data[0] & 1 ? Meter::DirectoryBytes : 0;
    const Run first = run(data + 1, size - 1, target);
    const PacketResult &r = first.result;

    FUZZ_CHECK(r.bytes.size() == qsizetype(r.packets) * Meter::PacketPayload);
    FUZZ_CHECK(r.retries <= Meter::MaxPacketRetries + 1);
    FUZZ_CHECK((r.end == PacketEnd::TooManyRetries) == (r.retries > Meter::MaxPacketRetries));
    FUZZ_CHECK(r.end != PacketEnd::PortClosed && r.end != PacketEnd::SizeCap);
    if (r.end == PacketEnd::TargetReached)
        FUZZ_CHECK(target > 0 && r.bytes.size() >= target);
    // The request first, then one answer per packet taken or refused.
    FUZZ_CHECK(!first.writes.isEmpty() && first.writes.first() == Meter::DOWNLOAD_REQUEST);
    FUZZ_CHECK(first.writes.count(Meter::ACK) == r.packets);
    FUZZ_CHECK(first.writes.count(Meter::NAK) == r.retries);
    FUZZ_CHECK(first.writes.size() == 1 + r.packets + r.retries);

    // The clock decides everything: the same script, the same exchange.
    const Run second = run(data + 1, size - 1, target);
    FUZZ_CHECK(second.result.bytes == r.bytes && second.result.end == r.end
               && second.result.retries == r.retries && second.writes == first.writes
               && second.endedAt == first.endedAt);
    return 0;
}
