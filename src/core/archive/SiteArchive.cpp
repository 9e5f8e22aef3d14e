#include "core/archive/SiteArchive.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveSql.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/SqlStatements.h"
#include "core/base/Log.h"

#include <QDir>
#include <QHash>
#include <QTimeZone>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <atomic>

namespace {

using ArchiveSql::Dialect;

constexpr int BytesPerSample = 8;

// The rows of run_download for the download_run rows of table: each with
// its run, its run version and its download's workstation, user and time
// (milliseconds since 1970, as the listing reads it), in the listing's
// order, so that the table's rows lie as its index reads them.
QString listedRows(const QString &table)
{
    return QStringLiteral("SELECT l.download_id, l.set_index, r.id, r.start_time, r.interval_s, r.unit, v.id, v.samples, "
                          "v.last_sample, v.samples_sha256, d.workstation, d.os_user, "
                          "CAST(EXTRACT(EPOCH FROM d.when_utc) * 1000 AS BIGINT) FROM %1 l "
                          "JOIN run_version v ON v.id = l.run_version_id JOIN run r ON r.id = v.run_id "
                          "JOIN download d ON d.id = l.download_id ORDER BY r.start_time COLLATE \"C\", r.id, v.id")
        .arg(table);
}

// How many download_run rows run_download lists otherwise than the records
// make them, or not at all, or lists without them: a listing changed on
// the server, or records changed under it.
Result<qint64> listingMismatches(SqlStatements &sql)
{
    const QString listed = listedRows(QStringLiteral("download_run"));
    Result<std::optional<QVariant>> n = sql.value(
        QStringLiteral("SELECT COUNT(DISTINCT (download_id, set_index)) FROM ((TABLE run_download EXCEPT ALL (%1)) "
                       "UNION ALL ((%1) EXCEPT ALL TABLE run_download)) m").arg(listed));
    if (!n)
        return n.failure();
    return (*n)->toLongLong();
}

// The site schema, one list of statements per version. The tables are the
// workstation archive's, with the workstation a record came from, the
// samples of each version beside it (the server holds versions from many
// workstations, not one chain of chunks) and the keys that store a record
// sent twice, or by two workstations, once.
QList<QStringList> migrations()
{
    const Dialect pg = Dialect::PostgreSQL;
    const QString key = ArchiveSql::generatedKey(pg);
    const QString blob = ArchiveSql::blobType(pg);
    const QString instant = ArchiveSql::instantType(pg);
    QStringList tables{QStringLiteral("image"), QStringLiteral("download"), QStringLiteral("run"),
                       QStringLiteral("run_version"), QStringLiteral("download_run"), QStringLiteral("schema_version")};
    QStringList v1{
        QStringLiteral("CREATE TABLE image (id %1, sha256 TEXT NOT NULL UNIQUE, size BIGINT NOT NULL, "
                       "bytes %2 NOT NULL)").arg(key, blob),
        QStringLiteral("CREATE TABLE download (id %1, workstation TEXT NOT NULL, local_id BIGINT NOT NULL, "
                       "image_id BIGINT NOT NULL REFERENCES image(id), when_utc %2 NOT NULL, "
                       "utc_offset INTEGER NOT NULL, time_zone TEXT NOT NULL, host TEXT NOT NULL, "
                       "os_user TEXT NOT NULL, program_version TEXT NOT NULL, port TEXT NOT NULL, "
                       "packets INTEGER NOT NULL, naks INTEGER NOT NULL, attempts INTEGER NOT NULL, "
                       "source TEXT NOT NULL, source_path TEXT NOT NULL, previous_hash TEXT NOT NULL, "
                       "record_hash TEXT NOT NULL, received_utc %2 NOT NULL DEFAULT CURRENT_TIMESTAMP, "
                       "UNIQUE (workstation, local_id))").arg(key, instant),
        QStringLiteral("CREATE TABLE run (id %1, start_time TEXT NOT NULL, interval_s INTEGER NOT NULL, "
                       "unit TEXT NOT NULL, UNIQUE (start_time, interval_s, unit))").arg(key),
        QStringLiteral("CREATE TABLE run_version (id %1, run_id BIGINT NOT NULL REFERENCES run(id), "
                       "samples BIGINT NOT NULL, samples_sha256 TEXT NOT NULL, first_sample TEXT NOT NULL, "
                       "last_sample TEXT NOT NULL, humidity_min REAL, humidity_max REAL, temperature_min REAL, "
                       "temperature_max REAL, bytes %2 NOT NULL, UNIQUE (run_id, samples_sha256))").arg(key, blob),
        QStringLiteral("CREATE TABLE download_run (download_id BIGINT NOT NULL REFERENCES download(id), "
                       "set_index INTEGER NOT NULL, run_version_id BIGINT NOT NULL REFERENCES run_version(id), "
                       "PRIMARY KEY (download_id, set_index))"),
        QStringLiteral("CREATE INDEX download_run_version ON download_run (run_version_id)"),
        // Records are never changed: not by the writers (who lack the
        // privilege), and not by the owner's ordinary sessions either.
        QStringLiteral("CREATE FUNCTION kv518_refuse_change() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                       "RAISE EXCEPTION 'the site archive''s records are never changed (% on %)', TG_OP, TG_TABLE_NAME "
                       "USING ERRCODE = 'insufficient_privilege'; END $$"),
    };
    const auto unchanged = [](const QString &t) {
        return QStringList{QStringLiteral("CREATE TRIGGER %1_unchanged BEFORE UPDATE OR DELETE ON %1 FOR EACH ROW "
                                          "EXECUTE FUNCTION kv518_refuse_change()").arg(t),
                           QStringLiteral("CREATE TRIGGER %1_kept BEFORE TRUNCATE ON %1 FOR EACH STATEMENT "
                                          "EXECUTE FUNCTION kv518_refuse_change()").arg(t)};
    };
    for (const QString &t : tables)
        v1 << unchanged(t);
    // Version 2: each workstation's audit trail, its entries as the local
    // archive chains them, stored once by workstation and number.
    QStringList v2{
        QStringLiteral("CREATE TABLE audit_entry (id %1, workstation TEXT NOT NULL, local_id BIGINT NOT NULL, "
                       "when_utc %2 NOT NULL, utc_offset INTEGER NOT NULL, host TEXT NOT NULL, os_user TEXT NOT NULL, "
                       "full_name TEXT NOT NULL, kind TEXT NOT NULL, run_id BIGINT NOT NULL, "
                       "samples_sha256 TEXT NOT NULL, download_hash TEXT NOT NULL, old_value TEXT NOT NULL, "
                       "new_value TEXT NOT NULL, reason TEXT NOT NULL, previous_hash TEXT NOT NULL, "
                       "entry_hash TEXT NOT NULL, received_utc %2 NOT NULL DEFAULT CURRENT_TIMESTAMP, "
                       "UNIQUE (workstation, local_id))").arg(key, instant),
    };
    v2 << unchanged(QStringLiteral("audit_entry"));
    // Version 3: what the listing shows of each run version a download
    // carried, one row per download_run row, written by the schema itself
    // in the statement that stores the download_run row (and filled from the
    // rows already there), so that the listing is one plain read in the
    // order of its index. Writers may only read it; the function that writes
    // it runs as the schema's owner, on the schema's tables alone (a
    // session's temporary tables come last). No foreign keys: the trigger
    // alone makes the rows, from rows that are never removed.
    QStringList v3{
        QStringLiteral("CREATE TABLE run_download (download_id BIGINT NOT NULL, set_index INTEGER NOT NULL, "
                       "run_id BIGINT NOT NULL, start_time TEXT NOT NULL, interval_s INTEGER NOT NULL, unit TEXT NOT NULL, "
                       "run_version_id BIGINT NOT NULL, samples BIGINT NOT NULL, last_sample TEXT NOT NULL, "
                       "samples_sha256 TEXT NOT NULL, workstation TEXT NOT NULL, os_user TEXT NOT NULL, "
                       "when_utc_ms BIGINT NOT NULL, PRIMARY KEY (download_id, set_index))"),
        QStringLiteral("INSERT INTO run_download ") + listedRows(QStringLiteral("download_run")),
        QStringLiteral("SELECT set_config('search_path', quote_ident(current_schema()) || ', pg_temp', true)"),
        QStringLiteral("CREATE FUNCTION kv518_list_download_run() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
                       "SET search_path FROM CURRENT AS $$ BEGIN INSERT INTO run_download %1; RETURN NULL; END $$")
            .arg(listedRows(QStringLiteral("added"))),
        QStringLiteral("CREATE TRIGGER download_run_listed AFTER INSERT ON download_run REFERENCING NEW TABLE AS added "
                       "FOR EACH STATEMENT EXECUTE FUNCTION kv518_list_download_run()"),
    };
    v3 << QStringLiteral("CREATE INDEX run_download_listed ON run_download (start_time COLLATE \"C\", run_id, run_version_id)")
       << unchanged(QStringLiteral("run_download"));
    return {v1, v2, v3};
}

std::atomic<int> connectionCounter{0};

// A statement on the site's connection, failures in the server's words.
SqlStatements siteSql(const QString &connection, const SiteUrl &url, QHash<QString, QSqlQuery> *prepared = nullptr)
{
    return SqlStatements(connection, url.key(), SqlEngine::SiteServer, prepared);
}

// The id of the row a content-addressed insert stored or found.
Result<qint64> storeOnce(SqlStatements &sql, const QString &insert, const QVariantList &values, const QString &select,
                         const QVariantList &key)
{
    if (Result<QSqlQuery> q = sql.exec(insert + QStringLiteral(" ON CONFLICT DO NOTHING"), values); !q)
        return q.failure();
    Result<std::optional<QVariant>> id = sql.value(select, key);
    if (!id)
        return id.failure();
    if (!*id)
        return fail(ErrorCode::Transfer, QStringLiteral("The site archive did not store a record it was sent."));
    return (*id)->toLongLong();
}

// The text a download's time was hashed with.
const QString WhenText = QStringLiteral(
    "to_char(d.when_utc AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')");

} // namespace

