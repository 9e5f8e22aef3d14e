#include "cli/DataCommands.h"

#include "cli/DataFileInput.h"
#include "cli/LimitOptions.h"

#include "core/base/LargeArray.h"
#include "core/chart/ChartModel.h"
#include "core/chart/DataSetChart.h"
#include "core/chart/GraphFile.h"
#include "core/data/BoundedRead.h"
#include "core/data/CollectionFile.h"
#include "core/data/DataSetDirectory.h"
#include "core/data/DerivedChannels.h"
#include "core/data/Statistics.h"
#include "core/data/TDataSetStore.h"
#include "core/files/DataFile.h"
#include "core/files/TextDataFile.h"
#include "core/link/MeterMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <vector>

namespace DataCommands {

namespace {

// The points of one chart: a data set of a collection file or a data file.
struct ChartData
{
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
    bool fromCollection = false;
    int set = 0;                // 1-based, collection only
    qint64 interval = 0;        // seconds, collection only
    double start = 0.0;         // the data set's start, collection only
    bool fahrenheit = false;
    qsizetype points = 0;       // the points read; x may hold more, unfilled
    qsizetype undated = 0;      // points whose date could not be read (time 0)

    ChartSeries series() const
    {
        return {{std::span<const double>(x), std::span<const double>(x)},
                {std::span<const float>(humidity), std::span<const float>(temperature)}};
    }
    // The unit of the readings: a data set's own; a data file's as --unit
    // says, else Celsius.
    TemperatureUnit unitOr(std::optional<TemperatureUnit> given) const
    {
        if (fromCollection)
            return fahrenheit ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
        return given.value_or(TemperatureUnit::Celsius);
    }
    // The readings read, corrected (markers and unfilled points stay).
    void applyOffsets(const CalibrationOffsets &offsets)
    {
        const size_t n = size_t(std::min<qsizetype>(points, qsizetype(humidity.size())));
        Calibration::apply(std::span<float>(humidity).first(n), offsets.humidity);
        Calibration::apply(std::span<float>(temperature).first(std::min(n, temperature.size())), offsets.temperature);
    }
};

QString isoTime(double days)
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return QString();
    return date.toString(Qt::ISODate) + u'T' + QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("hh:mm:ss"));
}

// The shortest decimal that reads back as the same float, so 25.3 stays 25.3.
QJsonValue jsonReading(float v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, res.ptr - buf).toDouble();
}

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

bool isCollection(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("518"), Qt::CaseInsensitive) == 0;
}

// Reads a collection file (with headOnly, a regular file's directory only)
// and refuses one larger than any logger image. A pipe or a device such as
// /dev/zero has no size to check, so it is read up to one byte past the
// largest image.
Result<> readCollection(const QString &path, bool headOnly, QByteArray &bytes, qint64 &size)
{
    QFile file(path);
    if (!openForReading(file))
        return fail(ErrorCode::Unreadable, QStringLiteral("Cannot read %1.").arg(quoted(path)));
    const bool regular = !file.isSequential();
    size = regular ? file.size() : 0;
    if (size <= Meter::MaxImageBytes) {
        bytes = regular && headOnly ? file.read(LoggerImage::DirectoryEnd) : readAtMost(file, Meter::MaxImageBytes);
        if (!regular || !headOnly)
            size = bytes.size();
    }
    if (size > Meter::MaxImageBytes)
        return fail(ErrorCode::TooLarge,
                    QStringLiteral("%1 is larger than 16 MiB and cannot be a logger image.").arg(quoted(path)));
    return {};
}

Result<> loadCollection(const QString &path, TDataSetStore &store)
{
    return readCollectionFile(path, store);
}

// Reads and checks the directory of a collection file just as
// loadCollection() does, without reading or decoding the samples: they
// decide nothing the directory shows. A file whose name does not say it is
// a collection and that does not load as one is named as what it is not.
Result<> loadDirectory(const QString &path, DataSetDirectory &directory)
{
    QByteArray head;
    qint64 size = 0;
    if (Result<> failed = readCollection(path, true, head, size); !failed)
        return failed;
    const Result<> loaded = directory.load(head, size, size);
    if (!loaded && !isCollection(path))
        return fail(ErrorCode::NotData, QStringLiteral("%1 is not a collection file (.518).").arg(quoted(path)));
    return collectionFailure(path, loaded, directory.faultySet());
}

