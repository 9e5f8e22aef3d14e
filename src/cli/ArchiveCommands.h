#pragma once

#include "cli/CliContext.h"

#include <QCommandLineOption>
#include <QList>

#include "core/archive/Archive.h"

#include <QDateTime>

#include <memory>

// kv518-cli archive: list, verify, import and back up the download archive;
// and the archiving of every download kv518-cli makes.
namespace ArchiveCommands {

QList<CliCommand> commands();

// --archive PATH, on every command that uses the archive.
QCommandLineOption archiveOption();
// The archive chosen with --archive, or the program data folder's.
QString archivePath(const QCommandLineParser &parser);

// Archives a download; on failure prints that it is not archived and why,
// and returns false. The download itself is not touched either way.
bool archive(CliContext &ctx, const QString &path, const ArchiveDownload &download);

// RUN: a positive run number.
Result<qint64> runNumber(const QString &text);
// --from / --to of a parsed command line: an ISO 8601 date-time or date
// (invalid when not given).
Result<QDateTime> timeBound(const QCommandLineParser &parser, const QString &name);
// The archive at path, which must exist.
Result<std::unique_ptr<Archive>> openExisting(const QString &path);

} // namespace ArchiveCommands
