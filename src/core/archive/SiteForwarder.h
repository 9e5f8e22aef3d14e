#pragma once

#include <QObject>
#include <QString>
#include <QThread>

class SiteForwardWorker;

// Sends a workstation's outbox to the site archive in the background: a
// thread of its own with its own connections to the archive file and the
// server, so no network call ever waits on the caller's thread. Sends at
// start, whenever poked (a download was archived), when this process appends
// an audit entry to the archive, and after a failure again
// with a growing pause (1 s doubling to 5 min), until the outbox is empty.
class SiteForwarder : public QObject
{
    Q_OBJECT

public:
    SiteForwarder(const QString &archivePath, const QString &url, QObject *parent = nullptr);
    // Waits for a send under way (a connection attempt gives up in 5 s).
    ~SiteForwarder() override;

    // Something new is in the archive: send now.
    void poke();
    // "Site archive: 3 downloads waiting"
    QString status() const { return m_status; }

Q_SIGNALS:
    void statusChanged(const QString &text);
    // One pass ended: what it sent and whether the server took everything.
    void passEnded(int sent, int waiting, const QString &error);

private:
    QThread m_thread;
    SiteForwardWorker *m_worker = nullptr;
    QString m_archivePath;
    QString m_status;
};
