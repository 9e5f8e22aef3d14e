#pragma once

#include "cli/CliContext.h"

#include <QStringList>

// kv518-cli download: the logger download into a collection file, written only
// when the image is complete and holds data sets that decode.
namespace DownloadCommand {

int run(CliContext &ctx, const QStringList &arguments);

} // namespace DownloadCommand
