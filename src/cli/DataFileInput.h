#pragma once

#include "cli/CliContext.h"
#include "core/files/TextDataFile.h"

#include <QString>

#include <optional>

// A TXT or CSV data file read for a command, with the command line's one set
// of refusals: unreadable, too many lines, no line break, no data line. On
// success points holds at least one filled point.
std::optional<int> readDataFile(CliContext &ctx, const QString &path, QChar separator, TextFilePoints &points);
