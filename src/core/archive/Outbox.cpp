#include "core/archive/Outbox.h"

#include "core/archive/Archive.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SqlStatements.h"
#include "core/base/Log.h"

#include <QDateTime>
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
    if (Result<QSqlQuery> q = sql.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS site_confirmed (site TEXT NOT NULL, "
                                                      "download_id BIGINT NOT NULL REFERENCES download(id), "
                                                      "confirmed_utc TEXT NOT NULL, PRIMARY KEY (site, download_id))"));
        !q)
        return q.failure();
    return outbox;
}

Result<QList<qint64>> Outbox::waiting(const QString &site)
{
    Result<QSqlQuery> q = SqlStatements(m_connection, m_path)
                              .exec(QStringLiteral("SELECT id FROM download WHERE id NOT IN "
                                                   "(SELECT download_id FROM site_confirmed WHERE site = ?) ORDER BY id"),
                                    {site});
    if (!q)
        return q.failure();
    QList<qint64> ids;
    while (q->next())
        ids.append(q->value(0).toLongLong());
    return ids;
}

Result<> Outbox::confirm(qint64 downloadId, const QString &site)
{
    Result<QSqlQuery> q = SqlStatements(m_connection, m_path)
                              .exec(QStringLiteral("INSERT OR IGNORE INTO site_confirmed VALUES (?, ?, ?)"),
                                    {site, downloadId, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)});
    if (!q)
        return q.failure();
    return {};
}

QString siteStatusText(int waiting)
{
    if (waiting == 0)
        return QStringLiteral("Site archive: up to date");
    return QStringLiteral("Site archive: %1 %2 waiting").arg(waiting).arg(waiting == 1 ? QStringLiteral("download")
                                                                                        : QStringLiteral("downloads"));
}

QString SyncReport::statusText() const
{
    return siteStatusText(waiting);
}

SyncReport sendOutbox(Archive &archive, Outbox &outbox, SiteArchive &site, const QString &workstation)
{
    SyncReport report;
    const QString key = site.url().key();
    Result<QList<qint64>> ids = outbox.waiting(key);
    if (!ids) {
        report.failure = ids.failure();
        return report;
    }
    report.waiting = int(ids->size());
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
    qCInfo(lcData) << "site archive" << key << "sent" << report.sent << "already stored" << report.alreadyStored
                   << "waiting" << report.waiting;
    return report;
}
