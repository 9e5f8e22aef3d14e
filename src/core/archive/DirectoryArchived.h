#pragma once

#include "core/archive/Archive.h"

#include <QByteArrayView>
#include <QList>

// Which of the data sets a logger's directory lists the archive already
// holds, judged from the directory alone (the setup window has no samples):
// a set counts as archived when a run of the same start, interval and unit
// holds at least as many samples. Whether those samples are the logger's
// own only a download can tell; the directory cannot.
struct DirectoryArchiveStanding
{
    int sets = 0;        // data sets the directory lists
    int notArchived = 0; // of them, the ones no archived run covers
};

// directory: the first bytes of the logger's memory (at least the 256 of
// its directory). A directory that cannot be read lists no sets.
DirectoryArchiveStanding directoryArchiveStanding(QByteArrayView directory, const QList<ArchiveRunInfo> &runs);
