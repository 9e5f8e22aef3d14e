#include "cli/CliApp.h"
#include "cli/ReportCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    // Only the report draws: fonts need a GUI application, which runs
    // offscreen so that the command works without a display. Every other
    // command stays a plain console program.
    std::unique_ptr<QCoreApplication> app;
    // The command comes after the global --trace FILE.
    int skipped = 0;
    if (argc > 2 && std::strcmp(argv[1], "--trace") == 0)
        skipped = 2;
    else if (argc > 1 && std::strncmp(argv[1], "--trace=", 8) == 0)
        skipped = 1;
    if (ReportCommand::needsGui(argc - skipped, argv + skipped)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("kv518-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV518_VERSION));
    CliApp cli;
    return cli.run(QCoreApplication::arguments());
}
