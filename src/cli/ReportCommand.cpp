#include "cli/ReportCommand.h"

#include "cli/DataFileInput.h"
#include "cli/LimitOptions.h"

#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/TDataSetStore.h"
#include "core/files/DataFile.h"
#include "core/files/TextDataFile.h"
#include "core/link/MeterMessages.h"
#include "core/report/ReportLayout.h"
#include "report/ReportWriter.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <unistd.h>

namespace ReportCommand {

namespace {

const QString Usage = QStringLiteral(
    "FILE [--set N] -o OUT.pdf [--locale NAME] [--from TIME] [--to TIME] [--no-table] "
    "[--limits temp=LOW:HIGH,hum=LOW:HIGH] [--warnings temp=LOW:HIGH,hum=LOW:HIGH] [--delay MINUTES [--delay-total]] "
    "[--activation-energy E] [--unit C|F] [--offset-temperature X] [--offset-humidity Y]");

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

Result<> loadCollection(const QCommandLineParser &parser, const QString &path,
                                  ReportData &data)
{
    TDataSetStore store;
    if (Result<> loaded = readCollectionFile(path, store); !loaded)
        return loaded;
    int set = 1;
    if (parser.isSet(QStringLiteral("set"))) {
        bool ok = false;
        set = parser.value(QStringLiteral("set")).toInt(&ok);
        if (!ok)
            set = 0;
    } else if (store.SetCount() > 1) {
        return fail(ErrorCode::Usage, QStringLiteral("%1 holds %2 data sets; choose one with --set N.")
                                             .arg(quoted(path))
                                             .arg(store.SetCount()));
    }
    if (set < 1 || set > store.SetCount())
        return fail(ErrorCode::Usage, QStringLiteral("%1 holds %2 data set(s); --set must be between 1 and %2.")
                                             .arg(quoted(path))
                                             .arg(store.SetCount()));
    data = ReportData::fromStore(store, set - 1, QFileInfo(path).fileName());
    return {};
}

Result<> loadDataFile(CliContext &ctx, const QCommandLineParser &parser, const QString &path,
                                ReportData &data)
{
    if (parser.isSet(QStringLiteral("set")))
        return fail(ErrorCode::Usage, QStringLiteral("--set applies to collection files only."));
    TextFilePoints points;
    if (DataFile::kindOf(path) == DataFile::Kind::Graph) {
        ChartModel model;
        if (Result<> loaded = LoadGraphFile(model, path); !loaded)
            return loaded;
        points = DataFile::chartPoints(model, 0, model.points());
        if (points.x.empty())
            return fail(ErrorCode::NoData, QStringLiteral("%1 holds no data point.").arg(quoted(path)));
        points.filled = qint64(points.x.size());
    } else {
        const QChar separator = TextDataFile::separatorFor(path);
        if (separator.isNull())
            return fail(ErrorCode::Usage, QStringLiteral("%1 is neither a collection file (.518) nor a data file "
                                                            "(.ghf, .txt, .csv).")
                                                 .arg(quoted(path)));
        if (Result<> failed = readDataFile(ctx, path, separator, points); !failed)
            return failed;
    }
    const size_t n = size_t(points.filled);
    data.fileName = QFileInfo(path).fileName();
    data.x.assign(points.x.begin(), points.x.begin() + qsizetype(n));
    data.humidity.assign(points.humidity.begin(), points.humidity.begin() + qsizetype(n));
    data.temperature.assign(points.temperature.begin(), points.temperature.begin() + qsizetype(n));
    return {};
}

Result<> timeOption(CliContext &ctx, const QCommandLineParser &parser, const QString &name,
                              std::optional<double> &time)
{
    if (!parser.isSet(name))
        return {};
    time = ReportLayout::parseTime(parser.value(name), ctx.texts());
    if (!time)
        return fail(ErrorCode::Usage, QStringLiteral("--%1 \"%2\" is not a time (e.g. 2026-03-01T10:00:00).")
                                             .arg(name, parser.value(name)));
    return {};
}

// A bar on the terminal; nothing when stderr goes to a file or a pipe.
class TerminalProgress
{
public:
    explicit TerminalProgress(QTextStream &err)
        : m_err(err)
        , m_on(isatty(STDERR_FILENO) == 1)
    {
    }
    ~TerminalProgress()
    {
        if (m_on && m_shown)
            m_err << '\n' << Qt::flush;
    }

