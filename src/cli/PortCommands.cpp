#include "cli/PortCommands.h"

#include "cli/DownloadCommand.h"
#include "cli/FlowLoop.h"
#include "cli/LiveCommand.h"
#include "cli/WatchCommand.h"
#include "cli/MeterPort.h"
#include "core/app/MainOptions.h"
#include "core/link/ComPort.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

namespace PortCommands {

namespace {

// How long identify waits for the meter's five bytes.
constexpr int IdentifyWaitMs = 1000;

int runPorts(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON array of objects."));
    parser.addOption(json);
    if (auto code = ctx.parse(parser, arguments, false, QStringLiteral("[--json]")))
        return *code;
    if (!parser.positionalArguments().isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("ports takes no arguments (see --help)."));

    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QStringList names;
    for (const QSerialPortInfo &info : std::as_const(ports))
        names << info.portName();
    names = naturalPortOrder(names);
    std::stable_sort(ports.begin(), ports.end(), [&](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return names.indexOf(a.portName()) < names.indexOf(b.portName());
    });

    QTextStream &out = ctx.out();
    if (parser.isSet(json)) {
        QJsonArray list;
        for (const QSerialPortInfo &info : std::as_const(ports))
            list.append(QJsonObject{{QStringLiteral("name"), info.portName()},
                                    {QStringLiteral("path"), info.systemLocation()},
                                    {QStringLiteral("description"), info.description()}});
        out << QJsonDocument(list).toJson(QJsonDocument::Compact) << '\n';
        return int(ExitCode::Success);
    }
    qsizetype nameWidth = 4, pathWidth = 4;
    for (const QSerialPortInfo &info : std::as_const(ports)) {
        nameWidth = std::max(nameWidth, info.portName().size());
        pathWidth = std::max(pathWidth, info.systemLocation().size());
    }
    if (ports.isEmpty()) {
        out << "No serial ports.\n";
        return int(ExitCode::Success);
    }
    out << QStringLiteral("Name").leftJustified(nameWidth + 2) << QStringLiteral("Path").leftJustified(pathWidth + 2)
        << "Description\n";
    for (const QSerialPortInfo &info : std::as_const(ports))
        out << info.portName().leftJustified(nameWidth + 2) << info.systemLocation().leftJustified(pathWidth + 2)
            << info.description() << '\n';
    return int(ExitCode::Success);
}

int runIdentify(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(MeterPort::portOption());
    if (auto code = ctx.parse(parser, arguments, false, QStringLiteral("--port P")))
        return *code;
    ComPort port;
    if (Result<> failed = MeterPort::open(parser, port); !failed)
        return ctx.fail(failed.failure());
    runFlow([&port](const std::function<void()> &ended) {
        QObject::connect(&port, &SerialPort::received, &port, [&port, ended] {
            if (port.bytesWaiting() >= Meter::IdentifyReplyLength)
                ended();
        });
        QObject::connect(&port, &SerialPort::closedByError, &port, ended);
        QTimer::singleShot(IdentifyWaitMs, &port, ended);
        SendRequest(port, Meter::IDENTIFY_REQUEST);
    });
    QByteArray reply;
    ReadWaiting(port, reply, Meter::ReplyReadCap);
    port.close();
    const QString path = port.deviceName();
    if (!Meter::isIdentifyReply(reply))
        return ctx.fail(ErrorCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path));
    ctx.out() << "KV518 found on " << path << '\n';
    return int(ExitCode::Success);
}

} // namespace

QList<CliCommand> commands()
{
    return {
        {QStringLiteral("ports"), QStringLiteral("[--json]"),
         QStringLiteral("List the serial ports (name, device path, description)."), runPorts},
        {QStringLiteral("identify"), QStringLiteral("--port P"), QStringLiteral("Ask whether a KV518 answers on port P."),
         runIdentify},
        {QStringLiteral("live"), QStringLiteral("--port P [--count N] [--json]"),
         QStringLiteral("Print the meter's live readings, one line per reading."), LiveCommand::run},
        {QStringLiteral("watch"),
         QStringLiteral("--port P [--record-every D] [--limits ...] [--delay D] [--silent-after D] "
                        "[--on-event CMD] [--mail-to ADDR] [--mqtt URL]"),
         QStringLiteral("Watch the meter unattended: record periods, tell limit breaches and silences."),
         WatchCommand::run},
        {QStringLiteral("download"), QStringLiteral("--port P -o FILE.518 [--quiet]"),
         QStringLiteral("Download the logger's memory into a collection file."), DownloadCommand::run},
    };
}

} // namespace PortCommands