Result<SiteUrl> SiteUrl::parse(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != u"postgresql" && scheme != u"postgres") || url.path().size() < 2
        || !url.password().isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("\"%1\" is not a site archive (postgresql://host:port/dbname?user=NAME, "
                                                     "no password).").arg(text));
    SiteUrl s;
    s.host = url.host();
    s.port = url.port(-1);
    s.database = url.path().mid(1);
    const QUrlQuery query(url);
    s.user = query.hasQueryItem(QStringLiteral("user")) ? query.queryItemValue(QStringLiteral("user")) : url.userName();
    if (query.hasQueryItem(QStringLiteral("password")))
        return fail(ErrorCode::Usage, QStringLiteral("The site archive's address must not hold a password; "
                                                     "use ~/.pgpass or PGPASSWORD."));
    return s;
}

QString SiteUrl::key() const
{
    return QStringLiteral("postgresql://%1%2/%3").arg(host, port > 0 ? QStringLiteral(":%1").arg(port) : QString(), database);
}

QString configuredSiteUrl(const QString &programFolder)
{
    const QSettings ini(QDir(programFolder).filePath(QStringLiteral("ini/archive.ini")), QSettings::IniFormat);
    return ini.value(QStringLiteral("site/url")).toString().trimmed();
}

SiteArchive::SiteArchive(SiteUrl url, QString connection)
    : m_url(std::move(url)), m_connection(std::move(connection)), m_prepared(std::make_unique<QHash<QString, QSqlQuery>>())
{
}

