#include "cli/MeterPort.h"

#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"

namespace MeterPort {

QCommandLineOption portOption()
{
    return {QStringLiteral("port"),
            QStringLiteral("The serial device: a path (/dev/ttyUSB0, a pseudo-terminal) or a port name "
                           "(ttyUSB0)."),
            QStringLiteral("P")};
}

QString devicePath(const QCommandLineParser &parser)
{
    // The command line opens serial devices only: no in-memory lines.
    return PortFactory().devicePathFor(parser.value(QStringLiteral("port")).trimmed());
}

namespace {

// A device name as a message shows it: a line break or another control
// character in it would cut the sentence, so it is written as an escape.
QString shown(const QString &path)
{
    QString out;
    for (const QChar c : path) {
        if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}

} // namespace

Result<> open(const QCommandLineParser &parser, ComPort &port)
{
    const QString path = devicePath(parser);
    if (path.isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("--port is required (see --help)."));
    if (!parser.positionalArguments().isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("Unexpected argument \"%1\" (see --help).")
                                             .arg(parser.positionalArguments().constFirst()));
    port.setDeviceName(path);
    port.setBaudRate(Meter::BaudRate);
    if (!port.open()) {
        // The most common first-run failure on Linux: the user is not in the
        // group that owns the serial devices.
        if (port.openError() == SerialPort::OpenError::PermissionDenied)
            return fail(ErrorCode::Permission,
                        QStringLiteral("Cannot open %1: permission denied: add yourself to the dialout group "
                                           "(sudo adduser $USER dialout, then log in again).")
                                .arg(shown(path)));
        if (port.openError() == SerialPort::OpenError::Watched)
            return fail(ErrorCode::NotFound, shown(port.lastError()));
        const QString reason = port.lastError();
        return fail(ErrorCode::NotFound, reason.isEmpty() ? QStringLiteral("Cannot open %1.").arg(shown(path))
                                                             : QStringLiteral("Cannot open %1: %2.").arg(shown(path), reason));
    }
    port.clearInput();
    return {};
}

} // namespace MeterPort
