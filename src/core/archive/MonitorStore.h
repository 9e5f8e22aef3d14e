#pragma once

#include "core/base/Result.h"
#include "core/watch/WatchRules.h"

#include <QString>
#include <QStringList>

#include <memory>

// The monitoring runs of `kv518-cli watch` in the archive (schema version 4):
// a run (port, start, interval, unit), its periods (the minimum, maximum and
// mean of each channel) and its events. Kept apart from the downloads: a run
// of the watch is no data set of the logger. Like the rest of the archive,
// rows are only added, each write in one transaction.
class MonitorStore
{
public:
    // The statements that bring an archive from schema version 3 to 4.
    static QStringList migration();

    // Opens the archive at path (creating and migrating it as Archive::open
    // does) for the monitoring tables.
    static Result<std::unique_ptr<MonitorStore>> open(const QString &path, int busyTimeoutMs = 2000);
    ~MonitorStore();
    MonitorStore(const MonitorStore &) = delete;
    MonitorStore &operator=(const MonitorStore &) = delete;

    struct RunInfo
    {
        qint64 id = 0;
        QString port;
        QString startUtc;
        int utcOffset = 0;
        qint64 intervalSeconds = 0;
        QString unit;
        QString host;
        qint64 periods = 0;
        qint64 events = 0;
    };

    // Starts a run; its id.
    Result<qint64> startRun(const QString &port, const QDateTime &startUtc, qint64 intervalSeconds,
                            const QString &unit);
    Result<> addPeriod(qint64 runId, const WatchPeriod &period);
    Result<> addEvent(qint64 runId, const WatchEvent &event);

    Result<QList<RunInfo>> runs();
    // Each period and event of a run as the JSON the watch prints, in order.
    Result<QList<QJsonObject>> periods(qint64 runId);
    Result<QList<QJsonObject>> events(qint64 runId);

private:
    MonitorStore(QString connection, QString path);
    QString m_connection;
    QString m_path;
};
