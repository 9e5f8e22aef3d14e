#include "core/archive/ArchiveImport.h"

#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/CollectionFile.h"
#include "core/data/LoggerImage.h"
#include "core/files/DataFile.h"
#include "core/files/TextDataFile.h"

#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace ArchiveImport {

namespace {

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

// The directory's code of an interval: the long ones as the logger stores
// them, the others as seconds; 0 for one it cannot hold (a code that reads
// as another interval among them).
quint16 intervalCode(qint64 seconds)
{
    for (const quint16 code : {quint16(0x002C), quint16(0x0058), quint16(0xFFB0), quint16(0x0008), quint16(0x0010)}) {
        if (LoggerImage::intervalSeconds(code) == seconds)
            return code;
        if (code == seconds)
            return 0;
    }
    return seconds > 0 && seconds <= 0xFFFF ? quint16(seconds) : 0;
}

// The stored word of a reading, or nothing for one no logger gives.
std::optional<qint16> rawReading(float v)
{
    if (v == LoggerImage::OverRange)
        return qint16(32767);
    if (v == LoggerImage::UnderRange)
        return qint16(-32768);
    if (!std::isfinite(v) || std::fabs(v) > 3276.0f)
        return std::nullopt;
    const auto raw = qint16(std::lround(double(v) * 10.0));
    if (LoggerImage::decodeReading(raw) != v)
        return std::nullopt;
    return raw;
}

struct FileSamples
{
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
};

// The samples of a data file, read as opening it does.
Result<FileSamples> readDataFile(const QString &path, const DateTimeText &texts)
{
    FileSamples s;
    if (DataFile::kindOf(path) == DataFile::Kind::Graph) {
        ChartModel chart;
        if (Result<> loaded = LoadGraphFile(chart, path); !loaded)
            return loaded.failure();
        TextFilePoints points = DataFile::chartPoints(chart, 0, chart.points());
        s.x = std::move(points.x);
        s.humidity = std::move(points.humidity);
        s.temperature = std::move(points.temperature);
    } else {
        TextFileExtent extent;
        TextFilePoints points;
        if (Result<> read = TextDataFile::read(path, DataFile::separatorOf(DataFile::kindOf(path)), texts, extent,
                                               points);
            !read)
            return read.failure();
        const auto filled = qsizetype(points.filled);
        points.x.resize(filled);
        points.humidity.resize(filled);
        points.temperature.resize(filled);
        s.x = std::move(points.x);
        s.humidity = std::move(points.humidity);
        s.temperature = std::move(points.temperature);
    }
    if (s.x.empty())
        return fail(ErrorCode::NoData, DataFile::noDataLineText(path));
    const auto undated = std::count(s.x.cbegin(), s.x.cend(), 0.0);
    if (undated > 0)
        return fail(ErrorCode::NoData, QStringLiteral("%1 of %2 lines of %3 have no date that can be read with the "
                                                      "regional format %4.")
                                           .arg(undated)
                                           .arg(s.x.size())
                                           .arg(quoted(path), texts.locale().name()));
    return s;
}

} // namespace

QStringList dialogFilters()
{
    return {QStringLiteral("Collections and data files (*.518 *.txt *.TXT *.csv *.CSV *.ghf *.GHF)"),
            QStringLiteral("Data Sets Collection (*.518) (*.518)"),
            QStringLiteral("Data files (*.txt *.TXT *.csv *.CSV *.ghf *.GHF)")};
}

bool isDataFile(const QString &path)
{
    return DataFile::kindOf(path) != DataFile::Kind::None;
}

