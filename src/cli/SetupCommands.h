#pragma once

#include "cli/CliContext.h"

#include <QList>

// kv518-cli setup: the logger setup window's reading and commands, for
// scripts (show, clock, unit, interval, erase, defaults).
namespace SetupCommands {

QList<CliCommand> commands();

} // namespace SetupCommands
