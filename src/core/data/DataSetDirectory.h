#pragma once

#include "core/base/Result.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>

class DateTimeText;

// The directory of a logger image, read and checked: where each data set
// lies, when it started, its interval and its unit. It is all the data set
// list shows, and it needs only the image's first bytes and its size, so a
// listing never decodes a sample.
//
// A load fails with ErrorCode::NoData (no data set recorded), NotData (a
// directory whose count no logger writes, or an image too short to hold it:
// "Memory error!") or Damaged (a data set that does not fit in the image;
// faultySet() names it).
class DataSetDirectory
{
public:
    // Counts the entries in head, then reads them (read() below).
    Result<> load(QByteArrayView head, qint64 imageBytes, qint64 expectedBytes);

    // Reads setCount entries. head holds the image's first bytes, at least
    // the directory (or the whole image when it is shorter), imageBytes is
    // the size of the whole image: every data set must end within it and
    // within expectedBytes (the announced total of a download, the size of a
    // collection file). Changes nothing but faultySet() unless it succeeds.
    Result<> read(QByteArrayView head, qint64 imageBytes, int setCount, qint64 expectedBytes);

    // After a failed read: the entry that failed (-1 when the directory
    // itself was refused). The data sets before it are sound.
    int faultySet() const { return m_faultySet; }

    int setCount() const { return m_setCount; }
    const QList<double> &startTimes() const { return m_startTimes; }
    const QList<qint32> &intervals() const { return m_intervals; }
    const QList<qint32> &sampleCounts() const { return m_sampleCounts; }
    const QList<quint8> &unitFlags() const { return m_unitFlags; }
    const QList<qint32> &startAddresses() const { return m_startAddresses; }
    const QList<qint32> &endAddresses() const { return m_endAddresses; }
    bool isFahrenheit(int set) const { return m_unitFlags.at(set) & 0x01; }
    // Number of the first sample of a data set, counted over all data sets.
    qint64 firstSample(int set) const { return m_firstSamples.at(set); }
    qint64 totalSamples() const { return m_totalSamples; }

    // The data set list: headings and the row of data set k (row k + 1 of
    // the list). DATE after the regional short date, TIME "hh:mm:ss".
    static QStringList listHeadings();
    QStringList listRow(int set, const DateTimeText &texts) const;

private:
    int m_faultySet = -1;
    int m_setCount = 0;
    qint64 m_totalSamples = 0;
    QList<double> m_startTimes;
    QList<qint32> m_intervals;
    QList<qint32> m_sampleCounts;
    QList<quint8> m_unitFlags;
    QList<qint32> m_startAddresses;
    QList<qint32> m_endAddresses;
    QList<qint64> m_firstSamples;
};
