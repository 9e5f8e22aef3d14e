#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Archive;

// Who does something at this workstation: the OS user, the full name from
// the passwd entry's GECOS field (empty when it has none) and the host.
struct AuditActor
{
    QString user;
    QString fullName;
    QString host;

    static AuditActor here();
    // The full name of an account, from its GECOS field up to the first comma.
    static QString fullNameOf(const QString &user);
};

// One entry of the audit trail: who did what, when, where, on which record,
// from which value to which, and why.
struct AuditEntry
{
    qint64 id = 0;
    QDateTime whenUtc;
    int utcOffsetSeconds = 0; // the PC's offset from UTC at that instant
    QString host;
    QString osUser;
    QString fullName;
    QString kind;             // one of AuditTrail::kinds()
    qint64 runId = 0;         // 0: no run
    QString samplesSha256;    // the run's samples the entry is about
    QString downloadHash;     // a download record's hash the entry is about
    QString oldValue;
    QString newValue;
    QString reason;
    QString previousHash;
    QString entryHash;

    // An entry of kind by this workstation's user, now.
    static AuditEntry here(const QString &kind);
};

// Which entries a listing holds; empty or invalid fields do not filter.
struct AuditFilter
{
    QDateTime from; // entries at or after (UTC)
    QDateTime to;   // entries at or before
    qint64 runId = 0;
    QString user;
    QString kind;
};

// Tells this process of each entry append() has committed, on the thread
// that appended it: whoever sends the archive on (the site forwarder)
// listens, as it hears of each new download.
class AuditTrailEvents : public QObject
{
    Q_OBJECT
public:
    static AuditTrailEvents &instance();

Q_SIGNALS:
    void appended(const QString &archivePath);
};

// The audit trail in the archive's database: append-only and chained by
// hashes as the download records are. Entries are written by the archive
// itself (downloads and imports, in the same transaction) and by every step
// that exports, reports, sets the logger up, changes limits, reviews or signs.
namespace AuditTrail {

QStringList kinds();
// The statements that add the audit trail to an archive's schema.
QStringList migration();
QString genesisHash();
// The hash of an entry's fields after previousHash.
QString entryHash(const QString &previousHash, const AuditEntry &e);

// Appends an entry inside the write transaction already open on the
// archive's connection (the one an archive's add runs in).
Result<qint64> appendInTransaction(const QString &connection, const QString &path, AuditEntry e);
// Appends an entry in a transaction of its own.
Result<qint64> append(Archive &archive, AuditEntry e);
// Appends an entry when an archive exists at path; nothing otherwise.
Result<> appendIfArchived(const QString &path, AuditEntry e);

Result<QList<AuditEntry>> list(Archive &archive, const AuditFilter &filter = {});
// Walks the chain and checks that each signature's run still holds the
// samples it signed; one line per thing that does not match.
Result<QStringList> verify(Archive &archive);

// The entries as CSV, one header line then one line per entry.
// Each cell is csvCell(): quoted when it must be, and a text that a
// spreadsheet would take for a formula (starting with =, +, -, @, a tab or a
// carriage return, and not a number) led by an apostrophe.
QByteArray csv(const QList<AuditEntry> &entries);
// The columns of csv() and of the audit listing, and one entry's cells.
QStringList columns();
QStringList cells(const AuditEntry &e);
QString csvCell(const QString &text);

// "Audit trail of /data/archive.sqlite: entries from 2026-03-01 00:00 to
// 2026-03-31 23:59 (UTC), of kind review, on run 2, by jdoe" (the filters
// that are set).
QString heading(const QString &archivePath, const AuditFilter &filter);
// Who made an entry: "Jane Doe (jdoe)", or the user alone without a full name.
QString actorText(const AuditEntry &e);
// When, at the PC that made it: "2026-03-01 10:00:00 +01:00".
QString localTimeText(const AuditEntry &e);

} // namespace AuditTrail
