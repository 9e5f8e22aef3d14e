#include "cli/SetupCommands.h"

#include "cli/ArchiveCommands.h"
#include "cli/FlowLoop.h"
#include "cli/MeterPort.h"
#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/data/LoggerDownload.h"
#include "core/data/TDataSetStore.h"
#include "core/link/ComPort.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"
#include "core/setup/LoggerSetup.h"
#include "core/setup/SetupData.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace SetupCommands {

namespace {

// The longest wait for the live reading that every setup command takes first.
constexpr int LiveReadingLimitMs = 3000;
// The pause between two exchanges, as the setup window makes it.
constexpr int PauseMs = 200;

const QString Usage = QStringLiteral(
    "show|clock|unit C|F|interval MM:SS|erase|defaults --port P [--json] [--locale NAME] [--yes] "
    "[--force] [--archive PATH]");

// One live reading, as the program has it before the setup window may open:
// empty when no meter answered.
std::optional<LiveDisplayState> takeLiveReading(ComPort &port)
{
    std::optional<LiveDisplayState> state;
    QByteArray buffer;
    QObject guard;
    runFlow([&](const std::function<void()> &ended) {
        QObject::connect(&port, &SerialPort::received, &guard, [&, ended] {
            ReadWaiting(port, buffer, Meter::LiveReadCap);
            ExtractFrames(buffer, Meter::LiveFrameLength, [&](const QByteArray &frame) {
                if (!state)
                    state = decodeLiveFrame(frame);
            });
            if (state)
                ended();
        });
        QObject::connect(&port, &SerialPort::closedByError, &guard, ended);
        // As the poll asks a meter it does not know yet: a wake byte, then the request.
        auto ask = [&port, &guard] {
            SendRequest(port, Meter::WAKE_BYTE);
            QTimer::singleShot(Meter::WakeDelayMs, &guard, [&port] { SendRequest(port, Meter::LIVE_REQUEST); });
        };
        auto *poll = new QTimer(&guard);
        QObject::connect(poll, &QTimer::timeout, &guard, ask);
        poll->start(Meter::PollIntervalMs);
        QTimer::singleShot(LiveReadingLimitMs, &guard, ended);
        ask();
    });
    return state;
}

// Runs one exchange of the setup core to its end.
template <typename Result, typename Start>
Result exchange(Start start)
{
    Result result{};
    runFlow([&](const std::function<void()> &ended) {
        start([&result, ended](const Result &r) {
            result = r;
            ended();
        });
    });
    return result;
}

void pause(int ms)
{
    runFlow([ms](const std::function<void()> &ended) { QTimer::singleShot(ms, ended); });
}

QJsonValue isoOrNull(const std::optional<QDateTime> &t)
{
    // A naive local value: a start in the hour the PC's zone skips keeps its text.
    return t ? QJsonValue(FrameworkTime::isoText(*t)) : QJsonValue();
}

struct Options
{
    QString action;
    QString value;
    bool json = false;
    bool yes = false;
    bool force = false;    // erase: even what the archive does not hold
    QString archivePath;
};

// Before an erase: reads the logger's memory and refuses while a data set
// on it is not in the archive, so an erase never loses data that exists
// nowhere else. A logger with nothing recorded has nothing to lose.
Result<> refuseUnarchived(ComPort &port, const QString &path, const QString &archivePath)
{
    LoggerDownloadResult r;
    LoggerDownload transfer;
    runFlow([&](const std::function<void()> &ended) {
        transfer.start(port, LoggerDownloadOptions{}, [&r, ended](const LoggerDownloadResult &result) {
            r = result;
            ended();
        });
    });
    const QString cannotTell = QStringLiteral("Cannot tell whether the data sets on the logger are archived (%1); "
                                              "nothing erased. Give --force to erase all the same.");
    if (!r.result)
        return fail(ErrorCode::Transfer, cannotTell.arg(QStringLiteral("the memory did not come from %1").arg(path)));
    TDataSetStore store;
    if (const Result<> parsed = store.load(r.image, r.expectedBytes); !parsed)
        return parsed.code() == ErrorCode::NoData ? Result<>() : fail(parsed.code(), cannotTell.arg(parsed.message()));
    QList<RunOutcome> outcomes(store.SetCount(), RunOutcome::New);
    if (QFileInfo::exists(archivePath)) {
        Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
        if (!archive)
            return fail(archive.code(), cannotTell.arg(archive.message()));
        // What the erase relies on is on the disk before the logger forgets it.
        if (Result<> synced = (*archive)->makeDurable(); !synced)
            return fail(synced.code(), cannotTell.arg(synced.message()));
        Result<QList<RunOutcome>> checked = (*archive)->check(store);
        if (!checked)
            return fail(checked.code(), cannotTell.arg(checked.message()));
        outcomes = *checked;
    }
    if (const QString missing = notArchivedText(outcomes); !missing.isEmpty())
        return fail(ErrorCode::Refused, missing + QStringLiteral("; download them first or give --force."));
    return {};
}

int runShow(CliContext &ctx, LoggerSetup &setup, const QString &path, const LiveDisplayState &live, bool json)
{
    const PacketResult directory = exchange<PacketResult>(
        [&](auto done) { setup.readDirectory(std::move(done)); });
    if (directory.bytes.size() < Meter::DirectoryKnownBytes)
        return ctx.fail(ErrorCode::Transfer, QStringLiteral("The memory directory from %1 did not come "
                                                           "(%2 of %3 bytes).")
                                                .arg(path)
                                                .arg(directory.bytes.size())
                                                .arg(Meter::DirectoryBytes));
    pause(PauseMs);
    const auto interval = exchange<std::optional<int>>([&](auto done) { setup.queryInterval(std::move(done)); });
    pause(PauseMs);
    const auto clock = exchange<std::optional<QDateTime>>([&](auto done) { setup.readClock(std::move(done)); });
    const QDateTime pcClock = QDateTime::currentDateTime();
    const QList<SetupData::DirectoryRow> rows = SetupData::listDirectory(directory.bytes);
    const QString unit = live.UnitIsCelsius ? QStringLiteral("C") : QStringLiteral("F");
    const QString intervalText = interval ? SetupData::intervalItems().at(*interval) : QString();
    const DateTimeText &texts = ctx.texts();

    if (json) {
        QJsonArray sets;
        for (const SetupData::DirectoryRow &row : rows) {
            const double days = row.start ? FrameworkTime::fromDateTime(*row.start) : 0.0;
            sets.append(QJsonObject{
                {QStringLiteral("set"), row.set},
                {QStringLiteral("date"), row.start ? QJsonValue(texts.shortDate(days)) : QJsonValue()},
                {QStringLiteral("time"), row.start ? QJsonValue(texts.longTime(days)) : QJsonValue()},
                {QStringLiteral("start"), isoOrNull(row.start)},
                {QStringLiteral("samples"), row.samples},
            });
        }
        const QJsonObject o{
            {QStringLiteral("clock"), isoOrNull(clock)},
            {QStringLiteral("pc_clock"), pcClock.toString(Qt::ISODate)},
            {QStringLiteral("unit"), unit},
            {QStringLiteral("interval"), interval ? QJsonValue(intervalText) : QJsonValue()},
            {QStringLiteral("interval_index"), interval ? QJsonValue(*interval) : QJsonValue()},
            {QStringLiteral("sets"), sets},
        };
        ctx.out() << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
        return int(ExitCode::Success);
    }
    const auto stamp = [&texts](const QDateTime &t) { return texts.dateTime(FrameworkTime::fromDateTime(t)); };
    QTextStream &out = ctx.out();
    out << "Logger clock  " << (clock ? stamp(*clock) : QStringLiteral("(no answer)")) << '\n'
        << "PC clock      " << stamp(pcClock) << '\n'
        << "Unit          " << unit << '\n'
        << "Interval      " << (interval ? intervalText : QStringLiteral("(no answer)")) << '\n';
    // The grid's 15 rows, "empty" where no set is or its date is impossible.
    QList<QStringList> table{{QStringLiteral("Set"), QStringLiteral("Date"), QStringLiteral("Time"),
                              QStringLiteral("Num.")}};
    for (int set = 1; set <= 15; ++set)
        table.append({QString::number(set), QStringLiteral("empty"), QString(), QString()});
    for (const SetupData::DirectoryRow &row : rows) {
        QStringList &cells = table[row.set];
        cells[3] = QString::number(row.samples);
        if (row.start) {
            const double days = FrameworkTime::fromDateTime(*row.start);
            cells[1] = texts.shortDate(days);
            cells[2] = texts.longTime(days);
        }
    }
    qsizetype widths[3] = {0, 0, 0};
    for (const QStringList &cells : std::as_const(table))
        for (int c = 0; c < 3; ++c)
            widths[c] = std::max(widths[c], cells.at(c).size());
    for (const QStringList &cells : std::as_const(table)) {
        QString line;
        for (int c = 0; c < 3; ++c)
            line += cells.at(c).leftJustified(widths[c] + 2);
        out << (line + cells.at(3)).trimmed() << '\n';
    }
    return int(ExitCode::Success);
}

int notConfirmed(CliContext &ctx, const QString &request, const QString &path)
{
    return ctx.fail(ErrorCode::Transfer, QStringLiteral("The meter on %1 did not confirm %2.").arg(path, request));
}

// Records a change of the logger in the audit trail when an archive is in
// use; a change that cannot be recorded fails the command (the logger is
// changed all the same, which the message says).
int audited(CliContext &ctx, const Options &o, const QString &kind, const QString &before, const QString &after)
{
    AuditEntry e = AuditEntry::here(kind);
    e.oldValue = before;
    e.newValue = after;
    if (Result<> recorded = AuditTrail::appendIfArchived(o.archivePath, e); !recorded)
        return ctx.fail(Failure{recorded.code(), QStringLiteral("The logger was changed (%1) but the change is not "
                                                                "recorded in the audit trail: %2")
                                                     .arg(kind, recorded.message())});
    return int(ExitCode::Success);
}

// The logger's data sets, for the record of an erase.
QString directoryText(LoggerSetup &setup)
{
    const PacketResult directory = exchange<PacketResult>([&](auto done) { setup.readDirectory(std::move(done)); });
    if (directory.bytes.size() < Meter::DirectoryKnownBytes)
        return QStringLiteral("(the directory did not come)");
    QStringList sets;
    for (const SetupData::DirectoryRow &row : SetupData::listDirectory(directory.bytes))
        sets << QStringLiteral("set %1: %2, %3 samples")
                    .arg(row.set)
                    .arg(row.start ? row.start->toString(Qt::ISODate) : QStringLiteral("no date"))
                    .arg(row.samples);
    return sets.isEmpty() ? QStringLiteral("no data sets") : sets.join(QStringLiteral("; "));
}

int runAction(CliContext &ctx, ComPort &port, LoggerSetup &setup, const QString &path, const LiveDisplayState &live,
              const Options &o)
{
    using Reply = QByteArray;
    const bool archived = QFileInfo::exists(o.archivePath);
    if (o.action == QLatin1String("show"))
        return runShow(ctx, setup, path, live, o.json);
    if (o.action == QLatin1String("clock")) {
        std::optional<QDateTime> before;
        if (archived) {
            before = exchange<std::optional<QDateTime>>([&](auto done) { setup.readClock(std::move(done)); });
            pause(PauseMs);
        }
        QDateTime sent;
        const Reply reply = exchange<Reply>([&](auto done) {
            sent = QDateTime::currentDateTime();
            setup.setClock(sent, std::move(done));
        });
        if (!SetupData::isConfirmed(reply))
            return notConfirmed(ctx, QStringLiteral("SET_CLOCK"), path);
        ctx.out() << "Logger clock set to " << ctx.texts().dateTime(FrameworkTime::fromDateTime(sent)) << '\n';
        return audited(ctx, o, QStringLiteral("setup-clock"),
                       before ? before->toString(Qt::ISODate) : QStringLiteral("(no answer)"), sent.toString(Qt::ISODate));
    }
    if (o.action == QLatin1String("unit")) {
        const bool fahrenheit = o.value.compare(QLatin1String("F"), Qt::CaseInsensitive) == 0;
        const Reply reply = exchange<Reply>([&](auto done) { setup.setUnit(fahrenheit, std::move(done)); });
        if (!SetupData::isConfirmed(reply))
            return notConfirmed(ctx, QStringLiteral("SET_UNIT"), path);
        ctx.out() << "Unit set to " << (fahrenheit ? "F" : "C") << '\n';
        return audited(ctx, o, QStringLiteral("setup-unit"), live.UnitIsCelsius ? QStringLiteral("C") : QStringLiteral("F"),
                       fahrenheit ? QStringLiteral("F") : QStringLiteral("C"));
    }
    if (o.action == QLatin1String("interval")) {
        const int index = SetupData::intervalIndex(o.value);
        std::optional<int> before;
        if (archived) {
            before = exchange<std::optional<int>>([&](auto done) { setup.queryInterval(std::move(done)); });
            pause(PauseMs);
        }
        const Reply reply = exchange<Reply>([&](auto done) { setup.setInterval(index, std::move(done)); });
        if (!SetupData::isConfirmed(reply))
            return notConfirmed(ctx, QStringLiteral("SET_INTERVAL"), path);
        ctx.out() << "Interval set to " << SetupData::intervalItems().at(index) << '\n';
        return audited(ctx, o, QStringLiteral("setup-interval"),
                       before ? SetupData::intervalItems().value(*before) : QStringLiteral("(no answer)"),
                       SetupData::intervalItems().at(index));
    }
    if (o.action == QLatin1String("erase")) {
        if (!o.force) {
            if (Result<> refused = refuseUnarchived(port, path, o.archivePath); !refused)
                return ctx.fail(refused.failure());
            pause(PauseMs);
            port.clearInput();
        }
        QString before;
        if (archived) {
            before = directoryText(setup);
            pause(PauseMs);
            port.clearInput();
        }
        const Reply reply = exchange<Reply>([&](auto done) { setup.erase(std::move(done)); });
        if (!SetupData::isConfirmed(reply))
            return notConfirmed(ctx, QStringLiteral("ERASE_REQUEST"), path);
        ctx.out() << "Logger memory erased\n";
        return audited(ctx, o, QStringLiteral("setup-erase"), before, QStringLiteral("erased"));
    }
    const auto result = exchange<LoggerSetup::DefaultSetup>([&](auto done) { setup.defaultSetup(std::move(done)); });
    switch (result) {
    case LoggerSetup::DefaultSetup::Loaded:
        ctx.out() << "Load default setup successfully.\n";
        return audited(ctx, o, QStringLiteral("setup-default"),
                       QStringLiteral("unit %1").arg(live.UnitIsCelsius ? u'C' : u'F'), QStringLiteral("default setup"));
    case LoggerSetup::DefaultSetup::NoIdentity:
        return ctx.fail(ErrorCode::Transfer, QStringLiteral("Load default setup fail !!!! (no IDENTIFY_REPLY from %1; "
                                                           "DEFAULT_SETUP_REQUEST was sent all the same)")
                                                .arg(path));
    case LoggerSetup::DefaultSetup::NotConfirmed:
        break;
    }
    return ctx.fail(ErrorCode::Transfer,
                    QStringLiteral("Load default setup fail !!!! (the meter on %1 did not confirm "
                                   "DEFAULT_SETUP_REQUEST)").arg(path));
}

// The arguments after "setup": what to do, its value, and the checks that
// need no meter.
Result<> readArguments(const QCommandLineParser &parser, Options &o)
{
    const QStringList args = parser.positionalArguments();
    o.action = args.value(0);
    static const QStringList actions = {QStringLiteral("show"), QStringLiteral("clock"), QStringLiteral("unit"),
                                        QStringLiteral("interval"), QStringLiteral("erase"),
                                        QStringLiteral("defaults")};
    if (!actions.contains(o.action))
        return fail(ErrorCode::Usage, o.action.isEmpty()
                                             ? QStringLiteral("setup needs one of show, clock, unit, interval, erase, "
                                                              "defaults (see --help).")
                                             : QStringLiteral("Unknown setup command \"%1\" (see --help).").arg(o.action));
    const bool takesValue = o.action == QLatin1String("unit") || o.action == QLatin1String("interval");
    if (args.size() != (takesValue ? 2 : 1))
        return fail(ErrorCode::Usage, takesValue ? QStringLiteral("setup %1 needs one value (see --help).").arg(o.action)
                                                    : QStringLiteral("Unexpected argument \"%1\" (see --help).")
                                                          .arg(args.value(1)));
    o.value = args.value(1);
    if (o.action == QLatin1String("unit") && o.value.compare(QLatin1String("C"), Qt::CaseInsensitive) != 0
        && o.value.compare(QLatin1String("F"), Qt::CaseInsensitive) != 0)
        return fail(ErrorCode::Usage, QStringLiteral("The unit is C or F."));
    if (o.action == QLatin1String("interval") && SetupData::intervalIndex(o.value) < 0)
        return fail(ErrorCode::Usage, QStringLiteral("The interval is one of %1.")
                                             .arg(SetupData::intervalItems().join(QStringLiteral(", "))));
    if ((o.action == QLatin1String("erase") || o.action == QLatin1String("defaults")) && !o.yes)
        return fail(ErrorCode::Usage, QStringLiteral("setup %1 changes the logger for good; add --yes.").arg(o.action));
    if (MeterPort::devicePath(parser).isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("--port is required (see --help)."));
    return {};
}

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(MeterPort::portOption());
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("show: one JSON object."));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("erase, defaults: yes, change the logger."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("erase: even data sets the archive does not hold."));
    parser.addOption(json);
    parser.addOption(yes);
    parser.addOption(force);
    parser.addOption(ArchiveCommands::archiveOption());
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("show, clock, unit C|F, interval MM:SS, "
                                                                           "erase or defaults."));
    if (auto code = ctx.parse(parser, arguments, true, Usage))
        return *code;
    Options o;
    o.json = parser.isSet(json);
    o.yes = parser.isSet(yes);
    o.force = parser.isSet(force);
    o.archivePath = ArchiveCommands::archivePath(parser);
    if (Result<> failed = readArguments(parser, o); !failed)
        return ctx.fail(failed.failure());

    ComPort port;
    const QString path = MeterPort::devicePath(parser);
    port.setDeviceName(path);
    port.setBaudRate(Meter::BaudRate);
    if (!port.open()) {
        const QString reason = port.lastError();
        return ctx.fail(ErrorCode::NotFound, reason.isEmpty() ? QStringLiteral("Cannot open %1.").arg(path)
                                                             : QStringLiteral("Cannot open %1: %2.").arg(path, reason));
    }
    port.clearInput();
    const std::optional<LiveDisplayState> live = takeLiveReading(port);
    if (!live)
        return ctx.fail(ErrorCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path));
    if (live->LoggerRecording)
        return ctx.fail(ErrorCode::Refused,
                        QStringLiteral("The Logger is recording , please stop recording before setup."));
    // A second live frame may still be on its way; it must not be taken for
    // the answer to a setup request.
    pause(PauseMs);
    port.clearInput();
    LoggerSetup setup(port);
    const int code = runAction(ctx, port, setup, path, *live, o);
    port.close();
    return code;
}

} // namespace

QList<CliCommand> commands()
{
    return {
        {QStringLiteral("setup"), Usage,
         QStringLiteral("Read or set the logger's clock, unit and interval; list, erase or reset its memory."), run},
    };
}

} // namespace SetupCommands
