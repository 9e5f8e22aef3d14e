#include "cli/ArchiveCommands.h"

#include "cli/AuditCommands.h"
#include "cli/DataCommands.h"
#include "cli/SiteCommands.h"

#include "core/app/AppFolders.h"
#include "core/archive/Archive.h"
#include "core/archive/ArchiveImport.h"
#include "core/archive/ArchiveVerify.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/RunReport.h"
#include "core/data/CollectionFile.h"
#include "core/data/TDataSetStore.h"
#include "core/report/ReportLayout.h"
#include "report/ReportWriter.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ArchiveCommands {

namespace {

const QString Usage = QStringLiteral(
    "list [--from T] [--to T] [--json] | show RUN [--json] | export RUN [--format txt|csv|ghf|518] -o OUT | "
    "report RUN -o OUT.pdf | verify [FILE] | import FILE... | backup -o FILE | review RUN --status S --comment TEXT | "
    "acknowledge RUN --excursion N --limits L --comment TEXT | sign RUN --meaning M | init | status [--json] | sync [--json]  "
    "[--archive PATH] [--url postgresql://HOST:PORT/DB?user=NAME]");

QJsonValue optionalValue(const std::optional<float> &v)
{
    return v ? QJsonValue(double(*v)) : QJsonValue();
}

QString rangeText(const std::optional<float> &min, const std::optional<float> &max)
{
    if (!min || !max)
        return QStringLiteral("-");
    return QString::number(double(*min), 'f', 1) + QStringLiteral("..") + QString::number(double(*max), 'f', 1);
}

QString utcText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QJsonObject runJson(const ArchiveRunInfo &r)
{
    return QJsonObject{{"run", r.id},
                       {"start", r.start},
                       {"interval_s", r.intervalSeconds},
                       {"unit", r.unit},
                       {"samples", r.samples},
                       {"first_sample", r.firstSample},
                       {"last_sample", r.lastSample},
                       {"versions", r.versions},
                       {"samples_sha256", r.samplesSha256},
                       {"humidity_min", optionalValue(r.humidityMin)},
                       {"humidity_max", optionalValue(r.humidityMax)},
                       {"temperature_min", optionalValue(r.temperatureMin)},
                       {"temperature_max", optionalValue(r.temperatureMax)},
                       {"first_download_utc", utcText(r.firstDownloadUtc)},
                       {"last_download_utc", utcText(r.lastDownloadUtc)},
                       {"first_download_utc_offset_s", r.firstDownloadUtcOffset}};
}

} // namespace

// RUN: a positive run number.
Result<qint64> runNumber(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok || id < 1)
        return fail(ErrorCode::Usage, QStringLiteral("\"%1\" is not a run number (see archive list).").arg(text));
    return id;
}

// --from / --to: an ISO 8601 date-time, the logger's local time.
Result<QDateTime> timeBound(const QCommandLineParser &parser, const QString &name)
{
    if (!parser.isSet(name))
        return QDateTime();
    const QString text = parser.value(name);
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            t = QDateTime(d, name == QLatin1String("to") ? QTime(23, 59, 59) : QTime(0, 0));
    }
    if (!t.isValid())
        return fail(ErrorCode::Usage, QStringLiteral("--%1 \"%2\" is not a time (e.g. 2026-03-01T10:00:00).").arg(name, text));
    return t;
}

Result<std::unique_ptr<Archive>> openExisting(const QString &path)
{
    if (!QFileInfo::exists(path))
        return fail(ErrorCode::Unreadable, QStringLiteral("There is no archive \"%1\".").arg(path));
    return Archive::open(path);
}

