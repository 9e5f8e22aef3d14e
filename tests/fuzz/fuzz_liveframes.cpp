// Live readings: frames cut from the stream the meter sends every 500 ms, and
// their decoding for the LCD mirror and kv518-cli live. The frames cut do not
// depend on how the stream was split into receive events; each frame is
// whole; decoding the same frame twice changes nothing more; the readings stay
// within what the LCD can show.
#include "FuzzCheck.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"

#include <QList>

namespace {

constexpr int Length = Meter::LiveFrameLength;

QList<QByteArray> cut(const QByteArray &stream, qsizetype split, QByteArray &rest)
{
    QList<QByteArray> frames;
    const auto take = [&](const QByteArray &frame) { frames.append(frame); };
    rest = stream.left(split);
    ExtractFrames(rest, Length, take);
    rest += stream.mid(split);
    ExtractFrames(rest, Length, take);
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray stream(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype split = stream.isEmpty() ? 0 : data[0] % (stream.size() + 1);

    QByteArray restWhole;
    const QList<QByteArray> whole = cut(stream, stream.size(), restWhole);
    QByteArray restSplit;
    FUZZ_CHECK(cut(stream, split, restSplit) == whole);
    // What stays is less than one frame, so the buffer never grows. (Stray
    // bytes left from one event may differ; they never make a frame.)
    FUZZ_CHECK(restWhole.size() < Length && restSplit.size() < Length);
    QByteArray next(Length, '\0');
    next.front() = char(0xEF);
    next.back() = char(0xFE);
    QByteArray ignored;
    FUZZ_CHECK(cut(restWhole + next, 0, ignored) == cut(restSplit + next, 0, ignored));

    LiveDisplayState state;
    for (const QByteArray &frame : whole) {
        FUZZ_CHECK(frame.size() == Length && uchar(frame.front()) == 0xEF && uchar(frame.back()) == 0xFE);
        const LiveDisplayState next = decodeLiveFrame(frame, state);
        FUZZ_CHECK(decodeLiveFrame(frame, next) == next);
        FUZZ_CHECK(next.IndicatorMask < (1u << LcdBit::Count));
        for (quint8 glyph : next.DigitCodes)
            FUZZ_CHECK(glyph <= 9 || glyph == kBlankGlyph);
        FUZZ_CHECK(lcdText(next).size() == 6);
        const LiveReading reading = readLiveFrame(frame);
        FUZZ_CHECK(reading.battery >= 0 && reading.battery <= 5);
        FUZZ_CHECK(reading.memory >= 0 && reading.memory <= 8);
        state = next;
    }
    // A piece of another length is no frame: the state stays.
    FUZZ_CHECK(decodeLiveFrame(stream.left(Length - 1), state) == state);
    return 0;
}
