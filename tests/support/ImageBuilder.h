#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <optional>

// One data set of a logger image under construction.
struct ImageSet
{
    struct Sample
    {
        qint16 humidity = 0;     // raw tenths
        qint16 temperature = 0;  // raw tenths
    };

    // Directory entry bytes as stored: year minus 2000, month, day, ...
    quint8 year = 9, month = 3, day = 1, hour = 10, minute = 20, second = 0;
    quint16 intervalCode = 60;
    quint8 flags = 0;
    QList<Sample> samples;
    int extraBytes = 0;                  // bytes after the last whole sample
    std::optional<quint32> endAddress;   // replaces the end the samples give

    ImageSet &at(const QDateTime &start);
    ImageSet &every(quint16 code) { intervalCode = code; return *this; }
    ImageSet &fahrenheit() { flags |= 0x01; return *this; }
    ImageSet &add(qint16 humidity, qint16 temperature) { samples.append({humidity, temperature}); return *this; }
    // n samples rising from h0 and t0 by dh and dt per sample (raw tenths).
    ImageSet &ramp(int n, int h0, int dh, int t0, int dt);
};

// Builds logger memory images the way the meter lays them out: header,
// directory of 15 entries, 64 unused bytes, then the samples of each set.
// Unused bytes carry a pattern, so tests can see they are kept.
class ImageBuilder
{
public:
    ImageBuilder &add(const ImageSet &set);
    // Bytes that the program does not interpret get this value (0 by default).
    ImageBuilder &unusedBytes(quint8 value);

    // The image up to the last end address, padded to a multiple of 64 bytes
    // as a download delivers it.
    QByteArray build() const;
    // The image ending exactly at the last end address.
    QByteArray buildExact() const;

    QList<ImageSet> sets() const { return m_sets; }

    // The collection shipped as tests/data/sample.518: three data sets, the
    // second in degrees Fahrenheit and running through midnight, the third
    // with out-of-range readings across a new year.
    static ImageBuilder sampleCollection();

private:
    QList<ImageSet> m_sets;
    quint8 m_unused = 0;
};
