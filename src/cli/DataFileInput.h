#pragma once

#include "cli/CliContext.h"
#include "core/data/TDataSetStore.h"
#include "core/files/TextDataFile.h"

#include <QString>

#include <optional>

// A collection file read into store for a command, as the Open command
// reads it; a failure names the file and what is wrong with it.
Result<> readCollectionFile(const QString &path, TDataSetStore &store);
// The failure of a collection file's load (the data sets' or the
// directory's), told with the file's name.
Result<> collectionFailure(const QString &path, const Result<> &loaded, int faultySet);

// A TXT or CSV data file read for a command, with the command line's one set
// of refusals: unreadable, too many lines, no line break, no data line, no
// date that reads. On success points holds at least one filled point.
Result<> readDataFile(CliContext &ctx, const QString &path, QChar separator, TextFilePoints &points);
// The refusal of a data file with lines whose date cannot be read.
Failure undatedLines(const CliContext &ctx, qint64 undated, qint64 lines);
