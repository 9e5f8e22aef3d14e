#pragma once

#include "cli/CliContext.h"

#include <QList>

#include "core/base/Result.h"

#include <QStringList>

class Archive;
struct AuditEntry;

// kv518-cli audit: list and export the archive's audit trail; and archive
// review, acknowledge and sign, which add to it.
namespace AuditCommands {

QList<CliCommand> commands();

// Whether "archive ACTION" is one of review, acknowledge and sign.
bool isArchiveAction(const QString &action);
int runArchiveAction(CliContext &ctx, const QStringList &arguments);

// Appends an entry; on failure prints that the step is not recorded and
// returns the failure's exit code, else code.
int record(CliContext &ctx, Archive &archive, const AuditEntry &entry, int code = 0);

} // namespace AuditCommands