Result<> setNumber(const QCommandLineParser &parser, const QString &path, int setCount, int &set)
{
    if (!parser.isSet(QStringLiteral("set")))
        return fail(ErrorCode::Usage, QStringLiteral("A collection file needs --set N (see --help)."));
    bool ok = false;
    set = parser.value(QStringLiteral("set")).toInt(&ok);
    if (!ok || set < 1 || set > setCount)
        return fail(ErrorCode::Usage, QStringLiteral("%1 holds %2 data set(s); --set must be between 1 and %2.")
                                             .arg(quoted(path))
                                             .arg(setCount));
    return {};
}

Result<> setNumber(const QCommandLineParser &parser, const QString &path, const TDataSetStore &store, int &set)
{
    return setNumber(parser, path, store.SetCount(), set);
}

// The chart of the data set --set names, decoded from a collection file with
// the same checks as a load into a store, but that set alone: a full logger
// image holds some 100 MB of samples and times, of which a command on one
// set needs a share.
Result<> loadCollectionSet(const QCommandLineParser &parser, const QString &path, ChartData &chart)
{
    Result<QByteArray> image = CollectionFile::readImage(path);
    if (!image)
        return image.failure();
    DataSetDirectory directory;
    const Result<> loaded = directory.load(*image, image->size(), image->size());
    if (!loaded)
        return collectionFailure(path, loaded, directory.faultySet());
    int set = 0;
    if (Result<> failed = setNumber(parser, path, directory.setCount(), set); !failed)
        return failed;
    const int k = set - 1;
    const size_t n = size_t(directory.sampleCounts().at(k));
    // The times and the readings side by side, on two cores where there
    // are: most of the time goes into the system's fresh pages for them.
    auto timesLater = std::async(std::launch::async, [&] {
        reserveLarge(chart.x, n);
        chart.x.resize(n);
        return TDataSetStore::decodeSetTimes(directory, k, chart.x.data());
    });
    reserveLarge(chart.humidity, n);
    reserveLarge(chart.temperature, n);
    chart.humidity.resize(n);
    chart.temperature.resize(n);
    TDataSetStore::decodeSetReadings(*image, directory, k, chart.humidity.data(), chart.temperature.data());
    chart.undated = timesLater.get();
    chart.fromCollection = true;
    chart.set = set;
    chart.interval = directory.intervals().at(k);
    chart.start = directory.startTimes().at(k);
    chart.fahrenheit = directory.isFahrenheit(k);
    chart.points = qsizetype(n);
    return {};
}

// The chart of data set `set` (1-based) of a store, as the data view shows it.
void chartOfSet(const TDataSetStore &store, int set, ChartData &chart)
{
    const int k = set - 1;
    const qsizetype n = store.SampleCounts().at(k);
    const qsizetype base = 2 * store.firstSample(k);
    chart.x.resize(size_t(n));
    chart.humidity.resize(size_t(n));
    chart.temperature.resize(size_t(n));
    for (qsizetype j = 0; j < n; ++j) {
        chart.x[size_t(j)] = store.Times().at(base + 2 * j);
        chart.humidity[size_t(j)] = store.Values().at(base + 2 * j);
        chart.temperature[size_t(j)] = store.Values().at(base + 2 * j + 1);
    }
    chart.fromCollection = true;
    chart.set = set;
    chart.interval = store.Intervals().at(k);
    chart.start = store.StartTimes().at(k);
    chart.fahrenheit = store.isFahrenheit(k);
    chart.points = n;
    chart.undated = std::count(chart.x.begin(), chart.x.end(), 0.0);
}

