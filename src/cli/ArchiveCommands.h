#pragma once

#include "cli/CliContext.h"

#include <QCommandLineOption>
#include <QList>

struct ArchiveDownload;

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

} // namespace ArchiveCommands