SiteArchive::~SiteArchive()
{
    m_prepared.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<SiteArchive>> SiteArchive::connect(const SiteUrl &url, const QString &password)
{
    const QString connection = QStringLiteral("kv518-site-%1").arg(connectionCounter++);
    std::unique_ptr<SiteArchive> site(new SiteArchive(url, connection));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    if (!db.isValid())
        return fail(ErrorCode::Refused, QStringLiteral("Cannot reach the site archive: the PostgreSQL driver of Qt "
                                                       "(libqt6sql6-psql) is missing."));
    db.setHostName(url.host);
    if (url.port > 0)
        db.setPort(url.port);
    db.setDatabaseName(url.database);
    db.setUserName(url.user);
    db.setPassword(password);
    // A server that does not answer fails the attempt in seconds, not minutes.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=kv518"));
    if (!db.open())
        return siteSql(connection, site->m_url).failure(db.lastError());
    return site;
}

Result<> SiteArchive::init()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    const QStringList present = sql.db().tables();
    int version = 0;
    if (present.contains(QStringLiteral("schema_version"))) {
        Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT MAX(version) FROM schema_version"));
        if (!v)
            return v.failure();
        version = *v ? (*v)->toInt() : 0;
    } else if (!present.isEmpty()) {
        return fail(ErrorCode::Refused, QStringLiteral("The database %1 holds other tables; the site archive needs "
                                                       "an empty one.").arg(m_url.key()));
    }
    if (version > SchemaVersion)
        return fail(ErrorCode::Refused, QStringLiteral("The site archive %1 has schema version %2, newer than this "
                                                       "program knows (%3).").arg(m_url.key()).arg(version).arg(SchemaVersion));
    const QList<QStringList> steps = migrations();
    while (version < SchemaVersion) {
        SqlWriteTransaction tx(sql);
        if (Result<> begun = tx.begin(); !begun)
            return begun;
        if (version == 0)
            if (Result<QSqlQuery> q = sql.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL, "
                                                              "applied_utc %1 NOT NULL)")
                                                   .arg(ArchiveSql::instantType(Dialect::PostgreSQL)));
                !q)
                return q.failure();
        for (const QString &statement : steps.at(version))
            if (Result<QSqlQuery> q = sql.exec(statement); !q)
                return q.failure();
        ++version;
        if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO schema_version VALUES (?, CURRENT_TIMESTAMP)"), {version});
            !q)
            return q.failure();
        if (Result<> committed = tx.commit(); !committed)
            return committed;
    }
    return {};
}