namespace {

int list(CliContext &ctx, Archive &archive, const ArchiveFilter &filter, bool json)
{
    Result<QList<ArchiveRunInfo>> runs = archive.runs(filter);
    if (!runs)
        return ctx.fail(runs.failure());
    if (json) {
        QJsonArray rows;
        for (const ArchiveRunInfo &r : *runs)
            rows.append(runJson(r));
        ctx.out() << QJsonDocument(rows).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }
    ctx.out() << "RUN\tSTART\tINTERVAL\tUNIT\tSAMPLES\tLAST SAMPLE\tVERSIONS\tHUMIDITY\tTEMPERATURE\tFINGERPRINT\n";
    for (const ArchiveRunInfo &r : *runs)
        ctx.out() << r.id << '\t' << r.start << '\t' << r.intervalSeconds << '\t' << r.unit << '\t' << r.samples
                  << '\t' << r.lastSample << '\t' << r.versions << '\t' << rangeText(r.humidityMin, r.humidityMax)
                  << '\t' << rangeText(r.temperatureMin, r.temperatureMax) << '\t' << r.samplesSha256.left(16) << '\n';
    return int(ExitCode::Success);
}

int show(CliContext &ctx, Archive &archive, qint64 id, bool json)
{
    Result<ArchiveRunInfo> run = archive.run(id);
    if (!run)
        return ctx.fail(run.failure());
    Result<QList<ArchiveVersionInfo>> versions = archive.versions(id);
    if (!versions)
        return ctx.fail(versions.failure());
    Result<QList<ArchiveDownloadInfo>> downloads = archive.downloadsOf(id);
    if (!downloads)
        return ctx.fail(downloads.failure());
    const QString note = daylightSavingNote(*run);
    if (json) {
        QJsonObject o = runJson(*run);
        QJsonArray vs;
        for (const ArchiveVersionInfo &v : *versions)
            vs.append(QJsonObject{{"version", v.version},
                                  {"samples", v.samples},
                                  {"samples_sha256", v.samplesSha256},
                                  {"first_sample", v.firstSample},
                                  {"last_sample", v.lastSample}});
        QJsonArray ds;
        for (const ArchiveDownloadInfo &d : *downloads)
            ds.append(QJsonObject{{"download", d.id},
                                  {"when_utc", utcText(d.whenUtc)},
                                  {"utc_offset_s", d.utcOffsetSeconds},
                                  {"time_zone", d.timeZone},
                                  {"host", d.host},
                                  {"user", d.osUser},
                                  {"port", d.port},
                                  {"source", d.source},
                                  {"source_path", d.sourcePath},
                                  {"image_sha256", d.imageSha256},
                                  {"record_hash", d.recordHash},
                                  {"version", d.version}});
        o.insert("version", run->version);
        o.insert("version_list", vs);
        o.insert("downloads", ds);
        o.insert("daylight_saving_note", note.isEmpty() ? QJsonValue() : QJsonValue(note));
        ctx.out() << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }
    QTextStream &out = ctx.out();
    out << "Run " << run->id << ": started " << run->start << ", every " << run->intervalSeconds << " s, unit "
        << run->unit << ", " << run->samples << " samples to " << run->lastSample << '\n';
    out << "Humidity " << rangeText(run->humidityMin, run->humidityMax) << ", temperature "
        << rangeText(run->temperatureMin, run->temperatureMax) << '\n';
    if (!note.isEmpty())
        out << note << '\n';
    out << "\nVERSION\tSAMPLES\tFIRST SAMPLE\tLAST SAMPLE\tSAMPLES SHA-256\n";
    for (const ArchiveVersionInfo &v : *versions)
        out << v.version << '\t' << v.samples << '\t' << v.firstSample << '\t' << v.lastSample << '\t'
            << v.samplesSha256 << '\n';
    out << "\nDOWNLOAD\tWHEN (UTC)\tOFFSET\tZONE\tHOST\tUSER\tSOURCE\tPORT OR FILE\tVERSION\tIMAGE SHA-256\tRECORD HASH\n";
    for (const ArchiveDownloadInfo &d : *downloads)
        out << d.id << '\t' << utcText(d.whenUtc) << '\t' << d.utcOffsetSeconds << '\t' << d.timeZone << '\t'
            << d.host << '\t' << d.osUser << '\t' << d.source << '\t' << (d.port.isEmpty() ? d.sourcePath : d.port)
            << '\t' << d.version << '\t' << d.imageSha256 << '\t' << d.recordHash << '\n';
    return int(ExitCode::Success);
}

int exportRun(CliContext &ctx, Archive &archive, qint64 id, const QString &format, const QString &output)
{
    Result<ArchiveRunInfo> run = archive.run(id);
    if (!run)
        return ctx.fail(run.failure());
    Result<TDataSetStore> store = archive.runStore(id);
    if (!store)
        return ctx.fail(store.failure());
    const AuditEntry entry =
        RunReport::entry(QStringLiteral("export"), run->id, run->samplesSha256, QFileInfo(output).absoluteFilePath());
    const bool collection = format.compare(QLatin1String("518"), Qt::CaseInsensitive) == 0
                            || (format.isEmpty() && QFileInfo(output).suffix() == QLatin1String("518"));
    if (!collection) {
        const int code = DataCommands::exportDataSet(ctx, *store, 1, format, output);
        return code == int(ExitCode::Success) ? AuditCommands::record(ctx, archive, entry, code) : code;
    }
    if (Result<> written = CollectionFile::writeImage(output, store->lastImage()); !written)
        return ctx.fail(written.failure());
    return AuditCommands::record(ctx, archive, entry);
}

int report(CliContext &ctx, Archive &archive, qint64 id, const QString &output)
{
    Result<ReportData> data = RunReport::data(archive, id);
    if (!data)
        return ctx.fail(data.failure());
    const ReportLayout layout(*data, ctx.texts());
    const Result<int> written = ReportWriter::write(layout, output, ReportWriter::pageSizeFor(ctx.texts().locale()));
    if (!written)
        return ctx.fail(written.failure());
    ctx.out() << "Wrote " << *written << " page(s) of run " << id << " to " << output << '\n';
    return AuditCommands::record(
        ctx, archive, RunReport::entry(QStringLiteral("report"), *data->archived, QFileInfo(output).absoluteFilePath()));
}

// Whether FILE holds exactly archived runs: each data set of a collection,
// or the samples of a data file.
int verifyFile(CliContext &ctx, Archive &archive, const QString &file)
{
    Result<QList<DataCommands::FileSamples>> sets = DataCommands::readSamples(ctx, file);
    if (!sets)
        return ctx.fail(sets.failure());
    int differing = 0;
    for (qsizetype k = 0; k < sets->size(); ++k) {
        const DataCommands::FileSamples &s = sets->at(k);
        const QString what = sets->size() > 1 || QFileInfo(file).suffix() == QLatin1String("518")
                                 ? QStringLiteral("%1, data set %2").arg(file).arg(k + 1)
                                 : file;
        Result<ArchiveComparison> c = archive.compare(s.x, s.humidity, s.temperature);
        if (!c)
            return ctx.fail(c.failure());
        if (c->matches()) {
            ctx.out() << what << ": matches run " << c->runId << ", version " << c->version << " (" << c->runSamples
                      << " samples).\n";
            continue;
        }
        ++differing;
        if (c->runId == 0)
            ctx.out() << what << ": no archived run starts at its first sample.\n";
        else
            ctx.out() << what << ": differs from run " << c->runId << ", version " << c->version << " from sample "
                      << c->firstDifference + 1 << " on: " << c->differing << " of " << std::max(c->fileSamples, c->runSamples)
                      << " samples differ (" << c->fileSamples << " in the file, " << c->runSamples
                      << " archived).\n";
    }
    if (differing > 0)
        return ctx.fail(ErrorCode::Damaged, QStringLiteral("\"%1\" does not hold exactly what the archive holds.").arg(file));
    return int(ExitCode::Success);
}

int verify(CliContext &ctx, Archive &archive)
{
    Result<ArchiveVerdict> verdict = ArchiveVerify::verify(archive);
    if (!verdict)
        return ctx.fail(verdict.failure());
    for (const QString &p : std::as_const(verdict->problems))
        ctx.out() << p << '\n';
    const QString text = ArchiveVerify::verdictText(*verdict, archive.path());
    if (!verdict->sound())
        return ctx.fail(ErrorCode::Damaged, text);
    ctx.out() << text << '\n';
    return int(ExitCode::Success);
}

int import(CliContext &ctx, Archive &archive, const QStringList &files)
{
    const ArchiveImport::Summary done = ArchiveImport::importFiles(archive, files, ctx.texts());
    for (const QString &line : done.lines)
        ctx.out() << line << '\n';
    int code = int(ExitCode::Success);
    for (const Failure &f : done.failures)
        code = ctx.fail(f);
    return code;
}

int backup(CliContext &ctx, Archive &archive, const QString &target)
{
    if (Result<> copied = archive.backup(target); !copied)
        return ctx.fail(copied.failure());
    ctx.out() << "Backed up " << archive.path() << " to " << target << '\n';
    return int(ExitCode::Success);
}

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(archiveOption());
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("list: a JSON array."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("backup: the copy to write (must not exist)."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("export: txt, csv, ghf or 518 (default: the extension of OUT, else txt)."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("list: runs still recording at or after T."),
                                  QStringLiteral("T"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("list: runs started at or before T."),
                                QStringLiteral("T"));
    const QCommandLineOption url(QStringLiteral("url"),
                                 QStringLiteral("The site archive (default: [site] url= of ini/archive.ini); list and "
                                                "verify read it instead of the workstation's archive."),
                                 QStringLiteral("URL"));
    parser.addOption(json);
    parser.addOption(url);
    parser.addOption(output);
    parser.addOption(format);
    parser.addOption(from);
    parser.addOption(to);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("list, show RUN, export RUN, report RUN, verify [FILE], import FILE... "
                                                "or backup."));
    if (AuditCommands::isArchiveAction(arguments.value(1)))
        return AuditCommands::runArchiveAction(ctx, arguments);
    if (auto code = ctx.parse(parser, arguments, true, Usage))
        return *code;
    const QStringList args = parser.positionalArguments();
    const QString action = args.value(0);
    const QStringList known{QStringLiteral("list"),   QStringLiteral("show"),   QStringLiteral("export"),
                            QStringLiteral("report"), QStringLiteral("verify"), QStringLiteral("import"),
                            QStringLiteral("backup"), QStringLiteral("init"),   QStringLiteral("status"),
                            QStringLiteral("sync")};
    if (!known.contains(action))
        return ctx.fail(ErrorCode::Usage,
                        action.isEmpty()
                            ? QStringLiteral("archive needs list, show, export, report, verify, import, backup, init, status or "
                                             "sync (see --help).")
                            : QStringLiteral("Unknown archive command \"%1\" (see --help).").arg(action));
    const bool takesRun = action == QLatin1String("show") || action == QLatin1String("export")
                          || action == QLatin1String("report");
    const qsizetype allowed = action == QLatin1String("import") ? args.size()
                              : takesRun || action == QLatin1String("verify") ? 2 : 1;
    if (args.size() > allowed)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("Unexpected argument \"%1\" (see --help).").arg(args.value(allowed)));
    qint64 runId = 0;
    if (takesRun) {
        if (args.size() < 2)
            return ctx.fail(ErrorCode::Usage, QStringLiteral("archive %1 needs a RUN (see archive list).").arg(action));
        Result<qint64> id = runNumber(args.at(1));
        if (!id)
            return ctx.fail(id.failure());
        runId = *id;
    }
    if ((action == QLatin1String("export") || action == QLatin1String("report")) && parser.value(output).isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive %1 needs -o OUT (see --help).").arg(action));
    Result<QDateTime> fromTime = timeBound(parser, QStringLiteral("from"));
    Result<QDateTime> toTime = timeBound(parser, QStringLiteral("to"));
    if (!fromTime)
        return ctx.fail(fromTime.failure());
    if (!toTime)
        return ctx.fail(toTime.failure());

    if (action == QLatin1String("import") && args.size() < 2)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive import needs at least one FILE (see --help)."));
    if (action == QLatin1String("backup") && parser.value(output).isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive backup needs -o FILE (see --help)."));

    const QString path = archivePath(parser);
    const QString site = SiteCommands::siteUrl(parser.value(url));
    if (action == QLatin1String("init"))
        return SiteCommands::init(ctx, site);
    if (action == QLatin1String("status"))
        return SiteCommands::status(ctx, path, site, parser.isSet(json));
    if (action == QLatin1String("sync"))
        return SiteCommands::sync(ctx, path, site, parser.isSet(json));
    if (parser.isSet(url) && action == QLatin1String("list"))
        return SiteCommands::list(ctx, site, parser.isSet(json));
    if (parser.isSet(url) && action == QLatin1String("verify") && args.size() == 1)
        return SiteCommands::verify(ctx, site);
    Result<std::unique_ptr<Archive>> archive = action == QLatin1String("import") ? Archive::open(path) : openExisting(path);
    if (!archive)
        return ctx.fail(archive.failure());
    if (action == QLatin1String("list"))
        return list(ctx, **archive, ArchiveFilter{*fromTime, *toTime}, parser.isSet(json));
    if (action == QLatin1String("show"))
        return show(ctx, **archive, runId, parser.isSet(json));
    if (action == QLatin1String("export"))
        return exportRun(ctx, **archive, runId, parser.value(format), parser.value(output));
    if (action == QLatin1String("report"))
        return report(ctx, **archive, runId, parser.value(output));
    if (action == QLatin1String("verify"))
        return args.size() > 1 ? verifyFile(ctx, **archive, args.at(1)) : verify(ctx, **archive);
    if (action == QLatin1String("import"))
        return import(ctx, **archive, args.mid(1));
    return backup(ctx, **archive, parser.value(output));
}

} // namespace

QCommandLineOption archiveOption()
{
    return QCommandLineOption(QStringLiteral("archive"),
                              QStringLiteral("The archive file to use (default: archive.sqlite in the program data folder)."),
                              QStringLiteral("PATH"));
}

QString archivePath(const QCommandLineParser &parser)
{
    const QString given = parser.value(QStringLiteral("archive"));
    return given.isEmpty() ? Archive::defaultPath(AppFolders().programFolder()) : given;
}

bool archive(CliContext &ctx, const QString &path, const ArchiveDownload &download)
{
    Result<std::unique_ptr<Archive>> opened = Archive::open(path);
    Result<ArchiveOutcome> added = opened ? (*opened)->add(download) : Result<ArchiveOutcome>(opened.failure());
    if (!added) {
        ctx.err() << "The download is not archived: " << added.message() << '\n';
        ctx.err().flush();
        return false;
    }
    ctx.out() << added->summary() << '\n';
    return true;
}

QList<CliCommand> commands()
{
    return {
        {QStringLiteral("archive"), Usage,
         QStringLiteral("List, show, export, report, verify, import into or back up the archive of every download; "
                        "send it to the site archive."), run},
    };
}

} // namespace ArchiveCommands
