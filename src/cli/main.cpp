#include "cli/CliApp.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv518-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV518_VERSION));
    CliApp cli;
    return cli.run(QCoreApplication::arguments());
}