// The chart of a data file (TXT, CSV or graph file).
Result<> loadDataFileChart(CliContext &ctx, const QString &path, ChartData &chart)
{
    if (DataFile::kindOf(path) == DataFile::Kind::Graph) {
        ChartModel model;
        if (Result<> loaded = LoadGraphFile(model, path); !loaded)
            return loaded;
        TextFilePoints points = DataFile::chartPoints(model, 0, model.points());
        if (points.x.empty())
            return fail(ErrorCode::NoData, QStringLiteral("%1 holds no data point.").arg(quoted(path)));
        chart.x = std::move(points.x);
        chart.humidity = std::move(points.humidity);
        chart.temperature = std::move(points.temperature);
        chart.points = qsizetype(chart.x.size());
        chart.undated = std::count(chart.x.begin(), chart.x.end(), 0.0);
        return {};
    }
    const QChar separator = TextDataFile::separatorFor(path);
    if (separator.isNull())
        return fail(ErrorCode::Usage, QStringLiteral("%1 is neither a collection file (.518) nor a data file "
                                                        "(.ghf, .txt, .csv).")
                                             .arg(quoted(path)));
    TextFilePoints points;
    if (Result<> failed = readDataFile(ctx, path, separator, points); !failed)
        return failed;
    chart.x = std::move(points.x);
    chart.humidity = std::move(points.humidity);
    chart.temperature = std::move(points.temperature);
    chart.points = qsizetype(points.filled);
    chart.undated = qsizetype(points.undated);
    return {};
}

// The chart of a data set or of a data file, as the data view would show it.
Result<> loadChart(CliContext &ctx, const QCommandLineParser &parser, const QString &path, ChartData &chart)
{
    if (isCollection(path))
        return loadCollectionSet(parser, path, chart);
    if (parser.isSet(QStringLiteral("set")))
        return fail(ErrorCode::Usage, QStringLiteral("--set applies to collection files only."));
    return loadDataFileChart(ctx, path, chart);
}

QString onePath(const QCommandLineParser &parser)
{
    const QStringList args = parser.positionalArguments();
    return args.size() == 1 ? args.first() : QString();
}

int runSets(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print a JSON array.")});
    if (auto code = ctx.parse(parser, arguments, true, QStringLiteral("FILE.518 [--json] [--locale NAME]")))
        return *code;
    const QString path = onePath(parser);
    if (path.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("sets takes one collection file (see --help)."));
    DataSetDirectory directory;
    if (Result<> failed = loadDirectory(path, directory); !failed)
        return ctx.fail(failed.failure());

    const DateTimeText &texts = ctx.texts();
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray sets;
        for (int k = 0; k < directory.setCount(); ++k) {
            const QStringList row = directory.listRow(k, texts);
            sets.append(QJsonObject{
                {QStringLiteral("set"), k + 1},
                {QStringLiteral("start"), isoTime(directory.startTimes().at(k))},
                {QStringLiteral("interval_s"), directory.intervals().at(k)},
                {QStringLiteral("samples"), directory.sampleCounts().at(k)},
                {QStringLiteral("unit"), row.at(6)},
                {QStringLiteral("rate"), row.at(3)},
                {QStringLiteral("date"), row.at(1)},
                {QStringLiteral("time"), row.at(2)},
            });
        }
        ctx.out() << QJsonDocument(sets).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }

    QList<QStringList> rows{DataSetDirectory::listHeadings()};
    for (int k = 0; k < directory.setCount(); ++k)
        rows << directory.listRow(k, texts);
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], row.at(c).size());
    }
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c)
            line += row.at(c).leftJustified(widths[c] + 2);
        ctx.out() << line.trimmed() << '\n';
    }
    return int(ExitCode::Success);
}

void graphOfSet(ChartModel &model, const TDataSetStore &store, int set, const PrepareChartContext &context)
{
    prepareChartModel(model, dataSetChartArgs(store, set - 1), context);
    setDataSetPoints(model, store, set - 1);
}

// The format of --format, else the extension of OUT, else txt.
QString resolvedFormat(const QString &given, const QString &output)
{
    QString format = given.toLower();
    if (!format.isEmpty())
        return format;
    switch (DataFile::kindOf(output)) {
    case DataFile::Kind::Graph:
        return QStringLiteral("ghf");
    case DataFile::Kind::Csv:
        return QStringLiteral("csv");
    default:
        return QStringLiteral("txt");
    }
}

