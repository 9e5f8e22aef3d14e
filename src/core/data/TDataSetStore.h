#pragma once

#include "core/data/DataSetDirectory.h"
#include "core/data/LoggerImage.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class DateTimeText;

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
    // Fails as DataSetDirectory::read() does.
    Result<> load(const QByteArray &image, qint64 expectedBytes);

    // The parse of a counted directory. Commits everything, SetCount
    // included, only when it succeeds.
    Result<> ParseLoggerImage(const QByteArray &image, int setCount, qint64 expectedBytes);

    // After a failed parse: the entry that failed (-1 when the directory
    // itself was refused). The data sets before it are sound.
    int faultySet() const { return m_faultySet; }

    // The bytes of the last successful load, byte for byte.
    const QByteArray &lastImage() const { return m_lastImage; }
    qint64 ExpectedBytes() const { return m_expectedBytes; }

    const DataSetDirectory &directory() const { return m_directory; }
    int SetCount() const { return m_directory.setCount(); }
    const QList<double> &StartTimes() const { return m_directory.startTimes(); }
    const QList<qint32> &Intervals() const { return m_directory.intervals(); }
    const QList<qint32> &SampleCounts() const { return m_directory.sampleCounts(); }
    const QList<quint8> &UnitFlags() const { return m_directory.unitFlags(); }
    const QList<qint32> &StartAddresses() const { return m_directory.startAddresses(); }
    const QList<qint32> &EndAddresses() const { return m_directory.endAddresses(); }
    // Two entries per sample, humidity then temperature; Times parallel.
    const QList<float> &Values() const { return m_values; }
    const QList<double> &Times() const { return m_times; }

    bool isFahrenheit(int set) const { return m_directory.isFahrenheit(set); }
    // Global number of the first sample of a data set: its humidity is
    // Values()[2 * n], its temperature the next entry.
    qint64 firstSample(int set) const { return m_directory.firstSample(set); }

    // The data set list: headings and the row of data set k (row k + 1 of
    // the list). DATE after the regional short date, TIME "hh:mm:ss".
    static QStringList listHeadings() { return DataSetDirectory::listHeadings(); }
    QStringList listRow(int set, const DateTimeText &texts) const { return m_directory.listRow(set, texts); }

    // The samples of data set k of an image whose directory has been read,
    // the same values a load keeps, but each channel in an array of its own
    // (n = directory.sampleCounts()[k] entries each): for a caller that wants
    // one data set of a large image without the store's copy of them all.
    static void decodeSet(QByteArrayView image, const DataSetDirectory &directory, int k, double *times,
                          float *humidity, float *temperature);
    // The two halves of decodeSet(), for a caller that fills the times and
    // the readings side by side: the times need the directory only.
    // decodeSetTimes() returns how many of the times are 0 (undated).
    static qsizetype decodeSetTimes(const DataSetDirectory &directory, int k, double *times);
    static void decodeSetReadings(QByteArrayView image, const DataSetDirectory &directory, int k, float *humidity,
                                  float *temperature);

private:
    void decodeSamples(const QByteArray &image, const DataSetDirectory &directory);

    QByteArray m_lastImage;
    qint64 m_expectedBytes = 0;
    int m_faultySet = -1;
    DataSetDirectory m_directory;
    QList<float> m_values;
    QList<double> m_times;
};
