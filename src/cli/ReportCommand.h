#pragma once

#include "cli/CliContext.h"

#include <QList>

// The report command: one data set as a PDF report.
namespace ReportCommand {

QList<CliCommand> commands();

// Whether the command line runs a command that draws, and so needs a
// QGuiApplication (fonts) rather than a QCoreApplication.
bool needsGui(int argc, char *argv[]);

} // namespace ReportCommand
