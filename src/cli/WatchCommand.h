#pragma once

#include "cli/CliContext.h"

#include <QStringList>

// kv518-cli watch: unattended monitoring of the meter on a port. Polls the
// live reading, records the minimum, maximum and mean of every period into
// the archive as a monitoring run, and tells limit breaches, silences and
// recording changes as JSON lines, to a command, by mail and over MQTT.
namespace WatchCommand {

int run(CliContext &ctx, const QStringList &arguments);

} // namespace WatchCommand
