#include "core/data/TDataSetStore.h"

#include "core/data/DateTimeText.h"

#include <QtEndian>

#include <utility>

using namespace LoggerImage;

namespace {

// Whether a load may write over the array of the load before: nothing else
// shares it and it is about the size needed. A full logger image takes
// ~100 MB of samples and times, and memory the process already holds fills
// many times faster than fresh pages, which the system hands out one page
// fault at a time. An array far larger than needed is let go.
template <typename T> bool reusable(const QList<T> &list, qsizetype entries)
{
    return list.isDetached() && list.capacity() >= entries && list.capacity() / 2 <= entries;
}

// A reusable array taken out of the store and sized for this load; within
// its capacity, so nothing is allocated.
template <typename T> QList<T> takeResized(QList<T> &stored, qsizetype entries)
{
    QList<T> list = std::exchange(stored, QList<T>());
    list.resize(entries);
    return list;
}

// The readings of a data set in the order stored, humidity then temperature
// of each sample: the same order as the store keeps them.
void decodeReadings(const uchar *bytes, qsizetype readings, const std::array<float, 65536> &table, float *out)
{
    for (qsizetype i = 0; i < readings; ++i)
        out[i] = table[qFromLittleEndian<quint16>(bytes + 2 * i)];
}

// Both entries of sample j get its time, start + j * interval / 86400, in
// that order of operations so every sample's time is the one the rest of
// the program computes.
void stampTimes(double start, double interval, qint32 samples, double *out)
{
    for (qint32 j = 0; j < samples; ++j) {
        const double when = start + double(j) * interval / FrameworkTime::SecondsPerDay;
        out[2 * j] = when;
        out[2 * j + 1] = when;
    }
}

} // namespace

qsizetype TDataSetStore::decodeSetTimes(const DataSetDirectory &directory, int k, double *times)
{
    const qint32 n = directory.sampleCounts().at(k);
    const double start = directory.startTimes().at(k);
    const double interval = directory.intervals().at(k);
    // As stampTimes() has it, so the times are the store's to the bit; two
    // at a time, as one vector division gives each lane the quotient of a
    // division of its own.
    using Double2 = double __attribute__((vector_size(16)));
    const Double2 starts = {start, start};
    const Double2 intervals = {interval, interval};
    const Double2 day = {double(FrameworkTime::SecondsPerDay), double(FrameworkTime::SecondsPerDay)};
    qsizetype undated = 0;
    qint32 j = 0;
    for (; j + 1 < n; j += 2) {
        const Double2 index = {double(j), double(j + 1)};
        const Double2 when = starts + index * intervals / day;
        times[j] = when[0];
        times[j + 1] = when[1];
        undated += qsizetype(when[0] == 0.0) + qsizetype(when[1] == 0.0);
    }
    for (; j < n; ++j) {
        times[j] = start + double(j) * interval / FrameworkTime::SecondsPerDay;
        undated += qsizetype(times[j] == 0.0);
    }
    return undated;
}

void TDataSetStore::decodeSetReadings(QByteArrayView image, const DataSetDirectory &directory, int k,
                                      float *humidity, float *temperature)
{
    const std::array<float, 65536> &table = readingTable();
    const auto *bytes = reinterpret_cast<const uchar *>(image.data()) + directory.startAddresses().at(k);
    const qint32 n = directory.sampleCounts().at(k);
    for (qint32 j = 0; j < n; ++j) {
        humidity[j] = table[qFromLittleEndian<quint16>(bytes + SampleBytes * j)];
        temperature[j] = table[qFromLittleEndian<quint16>(bytes + SampleBytes * j + 2)];
    }
}

void TDataSetStore::decodeSet(QByteArrayView image, const DataSetDirectory &directory, int k, double *times,
                              float *humidity, float *temperature)
{
    // Both halves in one pass.
    const std::array<float, 65536> &table = readingTable();
    const auto *bytes = reinterpret_cast<const uchar *>(image.data()) + directory.startAddresses().at(k);
    const qint32 n = directory.sampleCounts().at(k);
    const double start = directory.startTimes().at(k);
    const double interval = directory.intervals().at(k);
    for (qint32 j = 0; j < n; ++j) {
        humidity[j] = table[qFromLittleEndian<quint16>(bytes + SampleBytes * j)];
        temperature[j] = table[qFromLittleEndian<quint16>(bytes + SampleBytes * j + 2)];
        times[j] = start + double(j) * interval / FrameworkTime::SecondsPerDay;
    }
}

Result<> TDataSetStore::load(const QByteArray &image, qint64 expectedBytes)
{
    // Nothing of an earlier load takes part: the count is made afresh and
    // committed only with a successful parse.
    return ParseLoggerImage(image, CountDirectoryEntries(image), expectedBytes);
}

Result<> TDataSetStore::ParseLoggerImage(const QByteArray &image, int setCount, qint64 expectedBytes)
{
    DataSetDirectory directory;
    Result<> read = directory.read(image, image.size(), setCount, expectedBytes);
    m_faultySet = directory.faultySet();
    if (!read)
        return read;
    // Every check is behind us: from here the load cannot fail.
    decodeSamples(image, directory);
    m_lastImage = image;
    m_expectedBytes = expectedBytes;
    m_directory = std::move(directory);
    return {};
}

void TDataSetStore::decodeSamples(const QByteArray &image, const DataSetDirectory &directory)
{
    const qsizetype entries = 2 * directory.totalSamples();
    // Any new array is allocated before the store's own are touched, so a
    // load that runs out of memory leaves the store as it was.
    const bool reuseValues = reusable(m_values, entries);
    const bool reuseTimes = reusable(m_times, entries);
    QList<float> values;
    QList<double> times;
    if (!reuseValues)
        values = QList<float>(entries);
    if (!reuseTimes)
        times = QList<double>(entries);
    if (reuseValues)
        values = takeResized(m_values, entries);
    if (reuseTimes)
        times = takeResized(m_times, entries);

    const std::array<float, 65536> &table = readingTable();
    const auto *bytes = reinterpret_cast<const uchar *>(image.constData());
    float *v = values.data();
    double *t = times.data();
    for (int k = 0; k < directory.setCount(); ++k) {
        const qint32 n = directory.sampleCounts().at(k);
        const qint64 first = 2 * directory.firstSample(k);
        decodeReadings(bytes + directory.startAddresses().at(k), 2 * qsizetype(n), table, v + first);
        stampTimes(directory.startTimes().at(k), directory.intervals().at(k), n, t + first);
    }
    m_values = std::move(values);
    m_times = std::move(times);
}
