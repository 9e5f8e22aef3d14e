#include "cli/WatchCommand.h"

#include "cli/ArchiveCommands.h"
#include "cli/LimitOptions.h"
#include "cli/LivePoller.h"
#include "cli/MeterPort.h"
#include "cli/StopSignals.h"
#include "cli/WatchNotifiers.h"
#include "core/app/AlarmSettings.h"
#include "core/app/AppFolders.h"
#include "core/archive/MonitorStore.h"
#include "core/link/ComPort.h"
#include "core/link/PortLock.h"
#include "core/link/MeterMessages.h"
#include "core/watch/WatchRules.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>

#include <deque>
#include <optional>
#include <variant>

namespace WatchCommand {

namespace {

// Rows the archive could not take yet (another program writing it) wait in
// memory; beyond this many the oldest go, and stderr says so.
constexpr qsizetype PendingRowLimit = 100000;

struct DurationOption
{
    QCommandLineOption option;
    qint64 fallbackMs;
};

// The archive side of a watch: the run is started with the first row, and
// rows the archive refuses now are written at the next tick.
class RunWriter
{
public:
    RunWriter(CliContext &ctx, std::unique_ptr<MonitorStore> store, QString port, qint64 intervalSeconds)
        : m_ctx(ctx), m_store(std::move(store)), m_port(std::move(port)), m_interval(intervalSeconds)
    {
    }

    void add(std::variant<WatchPeriod, WatchEvent> row)
    {
        if (!m_store)
            return;
        if (qsizetype(m_pending.size()) >= PendingRowLimit) {
            m_pending.pop_front();
            ++m_dropped;
        }
        m_pending.push_back(std::move(row));
    }

    void flush(const QDateTime &startUtc, const QString &unit)
    {
        if (!m_store)
            return;
        while (!m_pending.empty()) {
            Result<> written = write(m_pending.front(), startUtc, unit);
            if (!written) {
                if (!m_failing)
                    m_ctx.err() << "kv518-cli: " << written.message() << " (kept, written later)\n";
                m_ctx.err().flush();
                m_failing = true;
                return;
            }
            m_pending.pop_front();
            m_failing = false;
        }
        if (m_dropped > 0) {
            m_ctx.err() << "kv518-cli: the archive could not take " << m_dropped << " rows for too long; they are lost.\n";
            m_ctx.err().flush();
            m_dropped = 0;
        }
    }

    qint64 runId() const { return m_runId; }

private:
    Result<> write(const std::variant<WatchPeriod, WatchEvent> &row, const QDateTime &startUtc, const QString &unit)
    {
        if (m_runId == 0) {
            Result<qint64> id = m_store->startRun(m_port, startUtc, m_interval, unit);
            if (!id)
                return id.failure();
            m_runId = *id;
        }
        if (const auto *p = std::get_if<WatchPeriod>(&row))
            return m_store->addPeriod(m_runId, *p);
        return m_store->addEvent(m_runId, std::get<WatchEvent>(row));
    }

