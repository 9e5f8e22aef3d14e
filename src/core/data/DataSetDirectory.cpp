#include "core/data/DataSetDirectory.h"

#include "core/base/Log.h"
#include "core/data/DateTimeText.h"
#include "core/data/LoggerImage.h"

#include <QDateTime>

using namespace LoggerImage;

Result<> DataSetDirectory::load(QByteArrayView head, qint64 imageBytes, qint64 expectedBytes)
{
    return read(head, imageBytes, CountDirectoryEntries(head), expectedBytes);
}

Result<> DataSetDirectory::read(QByteArrayView head, qint64 imageBytes, int setCount, qint64 expectedBytes)
{
    m_faultySet = -1;
    if (setCount == 0)
        return fail(ErrorCode::NoData, QStringLiteral("There is not any recorded data in memory!"));
    if (setCount < 0 || setCount > MaxSets || head.size() < DirectoryEnd) {
        qCInfo(lcData) << "refused a directory of" << setCount << "data sets in" << head.size() << "bytes";
        return fail(ErrorCode::NotData, QStringLiteral("Memory error!"));
    }

    DataSetDirectory d;
    d.m_setCount = setCount;
    // Compared in 64 bits: an end address is unsigned 32-bit, and one at or
    // above 2^31 must not pass for a small one.
    quint64 start = SampleStart;
    const double now = FrameworkTime::fromDateTime(QDateTime::currentDateTime());
    for (int k = 0; k < setCount; ++k) {
        const TDataSetEntry e = TDataSetEntry::read(head, k);
        const quint64 end = e.endAddress;
        if (end < start || expectedBytes < 0 || end > quint64(expectedBytes) || imageBytes < 0
            || end > quint64(imageBytes)) {
            m_faultySet = k;
            qCInfo(lcData) << "data set" << k + 1 << "ends at" << end << "beyond the image's" << imageBytes
                           << "bytes or the announced" << expectedBytes;
            return fail(ErrorCode::Damaged, QStringLiteral("Data set %1 does not fit in the image.").arg(k + 1));
        }
        const QDate date(2000 + e.year, e.month, e.day);
        const bool validTime = e.hour < 24 && e.minute < 60 && e.second < 60;
        d.m_startTimes << (date.isValid() && validTime
                               ? FrameworkTime::fromDate(date, ((e.hour * 60 + e.minute) * 60 + e.second) * 1000)
                               : now);
        d.m_unitFlags << e.flags;
        d.m_intervals << intervalSeconds(e.intervalCode);
        const qint32 count = qint32((end - start) / SampleBytes);
        d.m_sampleCounts << count;
        d.m_startAddresses << qint32(start);
        d.m_endAddresses << qint32(end) - 1;
        d.m_firstSamples << d.m_totalSamples;
        d.m_totalSamples += count;
        start = end;
    }
    *this = std::move(d);
    return {};
}

QStringList DataSetDirectory::listHeadings()
{
    return {QStringLiteral("Set"), QStringLiteral("DATE"), QStringLiteral("TIME"), QStringLiteral("Rate"),
            QStringLiteral("Num."), QStringLiteral("Type"), QStringLiteral("Unit")};
}

QStringList DataSetDirectory::listRow(int set, const DateTimeText &texts) const
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