// The chart a data view would show for FILE, as a graph file: a data set of
// a collection or a text file prepared as the views prepare them (with the
// program's own looks: the command reads and writes no template), a graph file
// as it is.
int exportGraph(CliContext &ctx, const QCommandLineParser &parser, const QString &path, const QString &output)
{
    if (output.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("A graph file is written to a file only; give -o OUT."));
    PrepareChartContext context;
    context.withTemplate = false;
    ChartModel model;
    if (isCollection(path)) {
        TDataSetStore store;
        if (Result<> failed = loadCollection(path, store); !failed)
            return ctx.fail(failed.failure());
        int set = 0;
        if (Result<> failed = setNumber(parser, path, store, set); !failed)
            return ctx.fail(failed.failure());
        graphOfSet(model, store, set, context);
    } else {
        if (parser.isSet(QStringLiteral("set")))
            return ctx.fail(ErrorCode::Usage, QStringLiteral("--set applies to collection files only."));
        if (Result<> read = DataFile::readChart(model, path, ctx.texts(), context); !read)
            return ctx.fail(read.failure());
    }
    if (Result<> saved = SaveGraphFile(model, output); !saved)
        return ctx.fail(saved.failure());
    return int(ExitCode::Success);
}

// Why a text format cannot be written, if it cannot.
Result<> textFormatRefusal(const CliContext &ctx, const QString &format)
{
    if (format != QLatin1String("txt") && format != QLatin1String("csv") && format != QLatin1String("csv-semicolon"))
        return fail(ErrorCode::Usage, QStringLiteral("--format must be txt, csv, csv-semicolon or ghf."));
    // A comma decimal separator in a comma-separated file would merge the fields.
    if (format == QLatin1String("csv") && ctx.texts().usesDecimalComma())
        return fail(ErrorCode::Usage, QStringLiteral("A comma-separated file cannot be written while the decimal "
                                                    "separator is a comma; use --format txt."));
    return {};
}

int writeTextChart(CliContext &ctx, const ChartData &chart, const QString &format, const QString &output);

int runExport(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("set"), QStringLiteral("The data set (1 = the first) of a collection file."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("format"),
                      QStringLiteral("txt (tab-separated), csv (comma-separated), csv-semicolon (';' between the "
                                     "fields and the locale's decimal separator, for spreadsheets) or ghf (graph "
                                     "file); default: the extension of OUT, else txt."),
                      QStringLiteral("FORMAT")});
    OffsetOptions::addTo(parser);
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("Write to OUT instead of the standard output."), QStringLiteral("OUT")});
    if (auto code = ctx.parse(parser, arguments, true,
                              QStringLiteral("FILE [--set N] [--format txt|csv|csv-semicolon|ghf] [-o OUT] [--locale NAME] "
                        "[--offset-temperature X] [--offset-humidity Y]")))
        return *code;
    const QString path = onePath(parser);
    if (path.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("export takes one collection or data file (see --help)."));
    const QString output = parser.value(QStringLiteral("output"));
    const QString format = resolvedFormat(parser.value(QStringLiteral("format")), output);
    OffsetOptions offsets;
    if (Result<> failed = offsets.read(parser); !failed)
        return ctx.fail(failed.failure());
    if (format == QLatin1String("ghf")) {
        if (offsets.offsets.any())
            return ctx.fail(ErrorCode::Usage, QStringLiteral("The calibration offsets apply to txt and csv exports; a "
                                                            "graph file keeps the readings as they are."));
        return exportGraph(ctx, parser, path, output);
    }
    if (Result<> refused = textFormatRefusal(ctx, format); !refused)
        return ctx.fail(refused.failure());
    ChartData chart;
    if (Result<> failed = loadChart(ctx, parser, path, chart); !failed)
        return ctx.fail(failed.failure());
    if (offsets.offsets.any()) {
        // The file format has no room for it: the error stream says so.
        const CalibrationOffsets applied = offsets.forUnit(chart.unitOr(std::nullopt));
        chart.applyOffsets(applied);
        ctx.err() << "kv518-cli: readings corrected: " << Calibration::text(applied, ctx.texts()) << Qt::endl;
    }
    return writeTextChart(ctx, chart, format, output);
}

