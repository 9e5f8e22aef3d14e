#include "cli/LiveCommand.h"

#include "cli/LivePoller.h"
#include "cli/MeterPort.h"
#include "cli/StopSignals.h"
#include "core/link/ComPort.h"
#include "core/live/LiveDecoder.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <optional>

namespace LiveCommand {

namespace {

// Longest wait for a reading: at the start it means no meter answers, later
// that the meter stopped answering.
constexpr int SilenceLimitMs = 3000;

QString textLine(const LiveReading &r, const QString &lcd)
{
    QString line = QString::number(r.temperature, 'f', 1);
    if (r.unit != LiveUnit::None)
        line += u' ' + unitText(r.unit);
    line += QStringLiteral("  RH %1 %  battery %2/5  memory %3/8")
                .arg(QString::number(r.humidity, 'f', 1))
                .arg(r.battery)
                .arg(r.memory);
    if (r.recording)
        line += QStringLiteral("  REC");
    line += QStringLiteral("  LCD \"%1\"").arg(lcd);
    return line;
}

QByteArray jsonLine(const LiveReading &r, const QString &lcd)
{
    const QJsonObject o{
        {QStringLiteral("temperature"), r.temperature},
        {QStringLiteral("humidity"), r.humidity},
        {QStringLiteral("unit"), r.unit == LiveUnit::None ? QJsonValue() : QJsonValue(unitText(r.unit))},
        {QStringLiteral("battery"), r.battery},
        {QStringLiteral("memory"), r.memory},
        {QStringLiteral("recording"), r.recording},
        {QStringLiteral("lcd"), lcd},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(MeterPort::portOption());
    const QCommandLineOption countOption(QStringLiteral("count"),
                                         QStringLiteral("Stop after N readings (default: at SIGINT or SIGTERM)."),
                                         QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON object per reading and line."));
    parser.addOption(countOption);
    parser.addOption(json);
    if (auto code = ctx.parse(parser, arguments, false, QStringLiteral("--port P [--count N] [--json]")))
        return *code;
    qint64 wanted = 0;
    if (parser.isSet(countOption)) {
        bool ok = false;
        wanted = parser.value(countOption).toLongLong(&ok);
        if (!ok || wanted < 1)
            return ctx.fail(ErrorCode::Usage, QStringLiteral("--count must be a whole number of 1 or more."));
    }
    ComPort port;
    if (Result<> failed = MeterPort::open(parser, port); !failed)
        return ctx.fail(failed.failure());
    const QString path = port.deviceName();
    const bool asJson = parser.isSet(json);

    QEventLoop loop;
    std::optional<int> result;
    auto finish = [&](int code) {
        if (result)
            return;
        result = code;
        loop.exit();
    };

    LivePoller poller(port);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(SilenceLimitMs);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        if (result)
            return;
        finish(poller.readings() == 0
                   ? ctx.fail(ErrorCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path))
                   : ctx.fail(ErrorCode::Transfer, QStringLiteral("The meter on %1 stopped answering.").arg(path)));
    });
    QObject::connect(&poller, &LivePoller::traffic, &watchdog, qOverload<>(&QTimer::start));
    QObject::connect(&poller, &LivePoller::reading, &loop, [&](const LiveReading &reading, const QString &lcd) {
        if (result)
            return;
        if (asJson)
            ctx.out() << jsonLine(reading, lcd) << '\n';
        else
            ctx.out() << textLine(reading, lcd) << '\n';
        ctx.out().flush();
        watchdog.start();
        if (wanted > 0 && poller.readings() >= wanted)
            finish(int(ExitCode::Success));
    });
    QObject::connect(&port, &SerialPort::closedByError, &loop, [&] {
        if (result)
            return;
        finish(ctx.fail(ErrorCode::Transfer, QStringLiteral("The port %1 went away.").arg(path)));
    });

    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, [&] { finish(int(ExitCode::Success)); });

    poller.start();
    watchdog.start();
    loop.exec();
    port.close();
    return result.value_or(int(ExitCode::Success));
}

} // namespace LiveCommand
