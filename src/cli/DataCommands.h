#pragma once

#include "cli/CliContext.h"

#include "core/data/TDataSetStore.h"

#include <QList>

#include <vector>

// The commands that work on files: sets, export, stats.
namespace DataCommands {

QList<CliCommand> commands();

// Writes data set `set` (1-based) of store as `export` writes a collection's
// data set: format "txt", "csv" or "ghf" (empty: by the extension of output),
// to output (empty: the standard output; not for a graph file).
int exportDataSet(CliContext &ctx, const TDataSetStore &store, int set, const QString &format, const QString &output);

// The samples of each data set of a collection file, or of the one data
// file (TXT, CSV, graph file), read as `export` reads them.
struct FileSamples
{
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
};
Result<QList<FileSamples>> readSamples(CliContext &ctx, const QString &path);

} // namespace DataCommands
