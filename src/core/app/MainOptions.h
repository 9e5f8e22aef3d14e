#pragma once

#include "core/base/Result.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// What the command line adds to the program. Without options the program
// behaves exactly as it does when started from the desktop.
struct MainOptions
{
    // --port PATH (repeatable): devices the system does not enumerate, such as
    // pseudo-terminals, listed first in the port box.
    QStringList extraPorts;
    // --demo: the built-in simulated meter, listed after the system's ports.
    bool demo = false;
    // FILE...: collection, graph, TXT or CSV files to open once the program
    // has started, as File > Open would (a file manager's double-click).
    QStringList files;
    // --help: the usage text is printed and the program ends.
    bool helpRequested = false;
    // --verbose: every kv518 log category on, on the standard error.
    bool verbose = false;
    // Whether the system's serial ports are listed; tests turn it off so that
    // no real device is ever touched.
    bool listSystemPorts = true;
    // When set, lists the system's ports instead of the system (tests); it is
    // asked again whenever the port box re-reads the list.
    std::function<QStringList()> listPorts;
    // Puts the demo meter's in-memory line in place under DemoPortName, owned
    // by owner. Filled in by main(); run once before the port box is filled.
    std::function<void(QObject *owner)> startDemoMeter;

    static QString DemoPortName() { return QStringLiteral("DEMO"); }
};

// Parses the program's arguments (arguments[0] is the program). An unknown
// option or a missing value fails (ErrorCode::Usage) with the text to print.
Result<MainOptions> parseMainOptions(const QStringList &arguments);

// The text --help prints.
QString mainOptionsUsage();

// Port names in natural order ("ttyS2" before "ttyS10"), so that a saved
// PortIndex names the same port from run to run.
QStringList naturalPortOrder(QStringList names);

// The serial ports the system lists, in natural order.
QStringList systemPortNames();

// The entries of the port box: the --port paths, the system's ports, then the
// demo meter.
QStringList portBoxEntries(const QStringList &systemPorts, const MainOptions &options);