Result<> SiteArchive::requireSchema()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    if (!sql.db().tables().contains(QStringLiteral("schema_version")))
        return fail(ErrorCode::Refused, QStringLiteral("%1 holds no site archive (see kv518-cli archive init).").arg(m_url.key()));
    Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT MAX(version) FROM schema_version"));
    if (!v)
        return v.failure();
    const int version = *v ? (*v)->toInt() : 0;
    if (version != SchemaVersion)
        return fail(ErrorCode::Refused, QStringLiteral("The site archive %1 has schema version %2; this program writes "
                                                       "version %3.").arg(m_url.key()).arg(version).arg(SchemaVersion));
    return {};
}

Result<bool> SiteArchive::forward(const ArchiveRecord &r, const QString &workstation)
{
    SqlStatements sql = siteSql(m_connection, m_url, m_prepared.get());
    SqlWriteTransaction tx(sql);
    if (Result<> begun = tx.begin(); !begun)
        return begun.failure();
    // Already there: the same record, or another under its number.
    Result<std::optional<QVariant>> held = sql.value(
        QStringLiteral("SELECT record_hash FROM download WHERE workstation = ? AND local_id = ?"), {workstation, r.id});
    if (!held)
        return held.failure();
    if (*held) {
        if ((*held)->toString() != r.recordHash)
            return fail(ErrorCode::Refused,
                        QStringLiteral("The site archive holds a different download %1 from workstation %2: "
                                       "this archive is not the one that sent it.").arg(r.id).arg(workstation));
        return false;
    }
    Result<qint64> image = storeOnce(sql, QStringLiteral("INSERT INTO image (sha256, size, bytes) VALUES (?, ?, ?)"),
                                     {r.imageSha256, qint64(r.image.size()), r.image},
                                     QStringLiteral("SELECT id FROM image WHERE sha256 = ?"), {r.imageSha256});
    if (!image)
        return image.failure();
    QList<qint64> versions;
    for (const ArchiveRecordSet &s : r.sets) {
        Result<qint64> run = storeOnce(
            sql, QStringLiteral("INSERT INTO run (start_time, interval_s, unit) VALUES (?, ?, ?)"),
            {s.start, s.intervalSeconds, s.unit},
            QStringLiteral("SELECT id FROM run WHERE start_time = ? AND interval_s = ? AND unit = ?"),
            {s.start, s.intervalSeconds, s.unit});
        if (!run)
            return run.failure();
        Result<qint64> version = storeOnce(
            sql, QStringLiteral("INSERT INTO run_version (run_id, samples, samples_sha256, first_sample, last_sample, "
                                "humidity_min, humidity_max, temperature_min, temperature_max, bytes) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            QVariantList{*run, s.samples, s.samplesSha256, s.firstSample, s.lastSample} + s.ranges
                + QVariantList{s.bytes},
            QStringLiteral("SELECT id FROM run_version WHERE run_id = ? AND samples_sha256 = ?"), {*run, s.samplesSha256});
        if (!version)
            return version.failure();
        versions.append(*version);
    }
    Result<std::optional<QVariant>> download = sql.value(
        QStringLiteral("INSERT INTO download (workstation, local_id, image_id, when_utc, utc_offset, time_zone, host, "
                       "os_user, program_version, port, packets, naks, attempts, source, source_path, previous_hash, "
                       "record_hash) VALUES (?, ?, ?, CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                       "ON CONFLICT DO NOTHING RETURNING id"),
        {workstation, r.id, *image, r.whenUtc, r.utcOffsetSeconds, r.timeZone, r.host, r.osUser, r.programVersion,
         r.port, r.packets, r.naks, r.attempts, r.source, r.sourcePath, r.previousHash, r.recordHash});
    if (!download)
        return download.failure();
    if (!*download)
        return false; // the same record, sent at this moment by another process
    for (int k = 0; k < versions.size(); ++k)
        if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO download_run VALUES (?, ?, ?)"),
                                           {(*download)->toLongLong(), k, versions.at(k)});
            !q)
            return q.failure();
    if (Result<> committed = tx.commit(); !committed)
        return committed.failure();
    return true;
}