int writeTextChart(CliContext &ctx, const ChartData &chart, const QString &format, const QString &output)
{
    const DateTimeText &texts = ctx.texts();
    const QChar separator = format == QLatin1String("csv-semicolon") ? QChar(u';')
                            : format == QLatin1String("csv")         ? QChar(u',')
                                                                     : QChar(u'\t');
    const qsizetype n = chart.points;
    // A point without a readable date cannot be written: every dated point
    // is, and the skipped ones are counted on the error stream. With no
    // dated point at all there is nothing to export.
    if (chart.undated > 0 && chart.undated >= n)
        return ctx.fail(undatedLines(ctx, chart.undated, n));
    const auto skipped = [&](const TextWriteResult &r) {
        if (r.undated > 0)
            ctx.err() << "kv518-cli: "
                      << QStringLiteral("%1 of %2 lines have a date that cannot be read with the regional format %3")
                             .arg(r.undated)
                             .arg(n)
                             .arg(texts.locale().name())
                      << " and were not written (try --locale)" << Qt::endl;
    };
    if (!output.isEmpty()) {
        const Result<TextWriteResult> r
            = TextDataFile::save(output, chart.x, chart.humidity, chart.temperature, 0, n, separator, texts);
        if (!r)
            return ctx.fail(r.failure());
        skipped(*r);
        return int(ExitCode::Success);
    }
    ctx.out().flush();
    QFile out;
    const Failure cannotWrite{ErrorCode::WriteFailed, QStringLiteral("Cannot write to the standard output.")};
    if (!out.open(stdout, QIODevice::WriteOnly))
        return ctx.fail(cannotWrite);
    const Result<TextWriteResult> r
        = TextDataFile::write(out, chart.x, chart.humidity, chart.temperature, 0, n, separator, texts);
    if (!r)
        return ctx.fail(cannotWrite);
    out.close();
    skipped(*r);
    return int(ExitCode::Success);
}

// The time of an extreme; null when no sample ever became one (time 0).
QJsonValue extremeTime(double time)
{
    return time == 0.0 ? QJsonValue() : QJsonValue(isoTime(time));
}

QJsonObject channelJson(const SetStatistics &s, int c, bool derived = false)
{
    const ChannelStatistics &ch = s.channel[c];
    // A derived channel without any value has no extremes either.
    const bool any = derived ? ch.count > 0 : s.points > 0;
    return QJsonObject{
        {QStringLiteral("max"), any ? jsonReading(ch.maximum) : QJsonValue()},
        {QStringLiteral("max_time"), extremeTime(ch.maximumTime)},
        {QStringLiteral("min"), any ? jsonReading(ch.minimum) : QJsonValue()},
        {QStringLiteral("min_time"), extremeTime(ch.minimumTime)},
        {QStringLiteral("avg"), ch.count > 0 ? QJsonValue(std::round(double(ch.average) * 1000.0) / 1000.0) : QJsonValue()},
        {QStringLiteral("count"), ch.count},
    };
}

QJsonValue rounded(std::optional<double> v)
{
    return v ? QJsonValue(std::round(*v * 1000.0) / 1000.0) : QJsonValue();
}

QJsonObject sideJson(const LimitSide &side)
{
    QJsonValue longest;
    if (side.longestLength > 0)
        longest = QJsonObject{{QStringLiteral("start"), isoTime(side.longestStart)},
                              {QStringLiteral("seconds"), side.longestSeconds}};
    return QJsonObject{
        {QStringLiteral("count"), side.count},
        {QStringLiteral("seconds"), side.seconds},
        {QStringLiteral("excursions"), side.excursions},
        {QStringLiteral("longest"), longest},
    };
}

QJsonValue breachJson(const Breach &b)
{
    return QJsonObject{
        {QStringLiteral("breached"), b.breached},
        {QStringLiteral("at"), b.breached ? QJsonValue(isoTime(b.time)) : QJsonValue()},
        {QStringLiteral("seconds_outside"), b.secondsOutside},
    };
}