    CliContext &m_ctx;
    std::unique_ptr<MonitorStore> m_store;
    QString m_port;
    qint64 m_interval;
    qint64 m_runId = 0;
    std::deque<std::variant<WatchPeriod, WatchEvent>> m_pending;
    qint64 m_dropped = 0;
    bool m_failing = false;
};

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject readingJson(const LiveReading &r, const QDateTime &utc)
{
    return {{QStringLiteral("time"), utcText(utc)},
            {QStringLiteral("temperature"), r.temperature},
            {QStringLiteral("humidity"), r.humidity},
            {QStringLiteral("unit"), r.unit == LiveUnit::None ? QJsonValue() : QJsonValue(unitText(r.unit))},
            {QStringLiteral("recording"), r.recording}};
}

} // namespace

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(MeterPort::portOption());
    const DurationOption recordEvery{{QStringLiteral("record-every"),
                                      QStringLiteral("Record the minimum, maximum and mean of each period of D "
                                                     "(default 60s)."),
                                      QStringLiteral("D")},
                                     60000};
    const DurationOption silentAfter{{QStringLiteral("silent-after"),
                                      QStringLiteral("The meter counts as silent after D without a reading "
                                                     "(default 2min)."),
                                      QStringLiteral("D")},
                                     120000};
    const DurationOption repeatEvery{{QStringLiteral("repeat-every"),
                                      QStringLiteral("Tell an ongoing breach again after D (default 1h; 0s: never)."),
                                      QStringLiteral("D")},
                                     3600000};
    const QList<const DurationOption *> durations{&recordEvery, &silentAfter, &repeatEvery};
    for (const DurationOption *d : durations)
        parser.addOption(d->option);
    LimitOptions::addTo(parser);
    parser.addOption(ArchiveCommands::archiveOption());
    const QCommandLineOption noArchive(QStringLiteral("no-archive"), QStringLiteral("Record nothing in the archive."));
    const QCommandLineOption onEvent(QStringLiteral("on-event"),
                                     QStringLiteral("Run CMD at each event, the event as JSON on its standard input."),
                                     QStringLiteral("CMD"));
    const QCommandLineOption mailTo(QStringLiteral("mail-to"),
                                    QStringLiteral("Mail each event to ADDR through the system's sendmail."),
                                    QStringLiteral("ADDR"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"),
                                  QStringLiteral("Publish readings and events to mqtt://HOST[:PORT]/TOPIC."),
                                  QStringLiteral("URL"));
    parser.addOptions({noArchive, onEvent, mailTo, mqtt});
    if (auto code = ctx.parse(parser, arguments, false,
                              QStringLiteral("--port P [--record-every D] [--limits ...] [--delay D] "
                                             "[--silent-after D] [--repeat-every D] [--on-event CMD] "
                                             "[--mail-to ADDR] [--mqtt URL] [--archive PATH | --no-archive]")))
        return *code;

    WatchSettings settings;
    qint64 *targets[] = {&settings.recordEveryMs, &settings.silentAfterMs, &settings.repeatEveryMs};
    for (int i = 0; i < durations.size(); ++i) {
        *targets[i] = durations[i]->fallbackMs;
        if (parser.isSet(durations[i]->option)) {
            Result<qint64> ms = parseDuration(parser.value(durations[i]->option));
            if (!ms)
                return ctx.fail(Failure{ms.failure().code,
                                        QStringLiteral("--%1: %2").arg(durations[i]->option.names().constFirst(),
                                                                       ms.message())});
            *targets[i] = *ms;
        }
    }
    if (settings.recordEveryMs < 1000)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("--record-every must be 1s or more."));
    if (settings.silentAfterMs < Meter::PollIntervalMs * 2)
        return ctx.fail(ErrorCode::Usage, QStringLiteral("--silent-after must be 1s or more."));

    // The limits: those given, else the program's own (ini/limits.ini).
    LimitOptions limitOptions;
    if (Result<> read = limitOptions.read(parser, true); !read)
        return ctx.fail(read.failure());
    if (parser.isSet(QStringLiteral("delay-total")))
        return ctx.fail(ErrorCode::Usage, QStringLiteral("watch counts --delay in one stretch outside; "
                                                         "--delay-total is for data sets."));
    AlarmSettings programLimits(AppFolders().programFolder());
    const bool ownLimits = parser.isSet(QStringLiteral("limits"));
    if (!ownLimits)
        programLimits.load();
    // The delay: --delay, else the longest of the program's limits.
    settings.delayMs = limitOptions.delayMs.value_or(
        ownLimits ? 0 : qMax(programLimits.limits[0].delayMinutes, programLimits.limits[1].delayMinutes) * 60000);

    // The lock first: a port another watch holds is not opened at all.
    const QString device = MeterPort::devicePath(parser);
    if (device.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("--port is required (see --help)."));
    Result<std::unique_ptr<QLockFile>> lock = PortLock::acquire(device);
    if (!lock)
        return ctx.fail(lock.failure());

    std::unique_ptr<EventCommand> command;
    if (parser.isSet(onEvent)) {
        Result<std::unique_ptr<EventCommand>> made = EventCommand::create(parser.value(onEvent));
        if (!made)
            return ctx.fail(made.failure());
        command = std::move(*made);
    }
    std::unique_ptr<MailNotifier> mail;
    if (parser.isSet(mailTo)) {
        Result<std::unique_ptr<MailNotifier>> made = MailNotifier::create(parser.value(mailTo));
        if (!made)
            return ctx.fail(made.failure());
        mail = std::move(*made);
    }
    std::unique_ptr<MqttPublisher> publisher;
    if (parser.isSet(mqtt)) {
        const QString client = QStringLiteral("kv518-watch-%1-%2").arg(QFileInfo(device).fileName()).arg(QCoreApplication::applicationPid());
        Result<std::unique_ptr<MqttPublisher>> made = MqttPublisher::create(parser.value(mqtt), client);
        if (!made)
            return ctx.fail(made.failure());
        publisher = std::move(*made);
    }
    std::unique_ptr<MonitorStore> store;
    if (!parser.isSet(noArchive)) {
        Result<std::unique_ptr<MonitorStore>> opened = MonitorStore::open(ArchiveCommands::archivePath(parser));
        if (!opened)
            return ctx.fail(opened.failure());
        store = std::move(*opened);
    }

