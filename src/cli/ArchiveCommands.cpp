#include "cli/ArchiveCommands.h"

#include "core/app/AppFolders.h"
#include "core/archive/Archive.h"
#include "core/data/CollectionFile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ArchiveCommands {

namespace {

const QString Usage = QStringLiteral("list [--json] | verify | import FILE... | backup -o FILE  [--archive PATH]");

Result<std::unique_ptr<Archive>> openExisting(const QString &path)
{
    if (!QFileInfo::exists(path))
        return fail(ErrorCode::Unreadable, QStringLiteral("There is no archive \"%1\".").arg(path));
    return Archive::open(path);
}

int list(CliContext &ctx, Archive &archive, bool json)
{
    Result<QList<ArchiveRunInfo>> runs = archive.runs();
    if (!runs)
        return ctx.fail(runs.failure());
    if (json) {
        QJsonArray rows;
        for (const ArchiveRunInfo &r : *runs)
            rows.append(QJsonObject{{"run", r.id},
                                    {"start", r.start},
                                    {"interval_s", r.intervalSeconds},
                                    {"unit", r.unit},
                                    {"samples", r.samples},
                                    {"first_sample", r.firstSample},
                                    {"last_sample", r.lastSample},
                                    {"versions", r.versions},
                                    {"samples_sha256", r.samplesSha256}});
        ctx.out() << QJsonDocument(rows).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }
    ctx.out() << "RUN\tSTART\tINTERVAL\tUNIT\tSAMPLES\tLAST SAMPLE\tVERSIONS\tFINGERPRINT\n";
    for (const ArchiveRunInfo &r : *runs)
        ctx.out() << r.id << '\t' << r.start << '\t' << r.intervalSeconds << '\t' << r.unit << '\t' << r.samples
                  << '\t' << r.lastSample << '\t' << r.versions << '\t' << r.samplesSha256.left(16) << '\n';
    return int(ExitCode::Success);
}

int verify(CliContext &ctx, Archive &archive)
{
    Result<QStringList> problems = archive.verify();
    if (!problems)
        return ctx.fail(problems.failure());
    for (const QString &p : *problems)
        ctx.out() << p << '\n';
    if (!problems->isEmpty())
        return ctx.fail(ErrorCode::Damaged, QStringLiteral("The archive \"%1\" does not match its hashes in %2 place(s).")
                                                .arg(archive.path())
                                                .arg(problems->size()));
    Result<qint64> downloads = archive.downloadCount();
    ctx.out() << "The archive is sound: " << downloads.valueOr(0) << " download(s), every image, run and record "
              << "matches its hash.\n";
    return int(ExitCode::Success);
}

int import(CliContext &ctx, Archive &archive, const QStringList &files)
{
    int code = int(ExitCode::Success);
    for (const QString &file : files) {
        qint64 size = 0;
        Result<QByteArray> image = CollectionFile::readImage(file, &size);
        if (!image) {
            code = ctx.fail(Failure{image.code(), file + QStringLiteral(": ") + image.message()});
            continue;
        }
        ArchiveDownload d = ArchiveDownload::here(*image, ArchiveSource::Import);
        d.expectedBytes = size;
        d.sourcePath = QFileInfo(file).absoluteFilePath();
        Result<ArchiveOutcome> added = archive.add(d);
        if (!added) {
            code = ctx.fail(Failure{added.code(), file + QStringLiteral(": ") + added.message()});
            continue;
        }
        ctx.out() << file << ": " << added->summary() << '\n';
    }
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
    parser.addOption(json);
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list, verify, import FILE... or backup."));
    if (auto code = ctx.parse(parser, arguments, false, Usage))
        return *code;
    const QStringList args = parser.positionalArguments();
    const QString action = args.value(0);
    const QStringList known{QStringLiteral("list"), QStringLiteral("verify"), QStringLiteral("import"),
                            QStringLiteral("backup")};
    if (!known.contains(action))
        return ctx.fail(ErrorCode::Usage, action.isEmpty()
                                              ? QStringLiteral("archive needs list, verify, import or backup (see --help).")
                                              : QStringLiteral("Unknown archive command \"%1\" (see --help).").arg(action));
    if (action != QLatin1String("import") && args.size() > 1)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("Unexpected argument \"%1\" (see --help).").arg(args.value(1)));

    if (action == QLatin1String("import") && args.size() < 2)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive import needs at least one FILE (see --help)."));
    if (action == QLatin1String("backup") && parser.value(output).isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive backup needs -o FILE (see --help)."));

    const QString path = archivePath(parser);
    Result<std::unique_ptr<Archive>> archive = action == QLatin1String("import") ? Archive::open(path) : openExisting(path);
    if (!archive)
        return ctx.fail(archive.failure());
    if (action == QLatin1String("list"))
        return list(ctx, **archive, parser.isSet(json));
    if (action == QLatin1String("verify"))
        return verify(ctx, **archive);
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
         QStringLiteral("List, verify, import into or back up the archive of every download."), run},
    };
}

} // namespace ArchiveCommands
