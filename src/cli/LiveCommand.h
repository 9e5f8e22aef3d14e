#pragma once

#include "cli/CliContext.h"

#include <QStringList>

// kv518-cli live: polls the meter as the program does and prints every live
// reading until --count readings or SIGINT/SIGTERM.
namespace LiveCommand {

int run(CliContext &ctx, const QStringList &arguments);

} // namespace LiveCommand
