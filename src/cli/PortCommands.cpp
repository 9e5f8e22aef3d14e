#include "cli/PortCommands.h"

namespace PortCommands {

namespace {

// The meter link is not part of this build yet: each command is listed so
// scripts can already name it, and refuses with a usage error.
CliCommand notYet(const QString &name, const QString &usage, const QString &summary)
{
    return {name, usage, summary + QStringLiteral(" (not available yet)"),
            [name](CliContext &ctx, const QStringList &) {
                return ctx.fail(ExitCode::Usage, QStringLiteral("The %1 command is not available yet.").arg(name));
            }};
}

} // namespace

QList<CliCommand> commands()
{
    return {
        notYet(QStringLiteral("ports"), QString(), QStringLiteral("List the serial ports.")),
        notYet(QStringLiteral("identify"), QStringLiteral("--port P"), QStringLiteral("Ask the meter on port P who it is.")),
        notYet(QStringLiteral("live"), QStringLiteral("--port P [--count N] [--json]"),
               QStringLiteral("Print live readings.")),
        notYet(QStringLiteral("download"), QStringLiteral("--port P -o FILE.518"),
               QStringLiteral("Download the logger's memory into a collection file.")),
    };
}

} // namespace PortCommands
