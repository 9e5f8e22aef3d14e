// The logger setup's replies: the memory directory, the interval reply, the
// clock frames and their cutting from a stream, the confirmations. Whatever
// the line delivers, the directory lists at most 15 sets numbered in order
// (a damaged entry ending before its start may count negative), an interval
// is one of the 14 items, a clock time is a real date, and cutting frames
// leaves less than a frame.
#include "FuzzCheck.h"

#include "core/link/MeterMessages.h"
#include "core/setup/SetupData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QList<SetupData::DirectoryRow> rows = SetupData::listDirectory(bytes);
    FUZZ_CHECK(rows.size() <= 15);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(rows[i].set == i + 1);
        FUZZ_CHECK(!rows[i].start || rows[i].start->isValid());
    }

    if (const std::optional<int> index = SetupData::intervalFromReply(bytes))
        FUZZ_CHECK(*index >= 0 && *index < SetupData::intervalItems().size());
    if (const std::optional<QDateTime> time = SetupData::clockFrameTime(bytes))
        FUZZ_CHECK(time->isValid());
    if (SetupData::isStrictIdentity(bytes))
        FUZZ_CHECK(bytes.size() >= 5);

    QByteArray stream = bytes;
    int times = 0;
    SetupData::extractClockTimes(stream, [&times](const QDateTime &t) {
        FUZZ_CHECK(t.isValid());
        ++times;
    });
    FUZZ_CHECK(stream.size() <= bytes.size());
    FUZZ_CHECK(times <= bytes.size() / Meter::ClockFrameLength);
    // What stays is at most a frame's beginning, kept for the next bytes.
    FUZZ_CHECK(stream.size() < Meter::ClockFrameLength);
    return 0;
}