    bool operator()(int done, int pages)
    {
        if (!m_on)
            return true;
        const int percent = pages > 0 ? done * 100 / pages : 100;
        if (percent == m_percent)
            return true;
        m_percent = percent;
        m_shown = true;
        constexpr int Width = 30;
        const int filled = percent * Width / 100;
        m_err << "\rWriting report: page " << done << " of " << pages << " ["
              << QString(filled, u'#') << QString(Width - filled, u' ') << "] " << percent << '%' << Qt::flush;
        return true;
    }

private:
    QTextStream &m_err;
    bool m_on;
    bool m_shown = false;
    int m_percent = -1;
};

int runReport(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("set"), QStringLiteral("The data set (1 = the first) of a collection file."),
                      QStringLiteral("N")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The PDF file to write."),
                      QStringLiteral("OUT")});
    parser.addOption({QStringLiteral("from"),
                      QStringLiteral("Only samples at or after TIME (ISO 8601, or the locale's date and time)."),
                      QStringLiteral("TIME")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Only samples at or before TIME."),
                      QStringLiteral("TIME")});
    parser.addOption({QStringLiteral("no-table"), QStringLiteral("Leave the sample table out (page 1 only).")});
    LimitOptions::addTo(parser);
    OffsetOptions::addTo(parser);
    if (auto code = ctx.parse(parser, arguments, true, Usage))
        return *code;
    LimitOptions limits;
    if (Result<> failed = limits.read(parser); !failed)
        return ctx.fail(failed.failure());
    OffsetOptions offsets;
    if (Result<> failed = offsets.read(parser); !failed)
        return ctx.fail(failed.failure());
    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 1)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("report takes one collection or data file (see --help)."));
    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("report needs -o OUT.pdf (see --help)."));

    ReportLayout::Options options;
    options.table = !parser.isSet(QStringLiteral("no-table"));
    options.limits[0] = limits.limits[0];
    options.limits[1] = limits.limits[1];
    options.activationEnergy = limits.activationEnergy;
    if (Result<> failed = timeOption(ctx, parser, QStringLiteral("from"), options.from); !failed)
        return ctx.fail(failed.failure());
    if (Result<> failed = timeOption(ctx, parser, QStringLiteral("to"), options.to); !failed)
        return ctx.fail(failed.failure());

    const QString path = paths.first();
    ReportData data;
    const bool collection = QFileInfo(path).suffix().compare(QLatin1String("518"), Qt::CaseInsensitive) == 0;
    if (Result<> failed = limits.checkUnitFor(collection); !failed)
        return ctx.fail(failed.failure());
    if (Result<> failed = collection ? loadCollection(parser, path, data) : loadDataFile(ctx, parser, path, data); !failed)
        return ctx.fail(failed.failure());
    if (limits.unit)
        data.unit = *limits.unit == TemperatureUnit::Fahrenheit ? QStringLiteral("F") : QStringLiteral("C");
    if (options.from || options.to)
        data = data.window(options.from, options.to);
    options.offsets = offsets.forUnit(data.temperatureUnit().value_or(TemperatureUnit::Celsius));
    data.applyOffsets(options.offsets);

    const ReportLayout layout(data, ctx.texts(), options);
    TerminalProgress progress(ctx.err());
    const Result<int> result = ReportWriter::write(
        layout, output, ReportWriter::pageSizeFor(ctx.texts().locale()),
        [&progress](int done, int pages) { return progress(done, pages); });
    if (!result)
        return ctx.fail(result.failure());
    return int(ExitCode::Success);
}

} // namespace

QList<CliCommand> commands()
{
    return {{QStringLiteral("report"), Usage,
             QStringLiteral("Write a data set (or a data file) as a PDF report: header, chart, statistics, alarm "
                            "limits, samples."),
             runReport}};
}

bool needsGui(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "report") == 0)
        return true;
    // archive [--archive PATH] report RUN ...
    if (argc > 1 && std::strcmp(argv[1], "archive") == 0)
        for (int i = 2; i < argc; ++i)
            if (std::strcmp(argv[i], "report") == 0)
                return true;
    // audit export --format pdf, or -o OUT.pdf
    if (argc > 1 && std::strcmp(argv[1], "audit") == 0)
        for (int i = 2; i < argc; ++i)
            if (QByteArray(argv[i]).toLower().endsWith("pdf"))
                return true;
    return false;
}

} // namespace ReportCommand
