#pragma once

#include "core/base/Result.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class Archive;
class SiteArchive;

// What a workstation's archive has not yet had confirmed by the site
// archive: every download record and audit entry without a confirmation for
// that site. The confirmations are rows of the local archive file
// (site_confirmed, site_audit_confirmed), written
// after the server committed the record, so a record the server stored but
// whose confirmation was lost is sent again and stored once there.
class Outbox
{
public:
    // A connection of its own to the archive file at path (the thread that
    // opens it uses it).
    static Result<std::unique_ptr<Outbox>> open(const QString &archivePath);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    // The downloads waiting for site, oldest first.
    Result<QList<qint64>> waiting(const QString &site);
    Result<> confirm(qint64 downloadId, const QString &site);
    // The audit entries waiting for site (site_audit_confirmed), oldest first.
    Result<QList<qint64>> waitingAudit(const QString &site);
    Result<> confirmAudit(qint64 entryId, const QString &site);

private:
    Outbox(QString path, QString connection);
    Result<QList<qint64>> ids(const QString &select, const QString &site);
    Result<> confirmIn(const QString &table, qint64 id, const QString &site);
    QString m_path;
    QString m_connection;
};

// What one pass of sending the outbox did.
struct SyncReport
{
    int sent = 0;          // downloads stored on the server now
    int alreadyStored = 0; // the server held them already
    int waiting = 0;       // still in the outbox afterwards
    int auditSent = 0;     // the same of the audit entries
    int auditAlreadyStored = 0;
    int auditWaiting = 0;
    std::optional<Failure> failure; // why the pass stopped early

    // "Site archive: 3 downloads waiting" / "Site archive: up to date"
    QString statusText() const;
};

// The status line of the waiting downloads ("Site archive: 3 downloads
// waiting"), or once none waits, of the audit entries ("Site archive: 2 audit
// entries waiting"), else "Site archive: up to date".
QString siteStatusText(int waiting, int auditWaiting = 0);

// Sends the outbox oldest first, each record in one transaction, then the
// audit entries, stopping at the first failure so each workstation's chains
// reach the server in order.
SyncReport sendOutbox(Archive &archive, Outbox &outbox, SiteArchive &site, const QString &workstation);
