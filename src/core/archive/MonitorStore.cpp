#include "core/archive/MonitorStore.h"

#include "core/archive/Archive.h"
#include "core/archive/SqlStatements.h"
#include "core/base/Log.h"

#include <QAtomicInteger>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>
#include <QSysInfo>
#include <QVariant>

namespace {

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

QVariant optional(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

QJsonValue json(const QVariant &v)
{
    return v.isNull() ? QJsonValue() : QJsonValue(v.toDouble());
}

// Runs body in one write transaction, told the id of table's next row; that id.
Result<qint64> writeRow(SqlStatements &s, const QString &table, const std::function<Result<>(qint64 id)> &body)
{
    SqlWriteTransaction tx(s);
    if (Result<> begun = tx.begin(); !begun)
        return begun.failure();
    Result<qint64> id = s.nextId(table);
    if (!id)
        return id;
    if (Result<> done = body(*id); !done)
        return done.failure();
    if (Result<> committed = tx.commit(); !committed)
        return committed.failure();
    return id;
}

QAtomicInteger<quint64> connectionCounter;

} // namespace

QStringList MonitorStore::migration()
{
    // Portable SQL as the rest of the schema: times are ISO 8601 UTC text
    // with the PC's UTC offset then in seconds beside them.
    return {
        QStringLiteral("CREATE TABLE monitor_run (id BIGINT PRIMARY KEY, port TEXT NOT NULL, "
                       "start_utc TEXT NOT NULL, utc_offset INTEGER NOT NULL, interval_s BIGINT NOT NULL, "
                       "unit TEXT NOT NULL, host TEXT NOT NULL, program_version TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE monitor_period (id BIGINT PRIMARY KEY, "
                       "run_id BIGINT NOT NULL REFERENCES monitor_run(id), start_utc TEXT NOT NULL, "
                       "utc_offset INTEGER NOT NULL, seconds BIGINT NOT NULL, readings BIGINT NOT NULL, "
                       "unit TEXT NOT NULL, "
                       "humidity_min DOUBLE PRECISION, humidity_max DOUBLE PRECISION, humidity_mean DOUBLE PRECISION, "
                       "temperature_min DOUBLE PRECISION, temperature_max DOUBLE PRECISION, "
                       "temperature_mean DOUBLE PRECISION)"),
        QStringLiteral("CREATE INDEX monitor_period_run ON monitor_period (run_id, start_utc)"),
        QStringLiteral("CREATE TABLE monitor_event (id BIGINT PRIMARY KEY, "
                       "run_id BIGINT NOT NULL REFERENCES monitor_run(id), when_utc TEXT NOT NULL, "
                       "utc_offset INTEGER NOT NULL, kind TEXT NOT NULL, channel TEXT NOT NULL, "
                       "value DOUBLE PRECISION, limit_value DOUBLE PRECISION, unit TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX monitor_event_run ON monitor_event (run_id, id)"),
    };
}

MonitorStore::MonitorStore(QString connection, QString path)
    : m_connection(std::move(connection))
    , m_path(std::move(path))
{
}

MonitorStore::~MonitorStore()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<MonitorStore>> MonitorStore::open(const QString &path, int busyTimeoutMs)
{
    // The archive creates the file and brings its schema up to date.
    if (Result<std::unique_ptr<Archive>> archive = Archive::open(path, busyTimeoutMs); !archive)
        return archive.failure();
    const QString connection = QStringLiteral("kv518-monitor-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.open()) {
            const QString reason = db.lastError().text();
            db = {};
            QSqlDatabase::removeDatabase(connection);
            return fail(ErrorCode::Unreadable, QStringLiteral("Cannot open the archive %1: %2.").arg(quoted(path), reason));
        }
    }
    return std::unique_ptr<MonitorStore>(new MonitorStore(connection, path));
}

Result<qint64> MonitorStore::startRun(const QString &port, const QDateTime &startUtc, qint64 intervalSeconds,
                                      const QString &unit)
{
    SqlStatements s(m_connection, m_path);
    return writeRow(s, QStringLiteral("monitor_run"), [&](qint64 id) -> Result<> {
        Result<QSqlQuery> q = s.exec(QStringLiteral("INSERT INTO monitor_run VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                                     {id, port, utcText(startUtc), localOffsetSeconds(startUtc), intervalSeconds, unit,
                                      QSysInfo::machineHostName(), QStringLiteral(KV518_VERSION)});
        return q ? Result<>() : Result<>(q.failure());
    });
}