QJsonObject breachesJson(const ChannelLimits &l, const ChannelBreaches &b)
{
    QJsonObject o{
        {QStringLiteral("delay_minutes"), l.delayMinutes},
        {QStringLiteral("delay"), l.delay == AlarmDelay::Total ? QStringLiteral("total") : QStringLiteral("consecutive")},
    };
    const auto add = [&](const std::optional<double> &level, const char *name, const Breach &breach) {
        if (level)
            o.insert(QLatin1String(name), breachJson(breach));
    };
    add(l.high, "alarm_above", b.alarmAbove);
    add(l.low, "alarm_below", b.alarmBelow);
    add(l.warningHigh, "warning_above", b.warningAbove);
    add(l.warningLow, "warning_below", b.warningBelow);
    return o;
}

QJsonValue windowJson(const KineticTemperature::WindowMkt &w)
{
    if (w.tooShort)
        return QJsonObject{{QStringLiteral("too_short"), true}};
    return QJsonObject{
        {QStringLiteral("too_short"), false},
        {QStringLiteral("mkt"), rounded(w.mkt)},
        {QStringLiteral("start"), w.mkt ? QJsonValue(isoTime(w.start)) : QJsonValue()},
    };
}

QJsonObject limitsJson(const LimitStatistics &s)
{
    return QJsonObject{
        {QStringLiteral("low"), s.limits.low ? QJsonValue(*s.limits.low) : QJsonValue()},
        {QStringLiteral("high"), s.limits.high ? QJsonValue(*s.limits.high) : QJsonValue()},
        {QStringLiteral("above"), sideJson(s.above)},
        {QStringLiteral("below"), sideJson(s.below)},
        {QStringLiteral("within_percent"), rounded(s.withinPercent)},
    };
}

const QString StatsUsage = QStringLiteral("FILE [--set N] [--json] [--locale NAME] [--limits temp=LOW:HIGH,hum=LOW:HIGH] "
                                          "[--warnings temp=LOW:HIGH,hum=LOW:HIGH] [--delay MINUTES [--delay-total]] "
                                          "[--activation-energy E] [--unit C|F] [--offset-temperature X] "
                                          "[--offset-humidity Y]");

