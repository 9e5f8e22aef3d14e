#include "cli/LiveCommand.h"

#include "cli/MeterPort.h"
#include "cli/StopSignals.h"
#include "core/link/ComPort.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <functional>
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

    QByteArray buffer;
    LiveDisplayState state;
    qint64 readings = 0;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(SilenceLimitMs);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        if (result)
            return;
        finish(readings == 0 ? ctx.fail(ErrorCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path))
                             : ctx.fail(ErrorCode::Transfer, QStringLiteral("The meter on %1 stopped answering.").arg(path)));
    });

    // At most one reading per poll: a frame the meter cannot show is noise
    // that looks like one, and a second frame in one poll is no answer to it.
    bool answered = true;
    std::function<void()> readLive = [&] {
        // A flood (line noise) is dropped but for the newest bytes, which can
        // hold the answer to the latest poll: the input stays bounded.
        const qint64 backlog = port.bytesWaiting() - Meter::LiveReadCap;
        if (backlog > 0) {
            port.read(backlog);
            buffer.clear();
        }
        // As in the program, any traffic after a first reading means the
        // meter is still there.
        if (ReadWaiting(port, buffer, Meter::LiveReadCap) > 0 && readings > 0)
            watchdog.start();
        ExtractFrames(buffer, Meter::LiveFrameLength, [&](const QByteArray &frame) {
            if (result || answered || !Meter::isPlausibleLiveFrame(frame))
                return;
            answered = true;
            state = decodeLiveFrame(frame, state);
            const LiveReading reading = readLiveFrame(frame);
            const QString lcd = lcdText(state);
            if (asJson)
                ctx.out() << jsonLine(reading, lcd) << '\n';
            else
                ctx.out() << textLine(reading, lcd) << '\n';
            ctx.out().flush();
            ++readings;
            watchdog.start();
            if (wanted > 0 && readings >= wanted)
                finish(int(ExitCode::Success));
        });
        // Bytes the cap left behind are read without waiting for the port
        // to announce them again.
        if (!result && port.bytesWaiting() > 0)
            QTimer::singleShot(0, &loop, [&] { readLive(); });
    };
    QObject::connect(&port, &SerialPort::received, &loop, [&] { readLive(); });
    QObject::connect(&port, &SerialPort::closedByError, &loop, [&] {
        if (result)
            return;
        finish(ctx.fail(ErrorCode::Transfer, QStringLiteral("The port %1 went away.").arg(path)));
    });

    // As the program polls: while no meter answers, a wake byte goes before
    // each request.
    QTimer poll;
    poll.setInterval(Meter::PollIntervalMs);
    auto tick = [&] {
        if (readings > 0) {
            answered = false;
            SendRequest(port, Meter::LIVE_REQUEST);
            return;
        }
        SendRequest(port, Meter::WAKE_BYTE);
        QTimer::singleShot(Meter::WakeDelayMs, &loop, [&] {
            answered = false;
            SendRequest(port, Meter::LIVE_REQUEST);
        });
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, tick);

    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, [&] { finish(int(ExitCode::Success)); });

    tick();
    poll.start();
    watchdog.start();
    loop.exec();
    port.close();
    return result.value_or(int(ExitCode::Success));
}

} // namespace LiveCommand
