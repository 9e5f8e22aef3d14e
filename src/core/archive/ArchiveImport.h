#pragma once

#include "core/archive/Archive.h"
#include "core/data/DateTimeText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <span>

// Importing files into the archive, as the program's File menu and
// kv518-cli's "archive import" do: each file is one download record of
// source "import" with the file's absolute path. A collection file is
// archived as it is; a data file (TXT, CSV, graph file) holds one data set's
// samples and no logger image, so the image of that one data set is built
// from them as a collection of it would hold it.
namespace ArchiveImport {

// The file dialog's filters of what can be imported, all of it first.
QStringList dialogFilters();

// Whether path is read as a data file (by its extension), not a collection.
bool isDataFile(const QString &path);

// The logger image of one data set whose samples are times (framework days,
// evenly spaced to the second) and readings, as a collection of it holds
// them: in degrees Celsius (a data file does not name its unit). Fails for
// samples no logger records: undated, unevenly spaced, readings that are no
// tenths, a start or interval its directory cannot hold, or too many.
Result<QByteArray> dataSetImage(std::span<const double> times, std::span<const float> humidity,
                                std::span<const float> temperature);

// What one file gave the archive.
struct Imported
{
    ArchiveOutcome outcome;
    bool fromDataFile = false;
    // "Archived: 1 data set (1 new, 0 grown, 0 already archived), built from a data file"
    QString summary() const;
};

// Reads the file at path and archives it whole or not at all; fails as the
// read or the archive does, the message starting with the path. A text data
// file's dates are read with texts' regional formats.
Result<Imported> importFile(Archive &archive, const QString &path, const DateTimeText &texts = DateTimeText());

// What importing several files did, for the status bar and the messages.
struct Summary
{
    ArchiveOutcome archived;  // every data set of the files that went in
    QStringList lines;        // "path: summary" per file that went in
    QList<Failure> failures;  // one per file that did not, its message naming it
    int filesArchived = 0;
};
Summary importFiles(Archive &archive, const QStringList &paths, const DateTimeText &texts = DateTimeText());

} // namespace ArchiveImport
