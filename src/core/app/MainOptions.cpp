#include "core/app/MainOptions.h"

#include <QCollator>
#include <QCommandLineParser>
#include <QSerialPortInfo>

#include <algorithm>

bool parseMainOptions(const QStringList &arguments, MainOptions *options, QString *errorText)
{
    QCommandLineParser parser;
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("List the serial device PATH first in the port box."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("List the built-in simulated meter as port \"DEMO\"."));
    parser.addOption(port);
    parser.addOption(demo);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(arguments)) {
        if (errorText)
            *errorText = parser.errorText();
        return false;
    }
    if (parser.isSet(help)) {
        options->helpRequested = true;
        if (errorText)
            *errorText = mainOptionsUsage();
        return false;
    }
    options->files = parser.positionalArguments();
    options->extraPorts = parser.values(port);
    options->demo = parser.isSet(demo);
    return true;
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
