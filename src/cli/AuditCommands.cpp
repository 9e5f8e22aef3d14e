#include "cli/AuditCommands.h"

#include "cli/ArchiveCommands.h"
#include "cli/LimitOptions.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Review.h"
#include "core/archive/Signatures.h"
#include "core/data/AtomicFile.h"
#include "report/AuditWriter.h"
#include "report/ReportWriter.h"

#include <QFileInfo>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace AuditCommands {

namespace {

const QString Usage = QStringLiteral(
    "list [--json] [--from T] [--to T] [--run RUN] [--user U] [--kind K] | export -o FILE [--format csv|pdf] "
    "(the same filters)  [--archive PATH]");

// A line from standard input; without echo when it is a terminal, the
// prompt on standard error.
QByteArray readSecretLine(CliContext &ctx, const QString &prompt, bool echo)
{
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    if (terminal) {
        ctx.err() << prompt;
        ctx.err().flush();
        if (!echo && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    QByteArray line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line.append(char(c));
    if (terminal && !echo) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        ctx.err() << '\n';
        ctx.err().flush();
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QJsonObject entryJson(const AuditEntry &e)
{
    return QJsonObject{{"entry", e.id},
                       {"when_utc", e.whenUtc.toString(Qt::ISODateWithMs)},
                       {"utc_offset_s", e.utcOffsetSeconds},
                       {"host", e.host},
                       {"user", e.osUser},
                       {"full_name", e.fullName},
                       {"kind", e.kind},
                       {"run", e.runId > 0 ? QJsonValue(e.runId) : QJsonValue()},
                       {"samples_sha256", e.samplesSha256},
                       {"download_hash", e.downloadHash},
                       {"old_value", e.oldValue},
                       {"new_value", e.newValue},
                       {"reason", e.reason},
                       {"entry_hash", e.entryHash}};
}

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(ArchiveCommands::archiveOption());
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("list: a JSON array."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("export: the file to write."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("export: csv or pdf (default: by the file's suffix, else csv)."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("entries at or after T (UTC)."),
                                  QStringLiteral("T"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("entries at or before T (UTC)."),
                                QStringLiteral("T"));
    const QCommandLineOption runOption(QStringLiteral("run"), QStringLiteral("entries on run RUN."),
                                       QStringLiteral("RUN"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("entries by user U."), QStringLiteral("U"));
    const QCommandLineOption kind(QStringLiteral("kind"), QStringLiteral("entries of kind K."), QStringLiteral("K"));
    for (const QCommandLineOption &o : {json, output, format, from, to, runOption, user, kind})
        parser.addOption(o);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list or export."));
    if (auto code = ctx.parse(parser, arguments, false, Usage))
        return *code;
    const QStringList args = parser.positionalArguments();
    const QString action = args.value(0);
    if (action != u"list" && action != u"export")
        return ctx.fail(ErrorCode::Usage, action.isEmpty()
                                              ? QStringLiteral("audit needs list or export (see --help).")
                                              : QStringLiteral("Unknown audit command \"%1\" (see --help).").arg(action));
    if (args.size() > 1)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("Unexpected argument \"%1\" (see --help).").arg(args.at(1)));
    AuditFilter filter;
    Result<QDateTime> fromTime = ArchiveCommands::timeBound(parser, QStringLiteral("from"));
    Result<QDateTime> toTime = ArchiveCommands::timeBound(parser, QStringLiteral("to"));
    if (!fromTime)
        return ctx.fail(fromTime.failure());
    if (!toTime)
        return ctx.fail(toTime.failure());
    // The bounds are UTC, as the entries keep their time.
    filter.from = fromTime->isValid() ? QDateTime(fromTime->date(), fromTime->time(), QTimeZone::utc()) : QDateTime();
    filter.to = toTime->isValid() ? QDateTime(toTime->date(), toTime->time(), QTimeZone::utc()) : QDateTime();
    if (parser.isSet(runOption)) {
        Result<qint64> id = ArchiveCommands::runNumber(parser.value(runOption));
        if (!id)
            return ctx.fail(id.failure());
        filter.runId = *id;
    }
    filter.user = parser.value(user);
    filter.kind = parser.value(kind);
    if (!filter.kind.isEmpty() && !AuditTrail::kinds().contains(filter.kind))
        return ctx.fail(ErrorCode::Usage, QStringLiteral("The kind is one of %1.")
                                              .arg(AuditTrail::kinds().join(QStringLiteral(", "))));
    QString exportFormat = parser.value(format).toLower();
    if (action == u"export") {
        if (parser.value(output).isEmpty())
            return ctx.fail(ErrorCode::Usage, QStringLiteral("audit export needs -o FILE (see --help)."));
        if (exportFormat.isEmpty())
            exportFormat = QFileInfo(parser.value(output)).suffix().toLower() == u"pdf" ? QStringLiteral("pdf")
                                                                                         : QStringLiteral("csv");
        if (exportFormat != u"csv" && exportFormat != u"pdf")
            return ctx.fail(ErrorCode::Usage, QStringLiteral("The audit trail is exported as csv or pdf."));
    }

    Result<std::unique_ptr<Archive>> archive = ArchiveCommands::openExisting(ArchiveCommands::archivePath(parser));
    if (!archive)
        return ctx.fail(archive.failure());
    Result<QList<AuditEntry>> entries = AuditTrail::list(**archive, filter);
    if (!entries)
        return ctx.fail(entries.failure());
    if (action == u"export") {
        if (exportFormat == u"pdf") {
            const Result<int> written = AuditWriter::write(*entries, AuditTrail::heading((*archive)->path(), filter),
                                                           parser.value(output),
                                                           ReportWriter::pageSizeFor(ctx.texts().locale()));
            if (!written)
                return ctx.fail(written.failure());
        } else if (Result<> written = AtomicFile::write(parser.value(output), AuditTrail::csv(*entries)); !written) {
            return ctx.fail(written.failure());
        }
        ctx.out() << "Wrote " << entries->size() << " audit entries to " << parser.value(output) << '\n';
        return int(ExitCode::Success);
    }
    if (parser.isSet(json)) {
        QJsonArray rows;
        for (const AuditEntry &e : *entries)
            rows.append(entryJson(e));
        ctx.out() << QJsonDocument(rows).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }
    ctx.out() << "ENTRY\tWHEN (UTC)\tOFFSET\tUSER\tNAME\tHOST\tKIND\tRUN\tOLD\tNEW\tREASON\n";
    for (const AuditEntry &e : *entries)
        ctx.out() << e.id << '\t' << e.whenUtc.toString(Qt::ISODate) << '\t' << e.utcOffsetSeconds << '\t' << e.osUser
                  << '\t' << e.fullName << '\t' << e.host << '\t' << e.kind << '\t'
                  << (e.runId > 0 ? QString::number(e.runId) : QStringLiteral("-")) << '\t' << e.oldValue << '\t'
                  << e.newValue << '\t' << e.reason << '\n';
    return int(ExitCode::Success);
}

} // namespace

bool isArchiveAction(const QString &action)
{
    return action == u"review" || action == u"acknowledge" || action == u"sign";
}

int runArchiveAction(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(ArchiveCommands::archiveOption());
    const QCommandLineOption status(QStringLiteral("status"), QStringLiteral("review: reviewed or approved."),
                                    QStringLiteral("STATUS"));
    const QCommandLineOption comment(QStringLiteral("comment"), QStringLiteral("review, acknowledge: why (required)."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption excursion(QStringLiteral("excursion"),
                                       QStringLiteral("acknowledge: the excursion's number (1 = the first)."),
                                       QStringLiteral("N"));
    const QCommandLineOption meaning(QStringLiteral("meaning"), QStringLiteral("sign: reviewed, approved or released."),
                                     QStringLiteral("MEANING"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("sign: the signer (default: you)."),
                                  QStringLiteral("U"));
    for (const QCommandLineOption &o : {status, comment, excursion, meaning, user})
        parser.addOption(o);
    LimitOptions::addTo(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("review RUN, acknowledge RUN or sign RUN."));
    const QString usage = QStringLiteral("review RUN --status reviewed|approved --comment TEXT | acknowledge RUN "
                                         "--excursion N --limits L --comment TEXT | sign RUN --meaning M");
    if (auto code = ctx.parse(parser, arguments, false, usage))
        return *code;
    const QStringList args = parser.positionalArguments();
    const QString action = args.value(0);
    if (args.size() != 2)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("archive %1 needs one RUN (see archive list).").arg(action));
    Result<qint64> runId = ArchiveCommands::runNumber(args.at(1));
    if (!runId)
        return ctx.fail(runId.failure());
    LimitOptions limits;
    if (Result<> read = limits.read(parser); !read)
        return ctx.fail(read.failure());
    Result<std::unique_ptr<Archive>> archive = ArchiveCommands::openExisting(ArchiveCommands::archivePath(parser));
    if (!archive)
        return ctx.fail(archive.failure());

    if (action == u"review") {
        Result<qint64> id = Review::markRun(**archive, *runId, parser.value(status), parser.value(comment));
        if (!id)
            return ctx.fail(id.failure());
        ctx.out() << "Run " << *runId << " marked " << parser.value(status) << " (audit entry " << *id << ").\n";
        return int(ExitCode::Success);
    }
    if (action == u"acknowledge") {
        bool ok = false;
        const qint64 n = parser.value(excursion).toLongLong(&ok);
        if (!ok)
            return ctx.fail(ErrorCode::Usage, QStringLiteral("archive acknowledge needs --excursion N (see --help)."));
        const QString text = QStringLiteral("humidity %1, temperature %2")
                                 .arg(AlarmLimits::limitsText(limits.limits[0], ctx.texts()),
                                      AlarmLimits::limitsText(limits.limits[1], ctx.texts()));
        Result<qint64> id = Review::acknowledge(**archive, *runId, n, limits.limits, text, parser.value(comment));
        if (!id)
            return ctx.fail(id.failure());
        ctx.out() << "Excursion " << n << " of run " << *runId << " acknowledged (audit entry " << *id << ").\n";
        return int(ExitCode::Success);
    }
    SigningSession session;
    QString signer = parser.value(user);
    if (signer.isEmpty())
        signer = ::isatty(STDIN_FILENO) == 1 ? QString::fromLocal8Bit(readSecretLine(ctx, QStringLiteral("User: "), true))
                                             : AuditActor::here().user;
    const QByteArray password = readSecretLine(ctx, QStringLiteral("Password: "), false);
    Result<qint64> id = session.sign(**archive, *runId, parser.value(meaning), signer, password);
    if (!id)
        return ctx.fail(id.failure());
    const AuditActor actor = AuditActor::here();
    ctx.out() << "Run " << *runId << " signed " << parser.value(meaning) << " by "
              << (actor.fullName.isEmpty() ? actor.user : actor.fullName) << " (audit entry " << *id << ").\n";
    return int(ExitCode::Success);
}

int record(CliContext &ctx, Archive &archive, const AuditEntry &entry, int code)
{
    if (Result<qint64> id = AuditTrail::append(archive, entry); !id)
        return ctx.fail(Failure{id.code(), QStringLiteral("The %1 is not recorded in the audit trail: %2")
                                               .arg(entry.kind, id.message())});
    return code;
}

QList<CliCommand> commands()
{
    return {
        {QStringLiteral("audit"), Usage,
         QStringLiteral("List or export the audit trail of the archive: who did what, when, to which run."), run},
    };
}

} // namespace AuditCommands