Result<bool> SiteArchive::forwardAudit(const AuditEntry &e, const QString &workstation)
{
    SqlStatements sql = siteSql(m_connection, m_url, m_prepared.get());
    Result<std::optional<QVariant>> held = sql.value(
        QStringLiteral("SELECT entry_hash FROM audit_entry WHERE workstation = ? AND local_id = ?"), {workstation, e.id});
    if (!held)
        return held.failure();
    if (*held) {
        if ((*held)->toString() != e.entryHash)
            return fail(ErrorCode::Refused,
                        QStringLiteral("The site archive holds a different audit entry %1 from workstation %2: "
                                       "this archive is not the one that sent it.").arg(e.id).arg(workstation));
        return false;
    }
    Result<std::optional<QVariant>> stored = sql.value(
        QStringLiteral("INSERT INTO audit_entry (workstation, local_id, when_utc, utc_offset, host, os_user, full_name, "
                       "kind, run_id, samples_sha256, download_hash, old_value, new_value, reason, previous_hash, "
                       "entry_hash) VALUES (?, ?, CAST(? AS TIMESTAMPTZ), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                       "ON CONFLICT DO NOTHING RETURNING id"),
        {workstation, e.id, e.whenUtc.toUTC().toString(Qt::ISODateWithMs), e.utcOffsetSeconds, e.host, e.osUser,
         e.fullName, e.kind, e.runId, e.samplesSha256, e.downloadHash, e.oldValue, e.newValue, e.reason,
         e.previousHash, e.entryHash});
    if (!stored)
        return stored.failure();
    return bool(*stored); // none: the same entry, sent at this moment by another process
}

Result<qint64> SiteArchive::auditEntryCount()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT COUNT(*) FROM audit_entry"));
    if (!v)
        return v.failure();
    return (*v)->toLongLong();
}

