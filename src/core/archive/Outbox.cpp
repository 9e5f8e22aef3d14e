#include "core/archive/Outbox.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SqlStatements.h"
#include "core/base/Log.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <optional>

namespace {

std::atomic<int> connectionCounter{0};

} // namespace

Outbox::Outbox(QString path, QString connection) : m_path(std::move(path)), m_connection(std::move(connection)) {}

Outbox::~Outbox()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<Outbox>> Outbox::open(const QString &archivePath)
{
    const QString connection = QStringLiteral("kv518-outbox-%1").arg(connectionCounter++);
    std::unique_ptr<Outbox> outbox(new Outbox(archivePath, connection));
    std::optional<Failure> notOpened;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(archivePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            notOpened = SqlStatements(connection, archivePath).failure(db.lastError());
    }
    if (notOpened)
        return *notOpened;
    SqlStatements sql(connection, archivePath);
    for (const QString &table : {QStringLiteral("CREATE TABLE IF NOT EXISTS site_confirmed (site TEXT NOT NULL, "
                                                "download_id BIGINT NOT NULL REFERENCES download(id), "
                                                "confirmed_utc TEXT NOT NULL, PRIMARY KEY (site, download_id))"),
                                 QStringLiteral("CREATE TABLE IF NOT EXISTS site_audit_confirmed (site TEXT NOT NULL, "
                                                "entry_id BIGINT NOT NULL REFERENCES audit_entry(id), "
                                                "confirmed_utc TEXT NOT NULL, PRIMARY KEY (site, entry_id))")})
        if (Result<QSqlQuery> q = sql.exec(table); !q)
            return q.failure();
    return outbox;
}

Result<QList<qint64>> Outbox::waiting(const QString &site)
{
    return ids(QStringLiteral("SELECT id FROM download WHERE id NOT IN "
                              "(SELECT download_id FROM site_confirmed WHERE site = ?) ORDER BY id"),
               site);
}

Result<QList<qint64>> Outbox::waitingAudit(const QString &site)
{
    return ids(QStringLiteral("SELECT id FROM audit_entry WHERE id NOT IN "
                              "(SELECT entry_id FROM site_audit_confirmed WHERE site = ?) ORDER BY id"),
               site);
}

Result<QList<qint64>> Outbox::ids(const QString &select, const QString &site)
{
    Result<QSqlQuery> q = SqlStatements(m_connection, m_path).exec(select, {site});
    if (!q)
        return q.failure();
    QList<qint64> ids;
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

Result<> Outbox::confirm(qint64 downloadId, const QString &site)
{
    return confirmIn(QStringLiteral("site_confirmed"), downloadId, site);
}

Result<> Outbox::confirmAudit(qint64 entryId, const QString &site)
{
    return confirmIn(QStringLiteral("site_audit_confirmed"), entryId, site);
}

Result<> Outbox::confirmIn(const QString &table, qint64 id, const QString &site)
{
    Result<QSqlQuery> q = SqlStatements(m_connection, m_path)
                              .exec(QStringLiteral("INSERT OR IGNORE INTO %1 VALUES (?, ?, ?)").arg(table),
                                    {site, id, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)});
    if (!q)
        return q.failure();
    return {};
}

QString siteStatusText(int waiting, int auditWaiting)
{
    // The audit entries go after the downloads (which bring entries of
    // their own): they are named once no download waits.
    if (waiting > 0)
        return QStringLiteral("Site archive: %1 %2 waiting")
            .arg(waiting)
            .arg(waiting == 1 ? QStringLiteral("download") : QStringLiteral("downloads"));
    if (auditWaiting > 0)
        return QStringLiteral("Site archive: %1 %2 waiting")
            .arg(auditWaiting)
            .arg(auditWaiting == 1 ? QStringLiteral("audit entry") : QStringLiteral("audit entries"));
    return QStringLiteral("Site archive: up to date");
}

QString SyncReport::statusText() const
{
    return siteStatusText(waiting, auditWaiting);
}

SyncReport sendOutbox(Archive &archive, Outbox &outbox, SiteArchive &site, const QString &workstation)
{
    SyncReport report;
    const QString key = site.url().key();
    Result<QList<qint64>> ids = outbox.waiting(key);
    Result<QList<qint64>> entryIds = ids ? outbox.waitingAudit(key) : ids;
    if (!entryIds) {
        report.failure = entryIds.failure();
        return report;
    }
    report.waiting = int(ids->size());
    report.auditWaiting = int(entryIds->size());
    for (qint64 id : *ids) {
        Result<ArchiveRecord> record = archive.record(id);
        Result<bool> stored = record ? site.forward(*record, workstation) : Result<bool>(record.failure());
        if (!stored) {
            report.failure = stored.failure();
            break;
        }
        if (Result<> confirmed = outbox.confirm(id, key); !confirmed) {
            report.failure = confirmed.failure();
            break;
        }
        ++(*stored ? report.sent : report.alreadyStored);
        --report.waiting;
    }
    // The audit trail after the downloads its entries name, oldest first:
    // a gap in a workstation's chain on the server is only ever its end.
    if (!report.failure && !entryIds->isEmpty()) {
        Result<QList<AuditEntry>> entries = AuditTrail::list(archive);
        if (!entries)
            report.failure = entries.failure();
        QHash<qint64, qsizetype> at;
        for (qsizetype k = 0; entries && k < entries->size(); ++k)
            at.insert(entries->at(k).id, k);
        for (qint64 id : *entryIds) {
            if (report.failure)
                break;
            Result<bool> stored = at.contains(id) ? site.forwardAudit(entries->at(at.value(id)), workstation)
                                                  : Result<bool>(Failure{ErrorCode::Damaged,
                                                                         QStringLiteral("Audit entry %1 is missing.").arg(id)});
            Result<> confirmed = stored ? outbox.confirmAudit(id, key) : Result<>(stored.failure());
            if (!confirmed) {
                report.failure = confirmed.failure();
                break;
            }
            ++(*stored ? report.auditSent : report.auditAlreadyStored);
            --report.auditWaiting;
        }
    }
    qCInfo(lcData) << "site archive" << key << "sent" << report.sent << "already stored" << report.alreadyStored
                   << "waiting" << report.waiting << "audit entries sent" << report.auditSent << "waiting"
                   << report.auditWaiting;
    return report;
}
