#include "core/archive/MonitorRuns.h"

#include "core/data/DateTimeText.h"
#include "core/data/LoggerImage.h"
#include "core/data/TDataSetStore.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace MonitorRuns {

namespace {

// More samples than any watch records in years at one a second: a period
// time beyond this is damage, not a reason to allocate gigabytes.
constexpr qint64 MaxSamples = 100'000'000;
// Stored for a sample without a reading: decodes as LoggerImage::OverRange.
constexpr qint16 NoReading = std::numeric_limits<qint16>::max();

QDateTime utcOf(const QString &text)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    return dt.isValid() ? dt.toUTC() : dt;
}

// The PC's local time of an instant, with the offset it had then, naive:
// held as a UTC time, so that adding to it never steps for daylight saving.
QDateTime naiveLocal(const QDateTime &utc, int offsetSeconds)
{
    return utc.toUTC().addSecs(offsetSeconds);
}

std::optional<double> number(const QJsonObject &channel, const char *key)
{
    const QJsonValue v = channel.value(QLatin1String(key));
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

// The directory's code of an interval: most are their seconds, five long
// ones have codes of their own, and those codes are then no seconds.
std::optional<quint16> intervalCode(qint64 seconds)
{
    for (const qint64 code : {seconds, qint64(0x002C), qint64(0x0058), qint64(0xFFB0), qint64(0x0008), qint64(0x0010)})
        if (code > 0 && code <= 0xFFFF && LoggerImage::intervalSeconds(quint16(code)) == seconds)
            return quint16(code);
    return std::nullopt;
}

// A temperature of unit from in unit to ("C" or "F").
double converted(double value, const QString &from, const QString &to)
{
    if (from == to || from.isEmpty())
        return value;
    return to == u"F" ? value * 9.0 / 5.0 + 32.0 : (value - 32.0) * 5.0 / 9.0;
}

// The unit of the data set: the run's, else the first period's that knows one.
QString unitOf(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods)
{
    if (run.unit == u"C" || run.unit == u"F")
        return run.unit;
    for (const QJsonObject &p : periods) {
        const QString u = p.value(u"unit").toString();
        if (u == u"C" || u == u"F")
            return u;
    }
    return QStringLiteral("C");
}

struct Series
{
    QDateTime startUtc;
    int utcOffset = 0;
    QString unit;
    std::vector<std::array<std::optional<double>, 2>> means; // humidity, temperature
    std::optional<double> extremes[2][2];                    // [channel][min, max]
};

Result<Series> seriesOf(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods)
{
    Series s;
    s.unit = unitOf(run, periods);
    s.startUtc = periods.isEmpty() ? utcOf(run.startUtc) : utcOf(periods.first().value(u"time").toString());
    s.utcOffset = periods.isEmpty() ? run.utcOffset : periods.first().value(u"utc_offset_s").toInt();
    if (!s.startUtc.isValid())
        return fail(ErrorCode::Damaged, QStringLiteral("Monitoring run %1 has no valid start time.").arg(run.id));
    const qint64 interval = qMax<qint64>(run.intervalSeconds, 1);
    qint64 last = -1;
    for (const QJsonObject &p : periods) {
        const QDateTime at = utcOf(p.value(u"time").toString());
        if (!at.isValid())
            return fail(ErrorCode::Damaged, QStringLiteral("Monitoring run %1 has a period without a valid time.").arg(run.id));
        // Its place after the start; one on or before the last placed (a
        // clock set back) follows it.
        qint64 i = qint64(std::llround(double(s.startUtc.msecsTo(at)) / (1000.0 * double(interval))));
        i = qMax(i, last + 1);
        if (i >= MaxSamples)
            return fail(ErrorCode::Damaged,
                        QStringLiteral("Monitoring run %1 has a period too far after its start.").arg(run.id));
        s.means.resize(size_t(i + 1));
        last = i;
        const QString unit = p.value(u"unit").toString();
        for (int c = 0; c < 2; ++c) {
            const QJsonObject channel =
                p.value(c == 0 ? QStringLiteral("humidity") : QStringLiteral("temperature")).toObject();
            auto value = [&](const char *key) -> std::optional<double> {
                const std::optional<double> v = number(channel, key);
                return v && c == 1 ? std::optional<double>(converted(*v, unit, s.unit)) : v;
            };
            s.means[size_t(i)][size_t(c)] = value("mean");
            if (const std::optional<double> lo = value("min"))
                s.extremes[c][0] = s.extremes[c][0] ? std::min(*s.extremes[c][0], *lo) : *lo;
            if (const std::optional<double> hi = value("max"))
                s.extremes[c][1] = s.extremes[c][1] ? std::max(*s.extremes[c][1], *hi) : *hi;
        }
    }
    return s;
}

std::optional<float> asFloat(const std::optional<double> &v)
{
    return v ? std::optional<float>(float(*v)) : std::nullopt;
}

qint16 tenths(const std::optional<double> &v)
{
    if (!v || !std::isfinite(*v))
        return NoReading;
    return qint16(std::clamp<double>(std::round(*v * 10.0), -32768.0, 32766.0));
}

} // namespace