int runStats(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("set"), QStringLiteral("The data set (1 = the first) of a collection file."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print a JSON object.")});
    LimitOptions::addTo(parser);
    OffsetOptions::addTo(parser);
    if (auto code = ctx.parse(parser, arguments, true, StatsUsage))
        return *code;
    const QString path = onePath(parser);
    if (path.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("stats takes one collection or data file (see --help)."));
    LimitOptions options;
    if (Result<> failed = options.read(parser); !failed)
        return ctx.fail(failed.failure());
    if (Result<> failed = options.checkUnitFor(isCollection(path)); !failed)
        return ctx.fail(failed.failure());
    OffsetOptions offsetOptions;
    if (Result<> failed = offsetOptions.read(parser); !failed)
        return ctx.fail(failed.failure());
    ChartData chart;
    if (Result<> failed = loadChart(ctx, parser, path, chart); !failed)
        return ctx.fail(failed.failure());
    const CalibrationOffsets offsets = offsetOptions.forUnit(chart.unitOr(options.unit));
    chart.applyOffsets(offsets);

    const DateTimeText &texts = ctx.texts();
    const ChartSeries series = chart.series();
    // A data file's readings carry no unit: Celsius unless --unit says otherwise.
    const TemperatureUnit unit = chart.unitOr(options.unit);
    // The worst windows take as long as the rest together and depend on
    // nothing else: they run beside it, on another core where there is one.
    const SetStatistics frame = Statistics::setFrame(series);
    const ChartSeries samples = series.first(frame.points);
    // The download view shows a data set's own interval, not the estimate.
    const qint64 interval = chart.fromCollection ? chart.interval : frame.rateSeconds;
    auto windowsLater = std::async(std::launch::async, [&] {
        return KineticTemperature::worstWindows(samples.x[1], samples.y[1], unit, options.activationEnergy,
                                                interval);
    });
    const SetStatistics s = Statistics::wholeSet(series);
    StatisticsTexts panel[2] = {Statistics::panelTexts(s, 0, texts), Statistics::panelTexts(s, 1, texts)};
    // The download view shows a data set's own interval and start, not the estimate.
    QString rate = panel[0].samplingRate;
    QString start = panel[0].startTime;
    QJsonValue isoStart = s.points > 0 ? QJsonValue(isoTime(s.first)) : QJsonValue();
    if (chart.fromCollection) {
        rate = DateTimeText::samplingRate(chart.interval);
        start = texts.dateTime(chart.start);
        isoStart = isoTime(chart.start);
    }
    const QString unitName = unit == TemperatureUnit::Fahrenheit ? QStringLiteral("F") : QStringLiteral("C");
    const std::optional<double> mkt = KineticTemperature::compute(
        series.y[1].first(size_t(s.points)), unit, options.activationEnergy);
    const SetStatistics derived = Humidity::wholeSet(samples, unit);
    std::optional<LimitStatistics> limits[2];
    std::optional<ChannelBreaches> breaches[2];
    for (int c = 0; c < 2; ++c) {
        if (options.limits[c].isSet() || options.limits[c].hasWarning())
            limits[c] = AlarmLimits::evaluate(samples.x[c], samples.y[c], options.limits[c], interval);
        if (options.limits[c].hasRules())
            breaches[c] = AlarmLimits::breaches(samples.x[c], samples.y[c], options.limits[c], interval);
    }
    const std::vector<KineticTemperature::WindowMkt> windows = windowsLater.get();

    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject channels[2] = {channelJson(s, 0), channelJson(s, 1)};
        for (int c = 0; c < 2; ++c) {
            if (limits[c])
                channels[c].insert(QStringLiteral("limits"), limitsJson(*limits[c]));
            if (breaches[c])
                channels[c].insert(QStringLiteral("breaches"), breachesJson(options.limits[c], *breaches[c]));
        }
        QJsonObject o{
            {QStringLiteral("points"), qint64(s.points)},
            {QStringLiteral("rate"), rate},
            {QStringLiteral("start"), isoStart},
            {QStringLiteral("humidity"), channels[0]},
            {QStringLiteral("temperature"), channels[1]},
            {QStringLiteral("mkt"), rounded(mkt)},
            {QStringLiteral("mkt_24h"), windowJson(windows[0])},
            {QStringLiteral("mkt_30d"), windowJson(windows[1])},
            {QStringLiteral("dew_point"), channelJson(derived, 0, true)},
            {QStringLiteral("absolute_humidity"), channelJson(derived, 1, true)},
            {QStringLiteral("unit"), unitName},
        };
        if (chart.fromCollection)
            o.insert(QStringLiteral("set"), chart.set);
        if (offsets.any())
            o.insert(QStringLiteral("correction"), QJsonObject{{QStringLiteral("temperature"), offsets.temperature},
                                                               {QStringLiteral("humidity"), offsets.humidity}});
        ctx.out() << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }

    QTextStream &out = ctx.out();
    out << "Start Time: " << start << '\n'
        << "Sampling Rate: " << rate << '\n'
        << "Data No.: " << panel[0].dataNo << '\n';
    if (offsets.any())
        out << "Correction: " << Calibration::text(offsets, texts) << " added to the readings\n";
    const char *names[2] = {"Humidity", "Temperature"};
    for (int c = 0; c < 2; ++c) {
        out << names[c] << " MAX: " << panel[c].maximum << '\n'
            << names[c] << " MIN: " << panel[c].minimum << '\n'
            << names[c] << " AVG: " << panel[c].average << '\n';
        if (!limits[c])
            continue;
        out << names[c] << " Limits: " << AlarmLimits::limitsText(limits[c]->limits, texts) << '\n'
            << names[c] << " Above: " << AlarmLimits::sideText(limits[c]->above, texts) << '\n'
            << names[c] << " Below: " << AlarmLimits::sideText(limits[c]->below, texts) << '\n'
            << names[c] << " Within: " << AlarmLimits::withinText(*limits[c], texts) << '\n';
        if (breaches[c])
            out << names[c] << " Breaches: " << AlarmLimits::breachesText(options.limits[c], *breaches[c], texts)
                << '\n';
    }
    const char *derivedNames[2] = {"Dew Point", "Absolute Humidity g/m3"};
    for (int c = 0; c < 2; ++c) {
        const StatisticsTexts t = Humidity::panelTexts(derived, c, texts);
        out << derivedNames[c] << " MAX: " << t.maximum << '\n'
            << derivedNames[c] << " MIN: " << t.minimum << '\n'
            << derivedNames[c] << " AVG: " << t.average << '\n';
    }
    const QString unitSuffix = u' ' + unitName;
    out << "MKT worst 24 h: " << KineticTemperature::windowText(windows[0], unitSuffix, QStringLiteral("24 h"), texts)
        << '\n'
        << "MKT worst 30 d: " << KineticTemperature::windowText(windows[1], unitSuffix, QStringLiteral("30 d"), texts)
        << '\n';
    out << "Mean Kinetic Temperature: " << (mkt ? texts.oneDecimal(*mkt) + u' ' + unitName : QStringLiteral("****"));
    if (!chart.fromCollection && !options.unit)
        out << " (readings taken as C; see --unit)";
    out << '\n';
    return int(ExitCode::Success);
}

} // namespace

