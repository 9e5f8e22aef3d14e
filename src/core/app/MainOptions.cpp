#include "core/app/MainOptions.h"

#include <QCollator>
#include <QCommandLineParser>
#include <QSerialPortInfo>

#include <algorithm>

Result<MainOptions> parseMainOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("List the serial device PATH first in the port box."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("List the built-in simulated meter as port \"DEMO\"."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log what the program does on the standard error."));
    parser.addOption(port);
    parser.addOption(demo);
    parser.addOption(verbose);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(arguments))
        return fail(ErrorCode::Usage, parser.errorText());
    MainOptions options;
    options.helpRequested = parser.isSet(help);
    options.files = parser.positionalArguments();
    options.extraPorts = parser.values(port);
    options.demo = parser.isSet(demo);
    options.verbose = parser.isSet(verbose);
    return options;
}

QString mainOptionsUsage()
{
    return QStringLiteral(
        "Usage: kv518 [--port PATH]... [--demo] [FILE]...\n"
        "Desktop companion of the KV518 temperature and humidity data logger.\n"
        "Opens each FILE (a data set collection *.518, a graph file *.ghf, or a\n"
        "TXT or CSV data file) as File > Open does.\n"
        "\n"
        "  --port PATH    list the serial device PATH (for example a pseudo-terminal)\n"
        "                 first in the port box; may be given more than once\n"
        "  --demo         list the built-in simulated meter as port \"DEMO\"\n"
        "  --verbose      log what the program does (ports, files, settings) on the\n"
        "                 standard error\n"
        "  -v, --version  show the program's version\n"
        "  -h, --help     show this help\n");
}

QStringList naturalPortOrder(QStringList names)
{
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::stable_sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
    return names;
}

QStringList systemPortNames()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return naturalPortOrder(names);
}

QStringList portBoxEntries(const QStringList &systemPorts, const MainOptions &options)
{
    QStringList entries = options.extraPorts;
    entries << systemPorts;
    if (options.demo)
        entries << MainOptions::DemoPortName();
    return entries;
}