Result<QList<SiteRunInfo>> SiteArchive::runs()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    // One read of run_download in the order of its index, so that the rows
    // of a run come together, and those of each of its versions, and are
    // folded here as they come: the server neither joins, aggregates nor
    // sorts. The rows are taken one by one and folded while the server still
    // sends: in one piece they cost the client less but the listing no less
    // time, and every row would be held at once. A value is converted only
    // when the fold needs it.
    Result<QSqlQuery> q = sql.exec(QStringLiteral(
        "SELECT run_id, run_version_id, samples, start_time, interval_s, unit, last_sample, samples_sha256, "
        "workstation, os_user, when_utc_ms FROM run_download ORDER BY start_time COLLATE \"C\", run_id, run_version_id"));
    if (!q)
        return q.failure();
    QList<SiteRunInfo> list;
    // Of the run folded now:
    qint64 version = 0;
    qint64 latestVersion = 0;
    int versions = 0;
    qint64 firstMs = 0;
    const auto addName = [](QStringList &names, QString name) {
        if (!name.isEmpty() && !names.contains(name))
            names.append(std::move(name));
    };
    // The few names and units of a site are held once, not once a run.
    QHash<QString, QStringList> lists;
    QHash<QString, QString> units;
    const auto shared = [](auto &held, const QString &key, auto &value) {
        auto at = held.constFind(key);
        value = at != held.cend() ? *at : *held.insert(key, value);
    };
    const auto sortedNames = [&](QStringList &names) {
        if (names.size() > 1)
            names.sort();
        else if (names.size() == 1)
            shared(lists, names.constFirst(), names);
    };
    const auto finish = [&] {
        if (list.isEmpty())
            return;
        SiteRunInfo &i = list.last();
        i.versions = versions;
        sortedNames(i.workstations);
        sortedNames(i.users);
        i.firstDownloadUtc = QDateTime::fromMSecsSinceEpoch(firstMs, Qt::UTC);
    };
    while (q->next()) {
        const qint64 run = q->value(0).toLongLong();
        const bool added = list.isEmpty() || list.constLast().id != run;
        if (added) {
            finish();
            SiteRunInfo &i = list.emplace_back();
            i.id = run;
            i.start = q->value(3).toString();
            i.intervalSeconds = q->value(4).toInt();
            i.unit = q->value(5).toString();
            shared(units, i.unit, i.unit);
            i.samples = -1;
            versions = 0;
        }
        SiteRunInfo &i = list.last();
        // The latest version: the most samples, of those the last stored.
        if (const qint64 v = q->value(1).toLongLong(); added || v != version) {
            version = v;
            ++versions;
            const qint64 samples = q->value(2).toLongLong();
            if (samples > i.samples || (samples == i.samples && version > latestVersion)) {
                latestVersion = version;
                i.samples = samples;
                i.lastSample = q->value(6).toString();
                i.samplesSha256 = q->value(7).toString();
            }
        }
        addName(i.workstations, q->value(8).toString());
        addName(i.users, q->value(9).toString());
        const qint64 ms = q->value(10).toLongLong();
        if (added || ms < firstMs)
            firstMs = ms;
    }
    // A server or network that fails part way fails the listing.
    if (q->lastError().isValid())
        return sql.failure(q->lastError());
    finish();
    return list;
}

