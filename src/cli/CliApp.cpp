#include "cli/CliApp.h"

#include "cli/DataCommands.h"
#include "cli/PortCommands.h"
#include "cli/ReportCommand.h"
#include "cli/SetupCommands.h"
#include "core/base/Log.h"

#include <QCoreApplication>

CliApp::CliApp()
    : m_commands(DataCommands::commands() + PortCommands::commands() + ReportCommand::commands()
                 + SetupCommands::commands())
{
}

void CliApp::printOverview()
{
    QTextStream &out = m_context.out();
    out << "Usage: " << QCoreApplication::applicationName() << " COMMAND [options]\n\n"
        << "The KV518 data logger, its data sets and data files from the command line.\n\nCommands:\n";
    for (const CliCommand &c : m_commands)
        out << "  " << (c.name + u' ' + c.usage).trimmed() << "\n      " << c.summary << '\n';
    out << "\n'" << QCoreApplication::applicationName() << " COMMAND --help' describes a command's options;\n"
        << "--verbose before or after the command logs what it does on the standard error.\n"
        << "Exit codes: 0 success, 2 usage, 3 port or meter not found, 4 transfer error, "
           "5 bad or empty data, or a recording logger (setup).\n";
}

int CliApp::run(const QStringList &givenArguments)
{
    // --verbose may stand anywhere: it turns the log on and is no command's option.
    QStringList arguments = givenArguments;
    if (arguments.removeAll(QStringLiteral("--verbose")) > 0)
        enableVerboseLogging();
    const QString name = arguments.value(1);
    if (name.isEmpty())
        return m_context.fail(ErrorCode::Usage, QStringLiteral("No command given (see --help)."));
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printOverview();
        return int(ExitCode::Success);
    }
    if (name == QLatin1String("--version")) {
        m_context.out() << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return int(ExitCode::Success);
    }
    for (const CliCommand &c : m_commands) {
        if (c.name == name)
            return c.run(m_context, arguments.mid(1));
    }
    return m_context.fail(ErrorCode::Usage, QStringLiteral("Unknown command \"%1\" (see --help).").arg(name));
}
