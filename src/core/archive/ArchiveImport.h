#pragma once

#include "core/archive/Archive.h"

#include <QString>
#include <QStringList>

// Importing collection files into the archive, as the program's File menu
// and kv518-cli's "archive import" do: each file is one download record of
// source "import" with the file's absolute path.
namespace ArchiveImport {

// The file dialog's filter of what can be imported.
QString dialogFilter();

// Reads the collection file at path and archives it; fails as the read or
// the archive does, the message starting with the path.
Result<ArchiveOutcome> importFile(Archive &archive, const QString &path);

// What importing several files did, for the status bar and the messages.
struct Summary
{
    ArchiveOutcome archived;  // every data set of the files that went in
    QStringList failures;     // one sentence per file that did not
    int filesArchived = 0;
};
Summary importFiles(Archive &archive, const QStringList &paths);

} // namespace ArchiveImport
