#pragma once

#include "core/base/Result.h"
#include "core/data/TDataSetStore.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

struct ArchiveRecord;
struct AuditEntry;
class QSqlQuery;

// Where the site archive is: postgresql://host:port/dbname?user=NAME. An
// empty host, port or user is libpq's default (PGHOST, PGPORT, PGUSER); the
// password is never part of it (libpq reads PGPASSWORD or ~/.pgpass).
struct SiteUrl
{
    QString host;
    int port = -1;
    QString database;
    QString user;

    static Result<SiteUrl> parse(const QString &text);
    // The text without the user: the key the outbox records confirmations under.
    QString key() const;
};

// The site archive named in the program data folder's ini/archive.ini
// ([site] url=...); empty when none is named.
QString configuredSiteUrl(const QString &programFolder);

// One run of the site's listing: its latest version and who downloaded it.
struct SiteRunInfo
{
    qint64 id = 0;
    QString start;
    int intervalSeconds = 0;
    QString unit;
    qint64 samples = 0;
    QString lastSample;
    int versions = 0;
    QString samplesSha256;
    QStringList workstations; // every workstation that downloaded it
    QStringList users;        // and the users who did
    QDateTime firstDownloadUtc;
};

// A run of the site opened as a data set, and the workstation whose
// download it was taken from.
struct SiteRunCopy
{
    TDataSetStore store;
    QString workstation;
};

// The archive of a site on a PostgreSQL server: the records of every
// workstation, each stored once by its content (image and run versions by
// their SHA-256, a download by its workstation and its number there), each
// workstation's chain kept as it was made. Rows are only ever inserted; the
// schema's triggers refuse UPDATE and DELETE. One object is one connection,
// used by the thread that opened it.
class SiteArchive
{
public:
    static constexpr int SchemaVersion = 3;

    // Connects; password empty: libpq's own (PGPASSWORD, ~/.pgpass).
    static Result<std::unique_ptr<SiteArchive>> connect(const SiteUrl &url, const QString &password = {});
    ~SiteArchive();
    SiteArchive(const SiteArchive &) = delete;
    SiteArchive &operator=(const SiteArchive &) = delete;

    // Creates the schema on an empty database, or brings an older one up to
    // date; Refused for a database that holds other tables or a newer schema.
    Result<> init();
    // Refused unless the schema is this program's, at its version.
    Result<> requireSchema();

    // Stores a workstation's download record in one transaction. True when
    // stored now, false when the server already held it; Refused when the
    // server holds a different record under the same number.
    Result<bool> forward(const ArchiveRecord &record, const QString &workstation);
    // Stores a workstation's audit entry, by its workstation and number
    // there, as forward() does a download: true when stored now, false when
    // the server held it; Refused for a different entry under that number.
    Result<bool> forwardAudit(const AuditEntry &entry, const QString &workstation);

    Result<QList<SiteRunInfo>> runs();
    // The version of a run whose samples hash to samplesSha256 (empty: the
    // latest, as runs() lists it), as a store of its one data set, the way
    // Archive::runStore() makes one, from the image of the first download
    // that held it. The version's samples and the image are checked against
    // their SHA-256 first: Damaged when the server's copy does not match.
    Result<SiteRunCopy> runCopy(qint64 runId, const QString &samplesSha256 = {});
    Result<qint64> downloadCount();
    Result<int> workstationCount();
    Result<qint64> auditEntryCount();
    // Re-hashes every image and run version and walks each workstation's
    // chain of downloads and that of its audit trail; one line per thing
    // that does not match.
    Result<QStringList> verify();

    const SiteUrl &url() const { return m_url; }

private:
    SiteArchive(SiteUrl url, QString connection);
    SiteUrl m_url;
    QString m_connection;
    std::unique_ptr<QHash<QString, QSqlQuery>> m_prepared; // of forward(), on this connection
};
