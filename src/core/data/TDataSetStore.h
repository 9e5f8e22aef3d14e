#pragma once

#include "core/data/LoggerImage.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class DateTimeText;

// Result of a load. The values are those the download dialog tests.
enum class TLoadResult : qint32 {
    lrOk = 0,
    lrDataError = 1,
    lrMemoryError = 2,
    lrReadError = 3,
    lrNoData = 6,
};

// The data sets decoded from the logger's memory image: one store for the
// whole run, owned by the main window. A load replaces every data set at
// once, or leaves the store exactly as it was.
class TDataSetStore
{
public:
    // One load: counts the directory and parses image, checking every data
    // set against expectedBytes (the announced total of a download, the size
    // of a collection file) and against the bytes really there. An image
    // shorter than the directory has no data sets. On success the image is
    // kept (lastImage()) for the temporary and collection files.
    TLoadResult load(const QByteArray &image, qint64 expectedBytes);

    // The parse of a counted directory. Commits everything, SetCount
    // included, only when it returns lrOk.
    TLoadResult ParseLoggerImage(const QByteArray &image, int setCount, qint64 expectedBytes);

    // After a failed parse: the entry that failed (-1 when the directory
    // itself was refused). The data sets before it are sound.
    int faultySet() const { return m_faultySet; }

    // The bytes of the last successful load, byte for byte.
    const QByteArray &lastImage() const { return m_lastImage; }
    qint64 ExpectedBytes() const { return m_expectedBytes; }

    int SetCount() const { return m_setCount; }
    const QList<double> &StartTimes() const { return m_startTimes; }
    const QList<qint32> &Intervals() const { return m_intervals; }
    const QList<qint32> &SampleCounts() const { return m_sampleCounts; }
    const QList<quint8> &UnitFlags() const { return m_unitFlags; }
    const QList<qint32> &StartAddresses() const { return m_startAddresses; }
    const QList<qint32> &EndAddresses() const { return m_endAddresses; }
    // Two entries per sample, humidity then temperature; Times parallel.
    const QList<float> &Values() const { return m_values; }
    const QList<double> &Times() const { return m_times; }

    bool isFahrenheit(int set) const { return m_unitFlags.at(set) & 0x01; }
    // Global number of the first sample of a data set: its humidity is
    // Values()[2 * n], its temperature the next entry.
    qint64 firstSample(int set) const { return m_firstSamples.at(set); }

    // The data set list: headings and the row of data set k (row k + 1 of
    // the list). DATE after the regional short date, TIME "hh:mm:ss".
    static QStringList listHeadings();
    QStringList listRow(int set, const DateTimeText &texts) const;

private:
    QByteArray m_lastImage;
    qint64 m_expectedBytes = 0;
    int m_setCount = 0;
    int m_faultySet = -1;
    QList<double> m_startTimes;
    QList<qint32> m_intervals;
    QList<qint32> m_sampleCounts;
    QList<quint8> m_unitFlags;
    QList<qint32> m_startAddresses;
    QList<qint32> m_endAddresses;
    QList<qint64> m_firstSamples;
    QList<float> m_values;
    QList<double> m_times;
};