Result<QByteArray> dataSetImage(std::span<const double> times, std::span<const float> humidity,
                                std::span<const float> temperature)
{
    const qsizetype n = qsizetype(times.size());
    if (n == 0 || humidity.size() != times.size() || temperature.size() != times.size())
        return fail(ErrorCode::NoData, QStringLiteral("It holds no sample."));
    if (n < 2)
        return fail(ErrorCode::NotData, QStringLiteral("It holds one sample: the interval it was recorded at cannot "
                                                       "be told."));
    if (LoggerImage::SampleStart + qint64(n) * LoggerImage::SampleBytes > Meter::MaxImageBytes)
        return fail(ErrorCode::TooLarge, QStringLiteral("It holds more samples (%1) than a logger records.").arg(n));
    const auto second = [](double days) { return std::llround(days * FrameworkTime::SecondsPerDay); };
    if (!std::isfinite(times[0]) || !FrameworkTime::isShown(times[0]))
        return fail(ErrorCode::NotData, QStringLiteral("Its first sample's time cannot be a logger's start."));
    const qint64 first = second(times[0]);
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(double(first) / FrameworkTime::SecondsPerDay, date, ms) || date.year() < 2000
        || date.year() > 2255)
        return fail(ErrorCode::NotData, QStringLiteral("Its first sample's time cannot be a logger's start."));
    const qint64 interval = second(times[1]) - first;
    const quint16 code = intervalCode(interval);
    if (code == 0)
        return fail(ErrorCode::NotData, QStringLiteral("Its interval of %1 s is none a logger records at.").arg(interval));
    for (qsizetype i = 1; i < n; ++i)
        if (second(times[size_t(i)]) != first + i * interval)
            return fail(ErrorCode::NotData, QStringLiteral("Its samples are not evenly spaced, as a logger records "
                                                           "them (sample %1).").arg(i + 1));

    const qint64 end = LoggerImage::SampleStart + qint64(n) * LoggerImage::SampleBytes;
    QByteArray image(qsizetype(LoggerImage::roundUpToPacket(quint64(end))), '\0');
    LoggerImage::TDataSetEntry entry;
    entry.intervalCode = code;
    entry.year = quint8(date.year() - 2000);
    entry.month = quint8(date.month());
    entry.day = quint8(date.day());
    const int s = (ms + 500) / 1000;
    entry.hour = quint8(s / 3600);
    entry.minute = quint8(s / 60 % 60);
    entry.second = quint8(s % 60);
    entry.endAddress = quint32(end);
    entry.write(image, 0);
    char *out = image.data() + LoggerImage::SampleStart;
    for (qsizetype i = 0; i < n; ++i) {
        const std::optional<qint16> h = rawReading(humidity[size_t(i)]);
        const std::optional<qint16> t = rawReading(temperature[size_t(i)]);
        if (!h || !t)
            return fail(ErrorCode::NotData, QStringLiteral("Sample %1 holds a reading no logger records (%2, %3).")
                                                .arg(i + 1)
                                                .arg(double(humidity[size_t(i)]))
                                                .arg(double(temperature[size_t(i)])));
        qToLittleEndian<qint16>(*h, out + LoggerImage::SampleBytes * i);
        qToLittleEndian<qint16>(*t, out + LoggerImage::SampleBytes * i + 2);
    }
    return image;
}

QString Imported::summary() const
{
    return fromDataFile ? outcome.summary() + QStringLiteral(", built from a data file") : outcome.summary();
}

Result<Imported> importFile(Archive &archive, const QString &path, const DateTimeText &texts)
{
    const auto named = [&path](const Failure &f) { return Failure{f.code, path + QStringLiteral(": ") + f.message}; };
    Imported done;
    done.fromDataFile = isDataFile(path);
    QByteArray image;
    qint64 size = 0;
    if (done.fromDataFile) {
        Result<FileSamples> samples = readDataFile(path, texts);
        if (!samples)
            return named(samples.failure());
        Result<QByteArray> built = dataSetImage(samples->x, samples->humidity, samples->temperature);
        if (!built)
            return named(built.failure());
        image = *built;
        size = image.size();
    } else {
        Result<QByteArray> read = CollectionFile::readImage(path, &size);
        if (!read)
            return named(read.failure());
        image = *read;
    }
    ArchiveDownload d = ArchiveDownload::here(image, ArchiveSource::Import);
    d.expectedBytes = size;
    d.sourcePath = QFileInfo(path).absoluteFilePath();
    d.fromDataFile = done.fromDataFile;
    Result<ArchiveOutcome> added = archive.add(d);
    if (!added)
        return named(added.failure());
    done.outcome = *added;
    return done;
}

Summary importFiles(Archive &archive, const QStringList &paths, const DateTimeText &texts)
{
    Summary s;
    for (const QString &path : paths) {
        Result<Imported> added = importFile(archive, path, texts);
        if (!added) {
            s.failures << added.failure();
            continue;
        }
        ++s.filesArchived;
        s.archived.runs += added->outcome.runs;
        s.lines << path + QStringLiteral(": ") + added->summary();
    }
    return s;
}

} // namespace ArchiveImport
