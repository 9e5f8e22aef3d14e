#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// Layout of the logger's memory image, as the meter sends it and as a
// collection file keeps it: a 16-byte header, a directory of 15 entries of
// 16 bytes, 64 unused bytes, then the samples of every data set in turn
// (4 bytes each: humidity and temperature in tenths, little-endian).
namespace LoggerImage {

constexpr int DirectoryStart = 16;
constexpr int EntryBytes = 16;
constexpr int MaxSets = 15;
constexpr int DirectoryEnd = 256;
constexpr int SampleStart = 320;
constexpr int SampleBytes = 4;
constexpr int PacketBytes = 64;
// No logger holds more; a longer download or collection file is refused.
constexpr qint64 MaxImageBytes = 16 * 1024 * 1024;

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
};

// Number of data sets: the entries before the first whose end address is
// zero, at most 15. The image must hold at least 256 bytes (0 otherwise).
int CountDirectoryEntries(QByteArrayView image);

// The logger stores the long intervals truncated; this gives the seconds.
int intervalSeconds(quint16 code);

// A raw reading in tenths as the program keeps it: raw * 0.1 computed in
// extended precision, stored as a float; below -200.0 becomes -9999.0 and
// above 1370.0 becomes 9999.0.
float decodeReading(qint16 raw);

// The byte count a download announces: the last data set's end address
// rounded up to a multiple of 64, computed in 64 bits. Empty when the
// directory holds no data set or the image is shorter than the directory.
std::optional<quint64> announcedTotal(QByteArrayView image);
constexpr quint64 roundUpToPacket(quint64 end)
{
    return (end + PacketBytes - 1) / PacketBytes * PacketBytes;
}

} // namespace LoggerImage
