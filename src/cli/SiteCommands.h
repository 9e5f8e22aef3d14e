#pragma once

#include "cli/CliContext.h"

#include <QString>

// kv518-cli archive init, status, sync, and list and verify with --url: the
// site archive on a PostgreSQL server.
namespace SiteCommands {

// The site archive of the command: --url, else ini/archive.ini's; empty
// when none is named.
QString siteUrl(const QString &given);

int init(CliContext &ctx, const QString &url);
int status(CliContext &ctx, const QString &archivePath, const QString &url, bool json);
int sync(CliContext &ctx, const QString &archivePath, const QString &url, bool json);
int list(CliContext &ctx, const QString &url, bool json);
int verify(CliContext &ctx, const QString &url);

} // namespace SiteCommands