Result<SiteRunCopy> SiteArchive::runCopy(qint64 runId, const QString &samplesSha256)
{
    SqlStatements sql = siteSql(m_connection, m_url);
    // The latest version is the one the listing shows: the most samples, of
    // those the last stored.
    const QString version = samplesSha256.isEmpty()
                                ? QStringLiteral("v.id = (SELECT id FROM run_version WHERE run_id = ? "
                                                 "ORDER BY samples DESC, id DESC LIMIT 1)")
                                : QStringLiteral("v.run_id = ? AND v.samples_sha256 = ?");
    QVariantList key{runId};
    if (!samplesSha256.isEmpty())
        key << samplesSha256;
    Result<QSqlQuery> q = sql.exec(
        QStringLiteral("SELECT v.samples, v.samples_sha256, v.bytes, l.set_index, i.sha256, i.bytes, d.workstation "
                       "FROM run_version v JOIN download_run l ON l.run_version_id = v.id "
                       "JOIN download d ON d.id = l.download_id JOIN image i ON i.id = d.image_id "
                       "WHERE %1 ORDER BY d.id LIMIT 1").arg(version),
        key);
    if (!q)
        return q.failure();
    if (!q->next())
        return fail(ErrorCode::NotFound, samplesSha256.isEmpty()
                                             ? QStringLiteral("The site archive holds no run %1.").arg(runId)
                                             : QStringLiteral("The site archive holds no version of run %1 with "
                                                              "these samples any more.").arg(runId));
    const qint64 samples = q->value(0).toLongLong();
    const QString sha = q->value(1).toString();
    const QByteArray bytes = q->value(2).toByteArray();
    const QByteArray image = q->value(5).toByteArray();
    const Failure mismatch{ErrorCode::Damaged,
                           QStringLiteral("The site archive's copy of run %1 does not match its fingerprint (the "
                                          "SHA-256 of its samples); it is not opened.")
                               .arg(runId)};
    if ((!samplesSha256.isEmpty() && sha != samplesSha256) || bytes.size() != samples * BytesPerSample
        || Archive::sha256(bytes) != sha || Archive::sha256(image) != q->value(4).toString()) {
        qCWarning(lcData).noquote() << "site run" << runId << "not opened:" << mismatch.message;
        return mismatch;
    }
    std::optional<TDataSetStore> store = Archive::oneSetStore(image, q->value(3).toInt(), samples, sha);
    if (!store) {
        qCWarning(lcData).noquote() << "site run" << runId << "not opened:" << mismatch.message;
        return mismatch;
    }
    return SiteRunCopy{std::move(*store), q->value(6).toString()};
}

Result<qint64> SiteArchive::downloadCount()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT COUNT(*) FROM download"));
    if (!v)
        return v.failure();
    return (*v)->toLongLong();
}

Result<int> SiteArchive::workstationCount()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT COUNT(DISTINCT workstation) FROM download"));
    if (!v)
        return v.failure();
    return (*v)->toInt();
}