int exportDataSet(CliContext &ctx, const TDataSetStore &store, int set, const QString &givenFormat,
                  const QString &output)
{
    const QString format = resolvedFormat(givenFormat, output);
    if (format == QLatin1String("ghf")) {
        if (output.isEmpty())
            return ctx.fail(ErrorCode::Usage, QStringLiteral("A graph file is written to a file only; give -o OUT."));
        PrepareChartContext context;
        context.withTemplate = false;
        ChartModel model;
        graphOfSet(model, store, set, context);
        if (Result<> saved = SaveGraphFile(model, output); !saved)
            return ctx.fail(saved.failure());
        return int(ExitCode::Success);
    }
    if (Result<> refused = textFormatRefusal(ctx, format); !refused)
        return ctx.fail(refused.failure());
    ChartData chart;
    chartOfSet(store, set, chart);
    return writeTextChart(ctx, chart, format, output);
}

Result<QList<FileSamples>> readSamples(CliContext &ctx, const QString &path)
{
    QList<ChartData> charts;
    if (isCollection(path)) {
        TDataSetStore store;
        if (Result<> failed = loadCollection(path, store); !failed)
            return failed.failure();
        for (int set = 1; set <= store.SetCount(); ++set)
            chartOfSet(store, set, charts.emplace_back());
    } else if (Result<> failed = loadDataFileChart(ctx, path, charts.emplace_back()); !failed) {
        return failed.failure();
    }
    QList<FileSamples> all;
    for (ChartData &c : charts) {
        const size_t n = size_t(c.points);
        c.x.resize(n);
        c.humidity.resize(n);
        c.temperature.resize(n);
        all.append({std::move(c.x), std::move(c.humidity), std::move(c.temperature)});
    }
    return all;
}


QList<CliCommand> commands()
{
    return {
        {QStringLiteral("sets"), QStringLiteral("FILE.518 [--json] [--locale NAME]"),
         QStringLiteral("List the data sets of a collection file."), runSets},
        {QStringLiteral("export"), QStringLiteral("FILE [--set N] [--format txt|csv|csv-semicolon|ghf] [-o OUT] [--locale NAME] "
                        "[--offset-temperature X] [--offset-humidity Y]"),
         QStringLiteral("Write a data set (or a data file) as a TXT, CSV (comma or, for spreadsheets, semicolon) or "
                        "graph file."), runExport},
        {QStringLiteral("stats"), StatsUsage,
         QStringLiteral("Maximum, minimum and average of both channels, the mean kinetic temperature, and how the "
                        "readings lie against alarm limits."),
         runStats},
    };
}

} // namespace DataCommands
