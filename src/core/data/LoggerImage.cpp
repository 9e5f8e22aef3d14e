#include "core/data/LoggerImage.h"

#include <QtEndian>

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

} // namespace

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

TDataSetEntry TDataSetEntry::read(QByteArrayView image, int k)
{
    const qsizetype at = entryOffset(k);
    const auto *b = reinterpret_cast<const quint8 *>(image.data() + at);
    TDataSetEntry e;
    e.flags = b[EntryField::Flags];
    e.intervalCode = u16At(image, at + EntryField::IntervalCode);
    e.year = b[EntryField::Year];
    e.month = b[EntryField::Month];
    e.day = b[EntryField::Day];
    e.hour = b[EntryField::Hour];
    e.minute = b[EntryField::Minute];
    e.second = b[EntryField::Second];
    e.endAddress = u32At(image, at + EntryField::EndAddress);
    return e;
}

void TDataSetEntry::write(QByteArray &image, int k) const
{
    auto *b = reinterpret_cast<uchar *>(image.data() + entryOffset(k));
    b[EntryField::Flags] = flags;
    qToLittleEndian<quint16>(intervalCode, b + EntryField::IntervalCode);
    b[EntryField::Year] = year;
    b[EntryField::Month] = month;
    b[EntryField::Day] = day;
    b[EntryField::Hour] = hour;
    b[EntryField::Minute] = minute;
    b[EntryField::Second] = second;
    qToLittleEndian<quint32>(endAddress, b + EntryField::EndAddress);
}

int CountDirectoryEntries(QByteArrayView image)
{
    if (image.size() < DirectoryEnd)
        return 0;
    int count = 0;
    while (count < MaxSets && u32At(image, entryOffset(count) + EntryField::EndAddress) != 0)
        ++count;
    return count;
}

std::optional<QByteArray> truncateDirectoryAt(const QByteArray &image, int k)
{
    if (k < 0 || k >= MaxSets || image.size() < DirectoryEnd)
        return std::nullopt;
    QByteArray out = image;
    qToLittleEndian<quint32>(0, out.data() + entryOffset(k) + EntryField::EndAddress);
    return out;
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