Result<QStringList> SiteArchive::verify()
{
    SqlStatements sql = siteSql(m_connection, m_url);
    QStringList problems;
    Result<QSqlQuery> images = sql.exec(QStringLiteral("SELECT id, sha256, size, bytes FROM image ORDER BY id"));
    if (!images)
        return images.failure();
    while (images->next()) {
        const QByteArray bytes = images->value(3).toByteArray();
        if (Archive::sha256(bytes) != images->value(1).toString() || bytes.size() != images->value(2).toLongLong())
            problems << QStringLiteral("Image %1: its bytes do not match its SHA-256 and size.").arg(images->value(0).toLongLong());
    }
    Result<QSqlQuery> versions =
        sql.exec(QStringLiteral("SELECT id, run_id, samples, samples_sha256, bytes FROM run_version ORDER BY id"));
    if (!versions)
        return versions.failure();
    while (versions->next()) {
        const QByteArray bytes = versions->value(4).toByteArray();
        if (bytes.size() != versions->value(2).toLongLong() * BytesPerSample
            || Archive::sha256(bytes) != versions->value(3).toString())
            problems << QStringLiteral("Run %1, version %2: its samples do not match their SHA-256.")
                            .arg(versions->value(1).toLongLong())
                            .arg(versions->value(0).toLongLong());
    }
    Result<QSqlQuery> downloads = sql.exec(QStringLiteral(
        "SELECT d.id, d.workstation, d.local_id, i.sha256, i.size, %1, d.utc_offset, d.time_zone, d.host, d.os_user, "
        "d.program_version, d.port, d.packets, d.naks, d.attempts, d.source, d.source_path, d.previous_hash, "
        "d.record_hash, (SELECT string_agg(v.samples_sha256, ',' ORDER BY l.set_index) FROM download_run l "
        "JOIN run_version v ON v.id = l.run_version_id WHERE l.download_id = d.id) "
        "FROM download d LEFT JOIN image i ON i.id = d.image_id ORDER BY d.workstation, d.local_id").arg(WhenText));
    if (!downloads)
        return downloads.failure();
    QString workstation;
    QString previous;
    qint64 expected = 1;
    while (downloads->next()) {
        const auto v = [&](int c) { return downloads->value(c); };
        if (v(1).toString() != workstation || workstation.isNull()) {
            workstation = v(1).toString();
            previous = Archive::genesisHash();
            expected = 1;
        }
        const qint64 local = v(2).toLongLong();
        const QString what = QStringLiteral("Workstation %1, download %2").arg(workstation).arg(local);
        if (local != expected)
            problems << QStringLiteral("%1: the download before it (%2) is missing.").arg(what).arg(expected);
        if (v(17).toString() != previous)
            problems << QStringLiteral("%1: it does not follow the download before it in the chain.").arg(what);
        const QString hash = Archive::recordHash(
            v(17).toString(), local, v(3).toString(), v(4).toLongLong(), v(5).toString(), v(6).toInt(), v(7).toString(),
            v(8).toString(), v(9).toString(), v(10).toString(), v(11).toString(), v(12).toInt(), v(13).toInt(),
            v(14).toInt(), v(15).toString(), v(16).toString(), v(19).toString().split(u',', Qt::SkipEmptyParts));
        if (hash != v(18).toString())
            problems << QStringLiteral("%1: its record does not match its hash.").arg(what);
        previous = v(18).toString();
        expected = local + 1;
    }

    Result<QSqlQuery> entries = sql.exec(QStringLiteral(
        "SELECT workstation, local_id, %1, utc_offset, host, os_user, full_name, kind, run_id, samples_sha256, "
        "download_hash, old_value, new_value, reason, previous_hash, entry_hash FROM audit_entry d "
        "ORDER BY workstation, local_id").arg(WhenText));
    if (!entries)
        return entries.failure();
    workstation = QString();
    while (entries->next()) {
        const auto v = [&](int c) { return entries->value(c); };
        if (v(0).toString() != workstation || workstation.isNull()) {
            workstation = v(0).toString();
            previous = AuditTrail::genesisHash();
            expected = 1;
        }
        AuditEntry e;
        e.id = v(1).toLongLong();
        e.whenUtc = QDateTime::fromString(v(2).toString(), Qt::ISODateWithMs);
        e.utcOffsetSeconds = v(3).toInt();
        e.host = v(4).toString();
        e.osUser = v(5).toString();
        e.fullName = v(6).toString();
        e.kind = v(7).toString();
        e.runId = v(8).toLongLong();
        e.samplesSha256 = v(9).toString();
        e.downloadHash = v(10).toString();
        e.oldValue = v(11).toString();
        e.newValue = v(12).toString();
        e.reason = v(13).toString();
        e.previousHash = v(14).toString();
        e.entryHash = v(15).toString();
        const QString what = QStringLiteral("Workstation %1, audit entry %2").arg(workstation).arg(e.id);
        if (e.id != expected)
            problems << QStringLiteral("%1: the entry before it (%2) is missing.").arg(what).arg(expected);
        if (e.previousHash != previous)
            problems << QStringLiteral("%1: it does not follow the entry before it in the chain.").arg(what);
        if (AuditTrail::entryHash(e.previousHash, e) != e.entryHash)
            problems << QStringLiteral("%1: it does not match its hash.").arg(what);
        previous = e.entryHash;
        expected = e.id + 1;
    }
    Result<qint64> unlisted = listingMismatches(sql);
    if (!unlisted)
        return unlisted.failure();
    if (*unlisted > 0)
        problems << QStringLiteral("The listing of runs does not match the records in %1 row(s).").arg(*unlisted);
    return problems;
}
