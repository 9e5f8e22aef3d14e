#include "core/archive/SiteForwarder.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Outbox.h"
#include "core/archive/SiteArchive.h"
#include "core/base/Log.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <memory>

// Lives on the forwarder's thread; every member is used there alone.
class SiteForwardWorker : public QObject
{
    Q_OBJECT

public:
    SiteForwardWorker(QString archivePath, QString url) : m_path(std::move(archivePath)), m_url(std::move(url))
    {
        m_retry.setSingleShot(true);
        connect(&m_retry, &QTimer::timeout, this, &SiteForwardWorker::send);
    }

    void send()
    {
        m_retry.stop();
        SyncReport report = pass();
        Q_EMIT passEnded(report.sent, report.waiting, report.auditWaiting,
                         report.failure ? report.failure->message : QString());
        if (report.failure) {
            m_site.reset(); // a broken connection is made anew next time
            m_retry.start(m_pauseMs);
            m_pauseMs = std::min(m_pauseMs * 2, MaxPauseMs);
        } else {
            m_pauseMs = FirstPauseMs;
        }
    }

Q_SIGNALS:
    void passEnded(int sent, int waiting, int auditWaiting, const QString &error);

private:
    static constexpr int FirstPauseMs = 1000;
    static constexpr int MaxPauseMs = 5 * 60 * 1000;

    SyncReport pass()
    {
        SyncReport report;
        if (!m_archive) {
            Result<std::unique_ptr<Archive>> archive = Archive::open(m_path);
            Result<std::unique_ptr<Outbox>> outbox = archive ? Outbox::open(m_path) : Result<std::unique_ptr<Outbox>>(archive.failure());
            if (!outbox) {
                report.failure = outbox.failure();
                return report;
            }
            m_archive = std::move(*archive);
            m_outbox = std::move(*outbox);
        }
        Result<SiteUrl> url = SiteUrl::parse(m_url);
        if (!url) {
            report.failure = url.failure();
            return report;
        }
        if (!m_site) {
            Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*url);
            Result<> schema = site ? (*site)->requireSchema() : Result<>(site.failure());
            if (!schema) {
                report.failure = schema.failure();
                report.waiting = int(m_outbox->waiting(url->key()).valueOr({}).size());
                report.auditWaiting = int(m_outbox->waitingAudit(url->key()).valueOr({}).size());
                return report;
            }
            m_site = std::move(*site);
        }
        return sendOutbox(*m_archive, *m_outbox, *m_site, Archive::workstationName());
    }

    QString m_path;
    QString m_url;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<Outbox> m_outbox;
    std::unique_ptr<SiteArchive> m_site;
    QTimer m_retry{this};
    int m_pauseMs = FirstPauseMs;
};

SiteForwarder::SiteForwarder(const QString &archivePath, const QString &url, QObject *parent)
    : QObject(parent), m_worker(new SiteForwardWorker(archivePath, url)), m_archivePath(archivePath)
{
    m_thread.setObjectName(QStringLiteral("site archive"));
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &SiteForwardWorker::passEnded, this,
            [this](int sent, int waiting, int auditWaiting, const QString &error) {
        if (!error.isEmpty())
            qCInfo(lcData) << "site archive: not reached:" << error;
        const QString text = siteStatusText(waiting, auditWaiting);
        if (text != m_status) {
            m_status = text;
            Q_EMIT statusChanged(text);
        }
        Q_EMIT passEnded(sent, waiting, error);
    });
    // A new entry of this archive's audit trail is sent as a new download
    // is: poke() only queues the pass on the forwarder's thread.
    connect(&AuditTrailEvents::instance(), &AuditTrailEvents::appended, this, [this](const QString &path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (path == m_archivePath
            || (!canonical.isEmpty() && canonical == QFileInfo(m_archivePath).canonicalFilePath()))
            poke();
    });
    m_thread.start();
    poke();
}

SiteForwarder::~SiteForwarder()
{
    // Its connections are closed on the thread that opened them.
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void SiteForwarder::poke()
{
    QMetaObject::invokeMethod(m_worker, &SiteForwardWorker::send, Qt::QueuedConnection);
}

#include "SiteForwarder.moc"