ArchiveRunInfo listing(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods)
{
    ArchiveRunInfo info;
    info.id = run.id;
    info.intervalSeconds = int(std::clamp<qint64>(run.intervalSeconds, 0, std::numeric_limits<int>::max()));
    Result<Series> s = seriesOf(run, periods);
    if (!s) {
        const QDateTime start = utcOf(run.startUtc);
        info.start = start.isValid() ? FrameworkTime::isoText(naiveLocal(start, run.utcOffset)) : run.startUtc;
        info.unit = unitOf(run, periods);
        return info;
    }
    const QDateTime start = naiveLocal(s->startUtc, s->utcOffset);
    info.start = FrameworkTime::isoText(start);
    info.unit = s->unit;
    info.samples = qint64(s->means.size());
    if (info.samples > 0) {
        info.firstSample = info.start;
        info.lastSample = FrameworkTime::isoText(start.addSecs((info.samples - 1) * qMax<qint64>(run.intervalSeconds, 1)));
    }
    info.humidityMin = asFloat(s->extremes[0][0]);
    info.humidityMax = asFloat(s->extremes[0][1]);
    info.temperatureMin = asFloat(s->extremes[1][0]);
    info.temperatureMax = asFloat(s->extremes[1][1]);
    return info;
}

Result<TDataSetStore> dataSet(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods)
{
    if (periods.isEmpty())
        return fail(ErrorCode::NoData, QStringLiteral("Monitoring run %1 has recorded no period yet.").arg(run.id));
    const std::optional<quint16> code = intervalCode(run.intervalSeconds);
    if (!code)
        return fail(ErrorCode::Refused,
                    QStringLiteral("Monitoring run %1 records every %2 s, which a data set cannot hold.")
                        .arg(run.id)
                        .arg(run.intervalSeconds));
    Result<Series> s = seriesOf(run, periods);
    if (!s)
        return s.failure();
    const QDateTime start = naiveLocal(s->startUtc, s->utcOffset);
    const int year = start.date().year();
    if (year < 2000 || year > 2255)
        return fail(ErrorCode::Refused,
                    QStringLiteral("Monitoring run %1 starts in %2, which a data set cannot hold.").arg(run.id).arg(year));

    const qsizetype bytes = qsizetype(s->means.size()) * LoggerImage::SampleBytes;
    QByteArray image(LoggerImage::SampleStart, '\0');
    LoggerImage::TDataSetEntry entry;
    entry.flags = s->unit == u"F" ? 0x01 : 0x00;
    entry.intervalCode = *code;
    entry.year = quint8(year - 2000);
    entry.month = quint8(start.date().month());
    entry.day = quint8(start.date().day());
    entry.hour = quint8(start.time().hour());
    entry.minute = quint8(start.time().minute());
    entry.second = quint8(start.time().second());
    entry.endAddress = quint32(LoggerImage::SampleStart + bytes);
    entry.write(image, 0);
    image.resize(LoggerImage::SampleStart + bytes);
    char *out = image.data() + LoggerImage::SampleStart;
    for (const auto &sample : s->means) {
        qToLittleEndian<qint16>(tenths(sample[0]), out);
        qToLittleEndian<qint16>(tenths(sample[1]), out + 2);
        out += LoggerImage::SampleBytes;
    }
    image.resize(qsizetype(LoggerImage::roundUpToPacket(quint64(image.size()))), '\0');

    TDataSetStore store;
    if (Result<> loaded = store.load(image, image.size()); !loaded)
        return loaded.failure();
    return store;
}

Result<QList<Listed>> list(MonitorStore &store)
{
    Result<QList<MonitorStore::RunInfo>> runs = store.runs();
    if (!runs)
        return runs.failure();
    QList<Listed> out;
    out.reserve(runs->size());
    for (const MonitorStore::RunInfo &run : *runs) {
        Result<QList<QJsonObject>> periods = store.periods(run.id);
        if (!periods)
            return periods.failure();
        out.append(Listed{run, listing(run, *periods)});
    }
    return out;
}

Result<TDataSetStore> open(MonitorStore &store, qint64 runId)
{
    Result<QList<MonitorStore::RunInfo>> runs = store.runs();
    if (!runs)
        return runs.failure();
    const auto run = std::find_if(runs->cbegin(), runs->cend(), [runId](const auto &r) { return r.id == runId; });
    if (run == runs->cend())
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no monitoring run %1.").arg(runId));
    Result<QList<QJsonObject>> periods = store.periods(runId);
    if (!periods)
        return periods.failure();
    return dataSet(*run, *periods);
}

} // namespace MonitorRuns
