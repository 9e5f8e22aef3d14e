#pragma once

#include "cli/CliContext.h"

#include <QList>

// The commands that work on files: sets, export, stats.
namespace DataCommands {

QList<CliCommand> commands();

} // namespace DataCommands
