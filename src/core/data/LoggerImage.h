#pragma once

#include "core/link/MeterMessages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <optional>

// Layout of the logger's memory image, as the meter sends it and as a
// collection file keeps it: a 16-byte header, a directory of 15 entries of
// 16 bytes, 64 unused bytes, then the samples of every data set in turn
// (4 bytes each: humidity and temperature in tenths, little-endian).
namespace LoggerImage {

constexpr int DirectoryStart = 16;
constexpr int EntryBytes = 16;
constexpr int MaxSets = 15;
// The directory ends where the download learns its total, and the samples
// start where the directory request's answer ends.
constexpr int DirectoryEnd = Meter::DirectoryKnownBytes;
constexpr int SampleStart = Meter::DirectoryBytes;
constexpr int SampleBytes = 4;
constexpr int PacketBytes = Meter::PacketPayload;

// Where each field sits inside a directory entry.
namespace EntryField {
constexpr int Flags = 1;
constexpr int IntervalCode = 2;   // 16 bits, little-endian
constexpr int Year = 4;
constexpr int Month = 5;
constexpr int Day = 6;
constexpr int Hour = 7;
constexpr int Minute = 8;
constexpr int Second = 9;
constexpr int EndAddress = 12;    // 32 bits, little-endian
} // namespace EntryField

// Byte offset of directory entry k.
constexpr qsizetype entryOffset(int k)
{
    return DirectoryStart + qsizetype(k) * EntryBytes;
}

// Out-of-range readings are stored as these markers.
constexpr float OverRange = 9999.0f;
constexpr float UnderRange = -9999.0f;

// One directory entry, as stored.
struct TDataSetEntry
{
    quint8 flags = 0;          // bit 0: temperature in degrees Fahrenheit
    quint16 intervalCode = 0;
    quint8 year = 0;           // minus 2000
    quint8 month = 0;
    quint8 day = 0;
    quint8 hour = 0;
    quint8 minute = 0;
    quint8 second = 0;
    quint32 endAddress = 0;    // one past the set's last byte

    bool isFahrenheit() const { return flags & 0x01; }
    // Entry k of the directory; the image must hold the whole directory.
    static TDataSetEntry read(QByteArrayView image, int k);
    // Writes the fields above into entry k; the image must hold the whole
    // directory. Bytes 0, 10 and 11 of the entry are left as they are.
    void write(QByteArray &image, int k) const;
};

// Number of data sets: the entries before the first whose end address is
// zero, at most 15. The image must hold at least 256 bytes (0 otherwise).
int CountDirectoryEntries(QByteArrayView image);

// The image with its directory ended at entry k (k's end address zeroed), so
// that it holds only the data sets before k; the samples are left in place.
// Empty when k names no entry or the image is shorter than the directory.
std::optional<QByteArray> truncateDirectoryAt(const QByteArray &image, int k);

// The logger stores the long intervals truncated; this gives the seconds.
int intervalSeconds(quint16 code);

// A raw reading in tenths as the program keeps it: raw * 0.1 computed in
// extended precision, stored as a float; below -200.0 becomes -9999.0 and
// above 1370.0 becomes 9999.0.
float decodeReading(qint16 raw);
// decodeReading() of every raw reading, indexed by its 16 bits as stored: a
// parse of millions of readings takes the table once and looks each one up.
const std::array<float, 65536> &readingTable();

// The byte count a download announces: the last data set's end address
// rounded up to a multiple of 64, computed in 64 bits. Empty when the
// directory holds no data set or the image is shorter than the directory.
std::optional<quint64> announcedTotal(QByteArrayView image);
constexpr quint64 roundUpToPacket(quint64 end)
{
    return (end + PacketBytes - 1) / PacketBytes * PacketBytes;
}

} // namespace LoggerImage