    ComPort port;
    if (Result<> failed = MeterPort::open(parser, port); !failed)
        return ctx.fail(failed.failure());
    const QString path = port.deviceName();

    SystemWatchClock clock;
    // The temperature limits follow the meter's unit, known with its first
    // reading: the program's limits are converted to it, --limits are taken
    // as given in it (or in --unit).
    auto limitsFor = [&](LiveUnit unit) {
        WatchSettings s = settings;
        const std::optional<TemperatureUnit> meterUnit =
            unit == LiveUnit::Fahrenheit ? std::optional(TemperatureUnit::Fahrenheit)
                                         : unit == LiveUnit::Celsius ? std::optional(TemperatureUnit::Celsius) : std::nullopt;
        for (int c = 0; c < 2; ++c) {
            if (!ownLimits)
                s.limits[c] = programLimits.limitsFor(c, meterUnit);
            else if (c == 1 && limitOptions.unit && meterUnit)
                s.limits[c] = AlarmLimits::converted(limitOptions.limits[c], *limitOptions.unit, *meterUnit);
            else
                s.limits[c] = limitOptions.limits[c];
        }
        return s;
    };
    WatchRules rules(limitsFor(LiveUnit::None), clock);
    bool unitKnown = false;
    RunWriter writer(ctx, std::move(store), path, settings.recordEveryMs / 1000);

    auto tellEvent = [&](const WatchEvent &e) {
        const QByteArray line = compact(e.toJson());
        ctx.out() << line << '\n';
        ctx.out().flush();
        writer.add(e);
        if (command)
            command->notify(e);
        if (mail)
            mail->notify(e, path);
        if (publisher)
            publisher->publish(QStringLiteral("event"), line);
    };
    auto tellPeriod = [&](const WatchPeriod &p) {
        const QByteArray line = compact(p.toJson());
        ctx.out() << line << '\n';
        ctx.out().flush();
        writer.add(p);
        if (publisher)
            publisher->publish(QStringLiteral("period"), line, true);
    };
    auto settle = [&](const QList<WatchEvent> &events) {
        for (const WatchPeriod &p : rules.endedPeriods())
            tellPeriod(p);
        for (const WatchEvent &e : events)
            tellEvent(e);
        writer.flush(rules.startUtc(), rules.unit());
    };

    QEventLoop loop;
    LivePoller poller(port);
    QObject::connect(&poller, &LivePoller::reading, &loop, [&](const LiveReading &r, const QString &) {
        if (!unitKnown && r.unit != LiveUnit::None) {
            unitKnown = true;
            rules.setLimits(limitsFor(r.unit));
        }
        const QList<WatchEvent> events = rules.reading(r);
        if (publisher)
            publisher->publish(QStringLiteral("reading"), compact(readingJson(r, clock.now().utc)), true);
        settle(events);
    });
    // A port that went away (a replugged adapter) is opened again at each
    // poll; meanwhile the rules see silence.
    QObject::connect(&poller, &LivePoller::polled, &loop, [&] {
        if (!port.isOpen() && port.open())
            port.clearInput();
        settle(rules.tick());
    });

    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, [&] { loop.exit(); });

    poller.start();
    loop.exec();
    poller.stop();
    port.close();

    // The last period, however short, is recorded too.
    for (const WatchPeriod &p : rules.endedPeriods())
        tellPeriod(p);
    if (std::optional<WatchPeriod> last = rules.partialPeriod())
        tellPeriod(*last);
    writer.flush(rules.startUtc(), rules.unit());
    if (command)
        command->finish();
    if (mail)
        mail->finish();
    if (publisher)
        publisher->finish();
    return ctx.finish(int(ExitCode::Success));
}

} // namespace WatchCommand
