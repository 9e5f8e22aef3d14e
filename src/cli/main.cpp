#include "cli/CliApp.h"
#include "cli/ReportCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace {
// The command's name comes after the options of every command: --verbose,
// and --trace FILE.
int commandIndex(int argc, char *argv[])
{
    int i = 1;
    while (i < argc) {
        if (std::strcmp(argv[i], "--verbose") == 0 || std::strncmp(argv[i], "--trace=", 8) == 0)
            ++i;
        else if (std::strcmp(argv[i], "--trace") == 0)
            i += 2;
        else
            break;
    }
    return i;
}

bool hasVerbose(int argc, char *argv[], int command)
{
    for (int i = 1; i < command && i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0)
            return true;
    }
    return false;
}

// Starting the GUI platform offscreen talks of the desktop session it does
// not have (no runtime folder, no fonts configured). For a command line
// program that is noise printed before its own sentence, so it is dropped
// unless --verbose asks for everything.
void quietStartUp(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg)
        qt_message_output(type, context, message);
}
} // namespace

int main(int argc, char *argv[])
{
    // Only the report draws: fonts need a GUI application, which runs
    // offscreen so that the command works without a display. Every other
    // command stays a plain console program.
    std::unique_ptr<QCoreApplication> app;
    const int command = commandIndex(argc, argv);
    if (command < argc && ReportCommand::needsGui(argc - command + 1, argv + command - 1)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const bool verbose = hasVerbose(argc, argv, command);
        const QtMessageHandler previous = verbose ? nullptr : qInstallMessageHandler(quietStartUp);
        app = std::make_unique<QGuiApplication>(argc, argv);
        if (!verbose)
            qInstallMessageHandler(previous);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("kv518-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV518_VERSION));
    CliApp cli;
    return cli.run(QCoreApplication::arguments());
}
