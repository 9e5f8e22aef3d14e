#include "cli/CliApp.h"

#include "cli/ArchiveCommands.h"
#include "cli/AuditCommands.h"
#include "cli/DataCommands.h"
#include "cli/PortCommands.h"
#include "cli/ReportCommand.h"
#include "cli/SetupCommands.h"
#include "core/base/Log.h"
#include "core/data/AtomicFile.h"
#include "core/link/PortFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

CliApp::CliApp()
    : m_commands(DataCommands::commands() + PortCommands::commands() + ReportCommand::commands()
                 + SetupCommands::commands() + ArchiveCommands::commands()
                 + AuditCommands::commands())
{
}

void CliApp::printOverview()
{
    QTextStream &out = m_context.out();
    out << "Usage: " << QCoreApplication::applicationName() << " COMMAND [options]\n\n"
        << "The KV518 data logger, its data sets and data files from the command line.\n\nCommands:\n";
    for (const CliCommand &c : m_commands)
        out << "  " << (c.name + u' ' + c.usage).trimmed() << "\n      " << c.summary << '\n';
    out << "\nBefore the command, --trace FILE writes every exchange with the meter to FILE (JSON lines), "
           "also when the command fails.\n"
        << "\n'" << QCoreApplication::applicationName() << " COMMAND --help' describes a command's options;\n"
        << "--verbose before or after the command logs what it does on the standard error.\n"
        << "Exit codes: 0 success, 2 usage, 3 port or meter not found, 4 transfer error, "
           "5 bad or empty data, or a recording logger (setup).\n";
}

int CliApp::run(const QStringList &arguments)
{
    return m_context.finish(dispatch(arguments));
}

int CliApp::dispatch(const QStringList &givenArguments)
{
    // --verbose may stand anywhere: it turns the log on and is no command's option.
    QStringList arguments = givenArguments;
    if (arguments.removeAll(QStringLiteral("--verbose")) > 0)
        enableVerboseLogging();
    const QString first = arguments.value(1);
    if (first != QLatin1String("--trace") && !first.startsWith(QLatin1String("--trace=")))
        return runCommand(arguments);
    const bool separate = first == QLatin1String("--trace");
    const QString trace = separate ? arguments.value(2) : first.mid(8);
    arguments.remove(1, separate ? qMin<qsizetype>(2, arguments.size() - 1) : 1);
    if (trace.isEmpty())
        return m_context.fail(ErrorCode::Usage, QStringLiteral("--trace needs a FILE (see --help)."));
    // Refused before the command, which may keep the meter busy for a while.
    const QFileInfo target(trace);
    if (target.isDir() || !target.absoluteDir().exists())
        return m_context.fail(ErrorCode::WriteFailed, AtomicFile::cannotCreateText(trace));
    return writeTrace(trace, runCommand(arguments));
}

int CliApp::writeTrace(const QString &path, int code)
{
    // The command's ports have no factory of their own.
    const TransferLog &log = PortFactory::standard().transferLog();
    AtomicFile file(path);
    Result<> written = file.open();
    if (written) {
        log.writeJsonLines(file.device());
        written = file.commit();
    }
    if (written)
        return code;
    const int failed = m_context.fail(written.failure());
    return code == int(ExitCode::Success) ? failed : code;
}

int CliApp::runCommand(const QStringList &arguments)
{
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
