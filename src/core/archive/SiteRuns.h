#pragma once

#include "core/archive/SiteArchive.h"
#include "core/base/Result.h"

#include <QFuture>
#include <QList>
#include <QString>

// The site archive as the archive window lists it: read on a worker thread,
// so no wait on the network ever falls on the window's thread.
namespace SiteRuns {

// The runs of the site, or the sentence that says why there are none.
struct Listing
{
    QList<SiteRunInfo> runs;
    QString failure; // empty: the runs are the site's
};

// Connects to the site at url (postgresql://...; the password from libpq's
// own sources) on a thread of the global pool, through a connection of that
// thread alone, and lists every run of every workstation. The future always
// gets one result.
QFuture<Listing> list(const QString &url);

// A run of the site opened, or the sentence that says why it is not.
struct Opened
{
    SiteRunCopy copy;
    QString failure; // empty: copy holds the run
};

// Connects as list() does and fetches one run's version whose samples hash
// to samplesSha256 (the version the listing showed; empty: the latest), its
// samples checked against that hash (SiteArchive::runCopy()). The future
// always gets one result.
QFuture<Opened> open(const QString &url, qint64 runId, const QString &samplesSha256);

// Sets [site] url= of the program data folder's ini/archive.ini (empty: no
// site), keeping every other line of the file. Refuses a url that is no site
// archive's, and any with a password.
Result<> setConfiguredUrl(const QString &programFolder, const QString &url);

} // namespace SiteRuns
