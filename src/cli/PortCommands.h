#pragma once

#include "cli/CliContext.h"

#include <QList>

// The commands that talk to the meter over a serial port.
namespace PortCommands {

QList<CliCommand> commands();

} // namespace PortCommands
