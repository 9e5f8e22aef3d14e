#include "data/LoggerImage.h"

#include <QtEndian>

#include <array>

namespace LoggerImage {

namespace {

quint16 u16At(QByteArrayView image, qsizetype at)
{
    return qFromLittleEndian<quint16>(image.data() + at);
}

quint32 u32At(QByteArrayView image, qsizetype at)
{
    return qFromLittleEndian<quint32>(image.data() + at);
}

// All 65536 raw readings decoded once: the parse then costs one look-up
// per reading.
const std::array<float, 65536> &readingTable()
{
    static const std::array<float, 65536> table = [] {
        std::array<float, 65536> t{};
        for (int i = 0; i < 65536; ++i) {
            const qint16 raw = qint16(quint16(i));
            const float v = float(static_cast<long double>(raw) * 0.1L);
            t[size_t(i)] = v < -200.0f ? UnderRange : (v > 1370.0f ? OverRange : v);
        }
        return t;
    }();
    return table;
}

} // namespace

TDataSetEntry TDataSetEntry::read(QByteArrayView image, int k)
{
    const qsizetype at = DirectoryStart + qsizetype(k) * EntryBytes;
    const auto *b = reinterpret_cast<const quint8 *>(image.data() + at);
    TDataSetEntry e;
    e.flags = b[1];
    e.intervalCode = u16At(image, at + 2);
    e.year = b[4];
    e.month = b[5];
    e.day = b[6];
    e.hour = b[7];
    e.minute = b[8];
    e.second = b[9];
    e.endAddress = u32At(image, at + 12);
    return e;
}

int CountDirectoryEntries(QByteArrayView image)
{
    if (image.size() < DirectoryEnd)
        return 0;
    int count = 0;
    while (count < MaxSets && u32At(image, DirectoryStart + count * EntryBytes + 12) != 0)
        ++count;
    return count;
}

int intervalSeconds(quint16 code)
{
    switch (code) {
    case 0x002C: return 300;
    case 0x0058: return 600;
    case 0xFFB0: return 1200;
    case 0x0008: return 1800;
    case 0x0010: return 3600;
    default: return code;
    }
}

float decodeReading(qint16 raw)
{
    return readingTable()[quint16(raw)];
}

std::optional<quint64> announcedTotal(QByteArrayView image)
{
    const int count = CountDirectoryEntries(image);
    if (count == 0)
        return std::nullopt;
    return roundUpToPacket(TDataSetEntry::read(image, count - 1).endAddress);
}

} // namespace LoggerImage
