#pragma once

#include "cli/CliContext.h"
#include "core/link/ComPort.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>

// The port option of kv518-cli's meter commands and the opening of that port.
namespace MeterPort {

QCommandLineOption portOption();

// The device behind --port: a path as it stands, a bare name under /dev/.
QString devicePath(const QCommandLineParser &parser);

// Opens the device of --port exclusively with the meter's line settings and
// clears its input. Returns an exit code (with its sentence printed) when
// --port is missing or the device cannot be opened.
Result<> open(const QCommandLineParser &parser, ComPort &port);

} // namespace MeterPort
