#include "core/data/TDataSetStore.h"

#include "core/data/DateTimeText.h"

#include <QDateTime>
#include <QtEndian>

using namespace LoggerImage;

TLoadResult TDataSetStore::load(const QByteArray &image, qint64 expectedBytes)
{
    // Nothing of an earlier load takes part: the count is made afresh and
    // committed only with a successful parse.
    return ParseLoggerImage(image, CountDirectoryEntries(image), expectedBytes);
}

TLoadResult TDataSetStore::ParseLoggerImage(const QByteArray &image, int setCount, qint64 expectedBytes)
{
    m_faultySet = -1;
    if (setCount == 0)
        return TLoadResult::lrNoData;
    if (setCount < 0 || setCount > MaxSets || image.size() < DirectoryEnd)
        return TLoadResult::lrMemoryError;

    QList<double> startTimes;
    QList<qint32> intervals, sampleCounts, startAddresses, endAddresses;
    QList<quint8> unitFlags;
    QList<qint64> firstSamples;
    qint64 totalSamples = 0;
    // Compared in 64 bits: an end address is unsigned 32-bit, and one at or
    // above 2^31 must not pass for a small one.
    quint64 start = SampleStart;
    const double now = FrameworkTime::fromDateTime(QDateTime::currentDateTime());
    for (int k = 0; k < setCount; ++k) {
        const TDataSetEntry e = TDataSetEntry::read(image, k);
        const quint64 end = e.endAddress;
        if (end < start || expectedBytes < 0 || end > quint64(expectedBytes) || end > quint64(image.size())) {
            m_faultySet = k;
            return TLoadResult::lrDataError;
        }
        const QDate date(2000 + e.year, e.month, e.day);
        const bool validTime = e.hour < 24 && e.minute < 60 && e.second < 60;
        startTimes << (date.isValid() && validTime
                           ? FrameworkTime::fromDate(date, ((e.hour * 60 + e.minute) * 60 + e.second) * 1000)
                           : now);
        unitFlags << e.flags;
        intervals << intervalSeconds(e.intervalCode);
        const qint32 count = qint32((end - start) / SampleBytes);
        sampleCounts << count;
        startAddresses << qint32(start);
        endAddresses << qint32(end) - 1;
        firstSamples << totalSamples;
        totalSamples += count;
        start = end;
    }

    QList<float> values(totalSamples * 2);
    QList<double> times(totalSamples * 2);
    float *v = values.data();
    double *t = times.data();
    const char *bytes = image.constData();
    for (int k = 0; k < setCount; ++k) {
        const char *p = bytes + startAddresses.at(k);
        const double begin = startTimes.at(k);
        const double interval = intervals.at(k);
        const qint32 n = sampleCounts.at(k);
        for (qint32 j = 0; j < n; ++j, p += SampleBytes) {
            *v++ = decodeReading(qFromLittleEndian<qint16>(p));
            *v++ = decodeReading(qFromLittleEndian<qint16>(p + 2));
            const double when = begin + double(j) * interval / FrameworkTime::SecondsPerDay;
            *t++ = when;
            *t++ = when;
        }
    }

    m_lastImage = image;
    m_expectedBytes = expectedBytes;
    m_setCount = setCount;
    m_startTimes = std::move(startTimes);
    m_intervals = std::move(intervals);
    m_sampleCounts = std::move(sampleCounts);
    m_unitFlags = std::move(unitFlags);
    m_startAddresses = std::move(startAddresses);
    m_endAddresses = std::move(endAddresses);
    m_firstSamples = std::move(firstSamples);
    m_values = std::move(values);
    m_times = std::move(times);
    return TLoadResult::lrOk;
}

QStringList TDataSetStore::listHeadings()
{
    return {QStringLiteral("Set"), QStringLiteral("DATE"), QStringLiteral("TIME"), QStringLiteral("Rate"),
            QStringLiteral("Num."), QStringLiteral("Type"), QStringLiteral("Unit")};
}

QStringList TDataSetStore::listRow(int set, const DateTimeText &texts) const
{
    const double start = m_startTimes.at(set);
    return {QString::number(set + 1),
            texts.shortDate(start),
            DateTimeText::clock(start),
            DateTimeText::rateColumn(m_intervals.at(set)),
            QString::number(m_sampleCounts.at(set)),
            QString(),
            isFahrenheit(set) ? QStringLiteral("F") : QStringLiteral("C")};
}