Result<> MonitorStore::addPeriod(qint64 runId, const WatchPeriod &p)
{
    SqlStatements s(m_connection, m_path);
    Result<qint64> written = writeRow(s, QStringLiteral("monitor_period"), [&](qint64 id) -> Result<> {
        const ChannelSummary &h = p.channels[0];
        const ChannelSummary &t = p.channels[1];
        auto extreme = [](const ChannelSummary &c, double v) { return c.count ? QVariant(v) : optional(std::nullopt); };
        Result<QSqlQuery> q = s.exec(
            QStringLiteral("INSERT INTO monitor_period VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {id, runId, utcText(p.startUtc), localOffsetSeconds(p.startUtc), p.seconds, p.readings, p.unit,
             extreme(h, h.min), extreme(h, h.max), optional(h.mean()), extreme(t, t.min), extreme(t, t.max),
             optional(t.mean())});
        return q ? Result<>() : Result<>(q.failure());
    });
    return written ? Result<>() : Result<>(written.failure());
}

Result<> MonitorStore::addEvent(qint64 runId, const WatchEvent &e)
{
    SqlStatements s(m_connection, m_path);
    Result<qint64> written = writeRow(s, QStringLiteral("monitor_event"), [&](qint64 id) -> Result<> {
        Result<QSqlQuery> q = s.exec(QStringLiteral("INSERT INTO monitor_event VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                                     {id, runId, utcText(e.utc), localOffsetSeconds(e.utc), e.kindName(),
                                      e.channelName(), optional(e.value), optional(e.limit),
                                      e.channel == 0 ? QStringLiteral("%") : e.unit});
        return q ? Result<>() : Result<>(q.failure());
    });
    return written ? Result<>() : Result<>(written.failure());
}

Result<QList<MonitorStore::RunInfo>> MonitorStore::runs()
{
    SqlStatements s(m_connection, m_path);
    Result<QSqlQuery> q = s.exec(QStringLiteral(
        "SELECT r.id, r.port, r.start_utc, r.utc_offset, r.interval_s, r.unit, r.host, "
        "(SELECT COUNT(*) FROM monitor_period p WHERE p.run_id = r.id), "
        "(SELECT COUNT(*) FROM monitor_event e WHERE e.run_id = r.id) FROM monitor_run r ORDER BY r.id"));
    if (!q)
        return q.failure();
    QList<RunInfo> out;
    while (q->next())
        out << RunInfo{q->value(0).toLongLong(), q->value(1).toString(), q->value(2).toString(), q->value(3).toInt(),
                       q->value(4).toLongLong(), q->value(5).toString(), q->value(6).toString(),
                       q->value(7).toLongLong(), q->value(8).toLongLong()};
    return out;
}

Result<QList<QJsonObject>> MonitorStore::periods(qint64 runId)
{
    SqlStatements s(m_connection, m_path);
    Result<QSqlQuery> q = s.exec(QStringLiteral("SELECT start_utc, utc_offset, seconds, readings, unit, humidity_min, "
                                                "humidity_max, humidity_mean, temperature_min, temperature_max, "
                                                "temperature_mean FROM monitor_period WHERE run_id = ? ORDER BY id"),
                                 {runId});
    if (!q)
        return q.failure();
    QList<QJsonObject> out;
    while (q->next()) {
        auto channel = [&](int first) {
            return QJsonObject{{QStringLiteral("min"), json(q->value(first))},
                               {QStringLiteral("max"), json(q->value(first + 1))},
                               {QStringLiteral("mean"), json(q->value(first + 2))}};
        };
        out << QJsonObject{{QStringLiteral("kind"), QStringLiteral("period")},
                           {QStringLiteral("time"), q->value(0).toString()},
                           {QStringLiteral("utc_offset_s"), q->value(1).toInt()},
                           {QStringLiteral("seconds"), q->value(2).toLongLong()},
                           {QStringLiteral("readings"), q->value(3).toLongLong()},
                           {QStringLiteral("unit"), q->value(4).toString()},
                           {QStringLiteral("humidity"), channel(5)},
                           {QStringLiteral("temperature"), channel(8)}};
    }
    return out;
}

Result<QList<QJsonObject>> MonitorStore::events(qint64 runId)
{
    SqlStatements s(m_connection, m_path);
    Result<QSqlQuery> q = s.exec(QStringLiteral("SELECT when_utc, utc_offset, kind, channel, value, limit_value, unit "
                                                "FROM monitor_event WHERE run_id = ? ORDER BY id"),
                                 {runId});
    if (!q)
        return q.failure();
    QList<QJsonObject> out;
    while (q->next()) {
        const QString channel = q->value(3).toString();
        out << QJsonObject{{QStringLiteral("kind"), q->value(2).toString()},
                           {QStringLiteral("time"), q->value(0).toString()},
                           {QStringLiteral("utc_offset_s"), q->value(1).toInt()},
                           {QStringLiteral("channel"), channel.isEmpty() ? QJsonValue() : QJsonValue(channel)},
                           {QStringLiteral("value"), json(q->value(4))},
                           {QStringLiteral("limit"), json(q->value(5))},
                           {QStringLiteral("unit"), q->value(6).toString()}};
    }
    return out;
}
