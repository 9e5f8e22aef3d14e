#include "core/archive/Archive.h"

#include "core/archive/ArchiveSql.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/DaylightSaving.h"
#include "core/archive/MonitorStore.h"
#include "core/archive/SqlStatements.h"

#include "core/base/Log.h"
#include "core/data/DataSetDirectory.h"
#include "core/data/DateTimeText.h"
#include "core/data/LoggerImage.h"
#include "core/data/Statistics.h"
#include "core/data/TDataSetStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimeZone>
#include <QVariant>
#include <QtEndian>

#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <cstring>
#include <optional>

#include <openssl/evp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// The one type of the local schema that differs between engines.
const QString Blob = ArchiveSql::blobType(ArchiveSql::Dialect::SQLite);

// The schema, one list of statements per version; migrations[v] brings an
// archive from version v to v + 1. Ids are assigned by the program inside the
// write transaction, so no engine-specific identity column is needed.
QList<QStringList> migrations()
{
    return {
        {
            QStringLiteral("CREATE TABLE image (id BIGINT PRIMARY KEY, sha256 TEXT NOT NULL UNIQUE, "
                           "size BIGINT NOT NULL, bytes %1 NOT NULL)").arg(Blob),
            QStringLiteral("CREATE TABLE download (id BIGINT PRIMARY KEY, "
                           "image_id BIGINT NOT NULL REFERENCES image(id), when_utc TEXT NOT NULL, "
                           "utc_offset INTEGER NOT NULL, time_zone TEXT NOT NULL, host TEXT NOT NULL, "
                           "os_user TEXT NOT NULL, program_version TEXT NOT NULL, port TEXT NOT NULL, "
                           "packets INTEGER NOT NULL, naks INTEGER NOT NULL, attempts INTEGER NOT NULL, "
                           "source TEXT NOT NULL, source_path TEXT NOT NULL, "
                           "previous_hash TEXT NOT NULL, record_hash TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE run (id BIGINT PRIMARY KEY, start_time TEXT NOT NULL, "
                           "interval_s INTEGER NOT NULL, unit TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX run_key ON run (start_time, interval_s, unit)"),
            QStringLiteral("CREATE TABLE run_chunk (run_id BIGINT NOT NULL REFERENCES run(id), "
                           "first_sample BIGINT NOT NULL, samples %1 NOT NULL, "
                           "PRIMARY KEY (run_id, first_sample))").arg(Blob),
            QStringLiteral("CREATE TABLE run_version (id BIGINT PRIMARY KEY, "
                           "run_id BIGINT NOT NULL REFERENCES run(id), version INTEGER NOT NULL, "
                           "samples BIGINT NOT NULL, samples_sha256 TEXT NOT NULL, "
                           "first_sample TEXT NOT NULL, last_sample TEXT NOT NULL, "
                           "UNIQUE (run_id, version))"),
            QStringLiteral("CREATE TABLE download_run (download_id BIGINT NOT NULL REFERENCES download(id), "
                           "set_index INTEGER NOT NULL, "
                           "run_version_id BIGINT NOT NULL REFERENCES run_version(id), "
                           "PRIMARY KEY (download_id, set_index))"),
        },
        {
            // The extremes of each version, so a listing never reads samples;
            // NULL where no reading counts. Existing rows are filled from
            // their samples in the same transaction (Archive::fillRanges).
            QStringLiteral("ALTER TABLE run_version ADD COLUMN humidity_min REAL"),
            QStringLiteral("ALTER TABLE run_version ADD COLUMN humidity_max REAL"),
            QStringLiteral("ALTER TABLE run_version ADD COLUMN temperature_min REAL"),
            QStringLiteral("ALTER TABLE run_version ADD COLUMN temperature_max REAL"),
            QStringLiteral("CREATE INDEX download_run_version ON download_run (run_version_id)"),
        },
        // The audit trail, reviews and signatures (core/archive/AuditTrail).
        AuditTrail::migration(),
        // Monitoring runs of kv518-cli watch (core/archive/MonitorStore).
        MonitorStore::migration(),
    };
}

constexpr int BytesPerSample = 8; // humidity and temperature, 32-bit floats

// SHA-256 through OpenSSL, which uses the processor's SHA instructions:
// several times the speed of QCryptographicHash's portable code, and the
// hashes are most of the time an archive write or a verify takes.
QString sha256Hex(QByteArrayView bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), digest, &size, EVP_sha256(), nullptr) != 1)
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex());
}

QString quoted(const QString &path)
{
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

QString sourceName(ArchiveSource s)
{
    return s == ArchiveSource::Download ? QStringLiteral("download") : QStringLiteral("import");
}

// The extremes of each channel's readings, markers left out.
struct SampleRanges
{
    std::optional<float> min[2];
    std::optional<float> max[2];

    QVariantList values() const
    {
        QVariantList v;
        for (int c = 0; c < 2; ++c)
            v << (min[c] ? QVariant(double(*min[c])) : QVariant()) << (max[c] ? QVariant(double(*max[c])) : QVariant());
        return v;
    }
};

// The ranges of samples stored as the archive stores them (little-endian
// floats, humidity then temperature).
SampleRanges rangesOf(QByteArrayView bytes)
{
    SampleRanges r;
    const qsizetype values = bytes.size() / 4;
    for (qsizetype i = 0; i < values; ++i) {
        const quint32 word = qFromLittleEndian<quint32>(bytes.constData() + 4 * i);
        float v;
        std::memcpy(&v, &word, sizeof v);
        if (!Statistics::isReading(v))
            continue;
        const int c = int(i % 2);
        if (!r.min[c] || v < *r.min[c])
            r.min[c] = v;
        if (!r.max[c] || v > *r.max[c])
            r.max[c] = v;
    }
    return r;
}

// One data set of a download, in the form the archive stores.
struct SetSamples
{
    QString start;
    int interval = 0;
    QString unit;
    qint64 count = 0;
    QByteArray bytes;
    QString sha256;
    QString first;
    QString last;
    SampleRanges ranges;
};

// The logger's naive local time as text. Built from its date and time, not
// through a local QDateTime: a start in the hour a daylight-saving change
// skips has no local instant, and Qt gives such a time no text at all.
QString naiveIso(double days)
{
    return FrameworkTime::isoText(days);
}

// The data sets of an image whose directory has been read, decoded
// straight from the image's bytes (the readings as the store decodes them;
// no sample times are needed, only the first and the last).
QList<SetSamples> setsOf(const DataSetDirectory &directory, const QByteArray &image)
{
    const std::array<float, 65536> &table = LoggerImage::readingTable();
    const auto *raw = reinterpret_cast<const uchar *>(image.constData());
    QList<SetSamples> sets;
    for (int k = 0; k < directory.setCount(); ++k) {
        SetSamples s;
        const double start = directory.startTimes().at(k);
        const double interval = directory.intervals().at(k);
        s.start = naiveIso(start);
        s.interval = directory.intervals().at(k);
        s.unit = directory.isFahrenheit(k) ? QStringLiteral("F") : QStringLiteral("C");
        s.count = directory.sampleCounts().at(k);
        s.bytes.resize(s.count * BytesPerSample);
        const uchar *in = raw + directory.startAddresses().at(k);
        char *out = s.bytes.data();
        for (qint64 i = 0; i < 2 * s.count; ++i) {
            const float v = table[qFromLittleEndian<quint16>(in + 2 * i)];
            quint32 word;
            std::memcpy(&word, &v, sizeof word);
            qToLittleEndian(word, out + 4 * i);
        }
        s.sha256 = sha256Hex(s.bytes);
        s.ranges = rangesOf(s.bytes);
        if (s.count > 0) {
            // As TDataSetStore stamps them: start + j * interval / 86400.
            s.first = naiveIso(start);
            s.last = naiveIso(start + double(s.count - 1) * interval / FrameworkTime::SecondsPerDay);
        }
        sets.append(std::move(s));
    }
    return sets;
}

QList<SetSamples> setsOf(const TDataSetStore &store)
{
    return setsOf(store.directory(), store.lastImage());
}

// What a data set is to the archive, and where it goes.
struct Placement
{
    RunOutcome outcome = RunOutcome::New;
    qint64 runId = 0;
    qint64 versionId = 0;      // an existing version that holds exactly these samples
    qint64 archivedSamples = 0; // a grown run: the samples archived so far
};

} // namespace

QString daylightSavingNote(const ArchiveRunInfo &run, const QTimeZone &zone)
{
    const QDate change = DaylightSaving::firstChangeWithin(run.start, run.lastSample.isEmpty() ? run.start : run.lastSample,
                                                           zone);
    if (!change.isValid())
        return QString();
    return QStringLiteral("The logger's clock does not follow daylight saving time: this run spans a change on %1.")
        .arg(change.toString(Qt::ISODate));
}

QString notArchivedText(const QList<RunOutcome> &outcomes)
{
    const qsizetype missing = outcomes.size() - outcomes.count(RunOutcome::AlreadyArchived);
    if (missing == 0)
        return QString();
    return QStringLiteral("%1 of %2 %3 on the logger %4 not archived")
        .arg(missing)
        .arg(outcomes.size())
        .arg(outcomes.size() == 1 ? QStringLiteral("data set") : QStringLiteral("data sets"))
        .arg(missing == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

QString ArchiveOutcome::summary() const
{
    const int n = int(runs.size());
    return QStringLiteral("Archived: %1 %2 (%3 new, %4 grown, %5 already archived)")
        .arg(n)
        .arg(n == 1 ? QStringLiteral("data set") : QStringLiteral("data sets"))
        .arg(count(RunOutcome::New))
        .arg(count(RunOutcome::Grown))
        .arg(count(RunOutcome::AlreadyArchived));
}

ArchiveDownload ArchiveDownload::here(const QByteArray &image, ArchiveSource source)
{
    ArchiveDownload d;
    d.image = image;
    d.source = source;
    const QDateTime now = QDateTime::currentDateTime();
    d.whenUtc = now.toUTC();
    d.utcOffsetSeconds = now.offsetFromUtc();
    d.timeZone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (d.timeZone.isEmpty())
        d.timeZone = now.timeZoneAbbreviation();
    d.host = Archive::workstationName();
    if (const passwd *pw = ::getpwuid(::geteuid()))
        d.osUser = QString::fromLocal8Bit(pw->pw_name);
    else
        d.osUser = qEnvironmentVariable("USER");
    d.programVersion = QStringLiteral(KV518_VERSION);
    return d;
}

QString Archive::workstationName()
{
    const QString given = qEnvironmentVariable("KV518_WORKSTATION");
    return given.isEmpty() ? QSysInfo::machineHostName() : given;
}

QString Archive::sha256(QByteArrayView bytes)
{
    return sha256Hex(bytes);
}

QString Archive::defaultPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(fileName());
}

QString Archive::recordHash(const QString &previousHash, qint64 id, const QString &imageSha256, qint64 imageSize,
                            const QString &whenUtc, int utcOffsetSeconds, const QString &timeZone,
                            const QString &host, const QString &osUser, const QString &programVersion,
                            const QString &port, int packets, int naks, int attempts, const QString &source,
                            const QString &sourcePath, const QStringList &runVersionHashes)
{
    const QJsonArray fields{QStringLiteral("kv518-download-1"), previousHash, double(id), imageSha256,
                            double(imageSize), whenUtc, utcOffsetSeconds, timeZone, host, osUser,
                            programVersion, port, packets, naks, attempts, source, sourcePath,
                            QJsonArray::fromStringList(runVersionHashes)};
    return sha256Hex(QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

// ---- the connection and its failures ------------------------------------------------------

namespace {

// The samples of a run, all its chunks in order.
Result<QByteArray> runSamples(SqlStatements &sql, qint64 runId)
{
    Result<QSqlQuery> q = sql.exec(
        QStringLiteral("SELECT first_sample, samples FROM run_chunk WHERE run_id = ? ORDER BY first_sample"), {runId});
    if (!q)
        return q.failure();
    QByteArray all;
    while (q->next()) {
        if (q->value(0).toLongLong() * BytesPerSample != all.size())
            return fail(ErrorCode::Damaged, QStringLiteral("Run %1: its samples are not contiguous.").arg(runId));
        all += q->value(1).toByteArray();
    }
    return all;
}

Result<Placement> place(SqlStatements &sql, const SetSamples &set)
{
    Result<QSqlQuery> candidates = sql.exec(
        QStringLiteral("SELECT r.id, v.id, v.samples, v.samples_sha256 FROM run r JOIN run_version v ON v.run_id = r.id "
                       "WHERE r.start_time = ? AND r.interval_s = ? AND r.unit = ? "
                       "AND v.samples = (SELECT MAX(samples) FROM run_version WHERE run_id = r.id) ORDER BY r.id"),
        {set.start, set.interval, set.unit});
    if (!candidates)
        return candidates.failure();
    struct Latest { qint64 run, version, samples; QString sha; };
    QList<Latest> latest;
    while (candidates->next())
        latest.append({candidates->value(0).toLongLong(), candidates->value(1).toLongLong(),
                       candidates->value(2).toLongLong(), candidates->value(3).toString()});
    for (const Latest &l : latest) {
        if (set.count >= l.samples) {
            const QByteArrayView prefix(set.bytes.constData(), l.samples * BytesPerSample);
            const QString sha = set.count == l.samples ? set.sha256 : sha256Hex(prefix);
            if (sha != l.sha)
                continue;
            if (set.count == l.samples)
                return Placement{RunOutcome::AlreadyArchived, l.run, l.version, l.samples};
            return Placement{RunOutcome::Grown, l.run, 0, l.samples};
        }
        // Fewer samples than archived: an earlier version of the run, if its
        // samples are where the run's begin.
        Result<std::optional<QVariant>> same = sql.value(
            QStringLiteral("SELECT id FROM run_version WHERE run_id = ? AND samples = ? AND samples_sha256 = ?"),
            {l.run, set.count, set.sha256});
        if (!same)
            return same.failure();
        if (*same)
            return Placement{RunOutcome::AlreadyArchived, l.run, (*same)->toLongLong(), set.count};
        Result<QByteArray> archived = runSamples(sql, l.run);
        if (!archived)
            return archived.failure();
        if (archived->startsWith(set.bytes))
            return Placement{RunOutcome::AlreadyArchived, l.run, 0, l.samples};
    }
    return Placement{};
}

std::atomic<int> connectionCounter{0};

// The audit trail's entry for one data set of a download or an import.
AuditEntry auditEntryOf(const ArchiveDownload &d, const QString &source, const QString &recordHash, qint64 runId,
                        const QString &samplesSha256, int setIndex, RunOutcome outcome)
{
    AuditEntry e;
    e.whenUtc = d.whenUtc.toUTC();
    e.utcOffsetSeconds = d.utcOffsetSeconds;
    e.host = d.host;
    e.osUser = d.osUser;
    e.fullName = AuditActor::fullNameOf(d.osUser);
    e.kind = source;
    e.runId = runId;
    e.samplesSha256 = samplesSha256;
    e.downloadHash = recordHash;
    static const char *const outcomes[] = {"new", "grown", "already archived"};
    const QString from = !d.port.isEmpty() ? d.port
                         : d.fromDataFile  ? QStringLiteral("the data file ") + d.sourcePath
                                           : d.sourcePath;
    e.newValue = QStringLiteral("data set %1: %2").arg(setIndex + 1).arg(QLatin1String(outcomes[int(outcome)]));
    if (!from.isEmpty())
        e.newValue += QStringLiteral(", from ") + from;
    return e;
}

} // namespace

// ---- the archive ---------------------------------------------------------------------------

Archive::Archive(QString path, QString connection) : m_path(std::move(path)), m_connection(std::move(connection)) {}

Archive::~Archive()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<Archive>> Archive::open(const QString &path, int busyTimeoutMs)
{
    if (QFileInfo(path).isDir() || !QFileInfo(path).absoluteDir().exists())
        return fail(ErrorCode::WriteFailed, QStringLiteral("Cannot open the archive %1.").arg(quoted(path)));
    const QString connection = QStringLiteral("kv518-archive-%1").arg(connectionCounter++);
    std::unique_ptr<Archive> archive(new Archive(path, connection));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (!db.isValid())
            return fail(ErrorCode::WriteFailed,
                        QStringLiteral("Cannot open the archive %1: the SQLite driver of Qt is missing.").arg(quoted(path)));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (!db.open())
            return SqlStatements(connection, path).failure(db.lastError());
    }
    if (Result<> migrated = archive->migrate(); !migrated)
        return migrated.failure();
    return archive;
}

Result<> Archive::migrate()
{
    SqlStatements sql(m_connection, m_path);
    // Reading the schema is the first touch of the file: a file that is no
    // database fails here.
    Result<std::optional<QVariant>> tables =
        sql.value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"));
    if (!tables)
        return tables.failure();
    const bool empty = (*tables)->toInt() == 0;
    int version = 0;
    if (!empty) {
        if (!sql.db().tables().contains(QStringLiteral("schema_version")))
            return fail(ErrorCode::NotData, QStringLiteral("%1 is not an archive of this program.").arg(quoted(m_path)));
        Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT MAX(version) FROM schema_version"));
        if (!v)
            return v.failure();
        version = *v ? (*v)->toInt() : 0;
    }
    if (version > SchemaVersion)
        return fail(ErrorCode::Refused,
                    QStringLiteral("The archive %1 has schema version %2, newer than this program reads (%3); "
                                   "it was left unchanged.")
                        .arg(quoted(m_path))
                        .arg(version)
                        .arg(SchemaVersion));
    // Nothing above wrote to the file, so an archive refused stays as it
    // was. Large pages hold the images and samples in fewer overflow pages
    // (a new file only); the write-ahead log commits a download by appending
    // it. synchronous=NORMAL keeps the file consistent through a power cut
    // but may lose the last commits until the log is synced at a checkpoint;
    // syncing every commit (FULL) would cost more than half the time of a
    // full download's write, so the one step that relies on a download being
    // on disk, an erase of the logger, syncs first (makeDurable). A file that
    // cannot take the log (read-only media) keeps its journal.
    if (empty)
        (void)sql.exec(QStringLiteral("PRAGMA page_size = 65536"));
    (void)sql.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    (void)sql.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    const QList<QStringList> steps = migrations();
    while (version < SchemaVersion) {
        SqlWriteTransaction tx(sql);
        if (Result<> begun = tx.begin(); !begun)
            return begun;
        if (version == 0) {
            if (Result<QSqlQuery> q = sql.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL, "
                                                              "applied_utc TEXT NOT NULL)"));
                !q && !sql.db().tables().contains(QStringLiteral("schema_version")))
                return q.failure();
        }
        for (const QString &statement : steps.at(version))
            if (Result<QSqlQuery> q = sql.exec(statement); !q)
                return q.failure();
        if (version == 1)
            if (Result<> filled = fillRanges(); !filled)
                return filled;
        ++version;
        if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO schema_version VALUES (?, ?)"),
                                           {version, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)});
            !q)
            return q.failure();
        if (Result<> committed = tx.commit(); !committed)
            return committed;
    }
    return {};
}

Result<QList<RunOutcome>> Archive::check(const TDataSetStore &store)
{
    SqlStatements sql(m_connection, m_path);
    QList<RunOutcome> outcomes;
    for (const SetSamples &set : setsOf(store)) {
        Result<Placement> p = place(sql, set);
        if (!p)
            return p.failure();
        outcomes.append(p->outcome);
    }
    return outcomes;
}

Result<ArchiveOutcome> Archive::add(const ArchiveDownload &d)
{
    // The directory is read and checked as a load checks it; the samples
    // are decoded once, into the form the archive stores.
    DataSetDirectory directory;
    const qint64 expected = d.expectedBytes > 0 ? d.expectedBytes : d.image.size();
    if (Result<> loaded = directory.load(d.image, d.image.size(), expected); !loaded)
        return loaded.failure();
    const QList<SetSamples> sets = setsOf(directory, d.image);
    const QString imageSha = sha256Hex(d.image);

    SqlStatements sql(m_connection, m_path);
    SqlWriteTransaction tx(sql);
    if (Result<> begun = tx.begin(); !begun)
        return begun.failure();

    ArchiveOutcome outcome;
    Result<std::optional<QVariant>> image = sql.value(QStringLiteral("SELECT id FROM image WHERE sha256 = ?"), {imageSha});
    if (!image)
        return image.failure();
    qint64 imageId = 0;
    if (*image) {
        imageId = (*image)->toLongLong();
        outcome.imageAlreadyArchived = true;
    } else {
        Result<qint64> id = sql.nextId(QStringLiteral("image"));
        if (!id)
            return id.failure();
        imageId = *id;
        if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO image VALUES (?, ?, ?, ?)"),
                                           {imageId, imageSha, qint64(d.image.size()), d.image});
            !q)
            return q.failure();
    }

    QList<qint64> versionIds;
    QList<qint64> runIds;
    QStringList versionHashes;
    for (const SetSamples &set : sets) {
        Result<Placement> p = place(sql, set);
        if (!p)
            return p.failure();
        qint64 runId = p->runId;
        if (p->outcome == RunOutcome::New) {
            Result<qint64> id = sql.nextId(QStringLiteral("run"));
            if (!id)
                return id.failure();
            runId = *id;
            if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO run VALUES (?, ?, ?, ?)"),
                                               {runId, set.start, set.interval, set.unit});
                !q)
                return q.failure();
        }
        if (p->outcome != RunOutcome::AlreadyArchived) {
            const qint64 from = p->outcome == RunOutcome::New ? 0 : p->archivedSamples;
            if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO run_chunk VALUES (?, ?, ?)"),
                                               {runId, from, set.bytes.mid(from * BytesPerSample)});
                !q)
                return q.failure();
        }
        qint64 versionId = p->versionId;
        if (versionId == 0) {
            Result<qint64> id = sql.nextId(QStringLiteral("run_version"));
            Result<std::optional<QVariant>> number =
                sql.value(QStringLiteral("SELECT COUNT(*) FROM run_version WHERE run_id = ?"), {runId});
            if (!id)
                return id.failure();
            if (!number)
                return number.failure();
            versionId = *id;
            if (Result<QSqlQuery> q = sql.exec(
                    QStringLiteral("INSERT INTO run_version (id, run_id, version, samples, samples_sha256, first_sample, "
                                   "last_sample, humidity_min, humidity_max, temperature_min, temperature_max) "
                                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                    QVariantList{versionId, runId, (*number)->toInt() + 1, set.count, set.sha256, set.first, set.last}
                        + set.ranges.values());
                !q)
                return q.failure();
        }
        versionIds.append(versionId);
        runIds.append(runId);
        versionHashes.append(set.sha256);
        outcome.runs.append(p->outcome);
    }

    Result<qint64> downloadId = sql.nextId(QStringLiteral("download"));
    if (!downloadId)
        return downloadId.failure();
    Result<std::optional<QVariant>> previous =
        sql.value(QStringLiteral("SELECT record_hash FROM download WHERE id = ?"), {*downloadId - 1});
    if (!previous)
        return previous.failure();
    const QString previousHash = *previous ? (*previous)->toString() : genesisHash();
    const QString when = d.whenUtc.toUTC().toString(Qt::ISODateWithMs);
    const QString source = sourceName(d.source);
    const QString hash = recordHash(previousHash, *downloadId, imageSha, d.image.size(), when, d.utcOffsetSeconds,
                                    d.timeZone, d.host, d.osUser, d.programVersion, d.port, d.packets, d.naks,
                                    d.attempts, source, d.sourcePath, versionHashes);
    if (Result<QSqlQuery> q = sql.exec(
            QStringLiteral("INSERT INTO download VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {*downloadId, imageId, when, d.utcOffsetSeconds, d.timeZone, d.host, d.osUser, d.programVersion, d.port,
             d.packets, d.naks, d.attempts, source, d.sourcePath, previousHash, hash});
        !q)
        return q.failure();
    for (int k = 0; k < versionIds.size(); ++k)
        if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO download_run VALUES (?, ?, ?)"),
                                           {*downloadId, k, versionIds.at(k)});
            !q)
            return q.failure();
    // The audit trail's entries, in the same transaction: a download is
    // never archived without them.
    for (int k = 0; k < runIds.size(); ++k)
        if (Result<qint64> audited = AuditTrail::appendInTransaction(
                m_connection, m_path, auditEntryOf(d, source, hash, runIds.at(k), versionHashes.at(k), k, outcome.runs.at(k)));
            !audited)
            return audited.failure();
    if (Result<> committed = tx.commit(); !committed)
        return committed.failure();
    outcome.downloadId = *downloadId;
    qCInfo(lcData) << "archived download" << *downloadId << "into" << m_path << outcome.summary();
    return outcome;
}

namespace {

// The latest version of a run, as the listing shows it: the most samples,
// and of those the last made.
const QString LatestVersion = QStringLiteral(
    "(SELECT MAX(version) FROM run_version w WHERE w.run_id = r.id "
    "AND w.samples = (SELECT MAX(samples) FROM run_version x WHERE x.run_id = r.id))");

QString naiveText(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

std::optional<float> optionalFloat(const QVariant &v)
{
    return v.isNull() ? std::nullopt : std::optional<float>(v.toFloat());
}

QDateTime utcTime(const QVariant &v)
{
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : t;
}

Result<> requireRun(SqlStatements &sql, qint64 runId)
{
    Result<std::optional<QVariant>> run = sql.value(QStringLiteral("SELECT id FROM run WHERE id = ?"), {runId});
    if (!run)
        return run.failure();
    if (!*run)
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no run %1.").arg(runId));
    return {};
}

} // namespace

Result<> Archive::fillRanges()
{
    SqlStatements sql(m_connection, m_path);
    Result<QSqlQuery> q = sql.exec(QStringLiteral("SELECT id, run_id, samples FROM run_version ORDER BY run_id, id"));
    if (!q)
        return q.failure();
    struct Row { qint64 id, run, samples; };
    QList<Row> rows;
    while (q->next())
        rows.append({q->value(0).toLongLong(), q->value(1).toLongLong(), q->value(2).toLongLong()});
    qint64 loadedRun = 0;
    QByteArray all;
    for (const Row &r : rows) {
        if (r.run != loadedRun) {
            Result<QByteArray> samples = runSamples(sql, r.run);
            if (!samples)
                return samples.failure();
            all = *samples;
            loadedRun = r.run;
        }
        const SampleRanges ranges = rangesOf(QByteArrayView(all).first(std::min<qsizetype>(all.size(), r.samples * BytesPerSample)));
        if (Result<QSqlQuery> u = sql.exec(QStringLiteral("UPDATE run_version SET humidity_min = ?, humidity_max = ?, "
                                                          "temperature_min = ?, temperature_max = ? WHERE id = ?"),
                                           ranges.values() << r.id);
            !u)
            return u.failure();
    }
    return {};
}

Result<QList<ArchiveRunInfo>> Archive::runs(const ArchiveFilter &filter)
{
    QString where;
    QVariantList values;
    if (filter.to.isValid()) {
        where += QStringLiteral(" AND r.start_time <= ?");
        values << naiveText(filter.to);
    }
    if (filter.from.isValid()) {
        where += QStringLiteral(" AND COALESCE(NULLIF(v.last_sample, ''), r.start_time) >= ?");
        values << naiveText(filter.from);
    }
    return listRuns(where, values);
}

Result<ArchiveRunInfo> Archive::run(qint64 runId)
{
    Result<QList<ArchiveRunInfo>> list = listRuns(QStringLiteral(" AND r.id = ?"), {runId});
    if (!list)
        return list.failure();
    if (list->isEmpty())
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no run %1.").arg(runId));
    return list->first();
}

Result<QList<ArchiveRunInfo>> Archive::listRuns(const QString &where, const QVariantList &values)
{
    SqlStatements sql(m_connection, m_path);
    Result<QSqlQuery> q = sql.exec(QStringLiteral(
        "SELECT r.id, r.start_time, r.interval_s, r.unit, v.samples, v.first_sample, v.last_sample, "
        "(SELECT COUNT(*) FROM run_version WHERE run_id = r.id), v.samples_sha256, "
        "v.humidity_min, v.humidity_max, v.temperature_min, v.temperature_max, "
        "fd.when_utc, ld.when_utc, fd.utc_offset, v.version "
        "FROM run r JOIN run_version v ON v.run_id = r.id "
        "LEFT JOIN (SELECT w.run_id AS run_id, MIN(l.download_id) AS first_id, MAX(l.download_id) AS last_id "
        "FROM download_run l JOIN run_version w ON w.id = l.run_version_id GROUP BY w.run_id) s ON s.run_id = r.id "
        "LEFT JOIN download fd ON fd.id = s.first_id LEFT JOIN download ld ON ld.id = s.last_id "
        "WHERE v.version = %1%2 ORDER BY r.start_time, r.id").arg(LatestVersion, where), values);
    if (!q)
        return q.failure();
    QList<ArchiveRunInfo> list;
    while (q->next()) {
        ArchiveRunInfo info;
        info.id = q->value(0).toLongLong();
        info.start = q->value(1).toString();
        info.intervalSeconds = q->value(2).toInt();
        info.unit = q->value(3).toString();
        info.samples = q->value(4).toLongLong();
        info.firstSample = q->value(5).toString();
        info.lastSample = q->value(6).toString();
        info.versions = q->value(7).toInt();
        info.samplesSha256 = q->value(8).toString();
        info.humidityMin = optionalFloat(q->value(9));
        info.humidityMax = optionalFloat(q->value(10));
        info.temperatureMin = optionalFloat(q->value(11));
        info.temperatureMax = optionalFloat(q->value(12));
        info.firstDownloadUtc = utcTime(q->value(13));
        info.lastDownloadUtc = utcTime(q->value(14));
        info.firstDownloadUtcOffset = q->value(15).toInt();
        info.version = q->value(16).toInt();
        list.append(std::move(info));
    }
    return list;
}

Result<QList<ArchiveVersionInfo>> Archive::versions(qint64 runId)
{
    SqlStatements sql(m_connection, m_path);
    if (Result<> run = requireRun(sql, runId); !run)
        return run.failure();
    Result<QSqlQuery> q = sql.exec(QStringLiteral("SELECT version, samples, samples_sha256, first_sample, last_sample "
                                                  "FROM run_version WHERE run_id = ? ORDER BY version"),
                                   {runId});
    if (!q)
        return q.failure();
    QList<ArchiveVersionInfo> list;
    while (q->next())
        list.append({q->value(0).toInt(), q->value(1).toLongLong(), q->value(2).toString(), q->value(3).toString(),
                     q->value(4).toString()});
    return list;
}

Result<QList<ArchiveDownloadInfo>> Archive::downloadsOf(qint64 runId)
{
    SqlStatements sql(m_connection, m_path);
    if (Result<> run = requireRun(sql, runId); !run)
        return run.failure();
    Result<QSqlQuery> q = sql.exec(
        QStringLiteral("SELECT d.id, d.when_utc, d.utc_offset, d.time_zone, d.host, d.os_user, d.port, d.source, "
                       "d.source_path, i.sha256, d.record_hash, v.version "
                       "FROM download_run l JOIN run_version v ON v.id = l.run_version_id "
                       "JOIN download d ON d.id = l.download_id LEFT JOIN image i ON i.id = d.image_id "
                       "WHERE v.run_id = ? ORDER BY d.id, l.set_index"),
        {runId});
    if (!q)
        return q.failure();
    QList<ArchiveDownloadInfo> list;
    while (q->next())
        list.append({q->value(0).toLongLong(), utcTime(q->value(1)), q->value(2).toInt(), q->value(3).toString(),
                     q->value(4).toString(), q->value(5).toString(), q->value(6).toString(), q->value(7).toString(),
                     q->value(8).toString(), q->value(9).toString(), q->value(10).toString(), q->value(11).toInt()});
    return list;
}

Result<ArchiveComparison> Archive::compare(std::span<const double> times, std::span<const float> humidity,
                                           std::span<const float> temperature)
{
    ArchiveComparison best;
    best.fileSamples = qint64(times.size());
    if (times.empty())
        return best;
    SqlStatements sql(m_connection, m_path);
    Result<QSqlQuery> q = sql.exec(QStringLiteral("SELECT r.id, v.version FROM run r JOIN run_version v ON v.run_id = r.id "
                                                  "WHERE r.start_time = ? ORDER BY r.id, v.version"),
                                   {naiveIso(times[0])});
    if (!q)
        return q.failure();
    QList<std::pair<qint64, int>> candidates;
    while (q->next())
        candidates.append({q->value(0).toLongLong(), q->value(1).toInt()});
    const auto second = [](double days) { return std::llround(days * FrameworkTime::SecondsPerDay); };
    for (const auto &[run, version] : candidates) {
        Result<TDataSetStore> store = runStore(run, version);
        if (!store)
            return store.failure();
        const QList<float> &v = store->Values();
        const QList<double> &t = store->Times();
        ArchiveComparison c;
        c.runId = run;
        c.version = version;
        c.fileSamples = qint64(times.size());
        c.runSamples = store->SampleCounts().first();
        const qint64 common = std::min(c.fileSamples, c.runSamples);
        for (qint64 i = 0; i < common; ++i) {
            if (second(times[size_t(i)]) != second(t.at(2 * i)) || humidity[size_t(i)] != v.at(2 * i)
                || temperature[size_t(i)] != v.at(2 * i + 1)) {
                if (c.firstDifference < 0)
                    c.firstDifference = i;
                ++c.differing;
            }
        }
        c.differing += std::max(c.fileSamples, c.runSamples) - common;
        if (c.firstDifference < 0 && c.fileSamples != c.runSamples)
            c.firstDifference = common;
        if (c.matches())
            return c;
        const auto agreed = [](const ArchiveComparison &a) {
            return a.firstDifference < 0 ? std::numeric_limits<qint64>::max() : a.firstDifference;
        };
        if (best.runId == 0 || agreed(c) > agreed(best) || (agreed(c) == agreed(best) && c.differing < best.differing))
            best = c;
    }
    return best;
}

Result<TDataSetStore> Archive::runStore(qint64 runId, int version)
{
    SqlStatements sql(m_connection, m_path);
    if (Result<> run = requireRun(sql, runId); !run)
        return run.failure();
    if (version == 0) {
        Result<std::optional<QVariant>> latest =
            sql.value(QStringLiteral("SELECT %1 FROM run r WHERE r.id = ?").arg(LatestVersion), {runId});
        if (!latest)
            return latest.failure();
        version = *latest ? (*latest)->toInt() : 0;
    }
    Result<QSqlQuery> q = sql.exec(
        QStringLiteral("SELECT l.set_index, i.bytes, v.samples, v.samples_sha256 "
                       "FROM download_run l JOIN run_version v ON v.id = l.run_version_id "
                       "JOIN download d ON d.id = l.download_id JOIN image i ON i.id = d.image_id "
                       "WHERE v.run_id = ? AND v.version = ? ORDER BY l.download_id, l.set_index"),
        {runId, version});
    if (!q)
        return q.failure();
    if (!q->next())
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no version %1 of run %2.").arg(version).arg(runId));
    const Failure damaged{ErrorCode::Damaged,
                          QStringLiteral("Run %1, version %2: the image that held it does not match.").arg(runId).arg(version)};
    std::optional<TDataSetStore> store =
        oneSetStore(q->value(1).toByteArray(), q->value(0).toInt(), q->value(2).toLongLong(), q->value(3).toString());
    if (!store)
        return damaged;
    return std::move(*store);
}

std::optional<TDataSetStore> Archive::oneSetStore(const QByteArray &image, int set, qint64 samples,
                                                  const QString &samplesSha256)
{
    // The image of a logger that recorded this one data set: the header, the
    // set's directory entry as entry 0, and its sample bytes.
    DataSetDirectory directory;
    if (set < 0 || !directory.load(image, image.size(), image.size()) || set >= directory.setCount()
        || directory.sampleCounts().at(set) != samples)
        return std::nullopt;
    const qsizetype bytes = qsizetype(samples) * LoggerImage::SampleBytes;
    QByteArray one = image.left(LoggerImage::SampleStart);
    std::memset(one.data() + LoggerImage::DirectoryStart, 0, LoggerImage::MaxSets * LoggerImage::EntryBytes);
    std::memcpy(one.data() + LoggerImage::entryOffset(0), image.constData() + LoggerImage::entryOffset(set),
                LoggerImage::EntryBytes);
    LoggerImage::TDataSetEntry entry = LoggerImage::TDataSetEntry::read(image, set);
    entry.endAddress = quint32(LoggerImage::SampleStart + bytes);
    entry.write(one, 0);
    one += image.mid(directory.startAddresses().at(set), bytes);
    one.resize(qsizetype(LoggerImage::roundUpToPacket(quint64(one.size()))), '\0');

    TDataSetStore store;
    if (!store.load(one, one.size()) || store.SetCount() != 1 || setsOf(store).constFirst().sha256 != samplesSha256)
        return std::nullopt;
    return store;
}

Result<qint64> Archive::downloadCount()
{
    SqlStatements sql(m_connection, m_path);
    Result<std::optional<QVariant>> v = sql.value(QStringLiteral("SELECT COUNT(*) FROM download"));
    if (!v)
        return v.failure();
    return (*v)->toLongLong();
}

Result<ArchiveRecord> Archive::record(qint64 downloadId)
{
    SqlStatements sql(m_connection, m_path);
    Result<QSqlQuery> d = sql.exec(QStringLiteral(
        "SELECT d.id, i.sha256, i.bytes, d.when_utc, d.utc_offset, d.time_zone, d.host, d.os_user, d.program_version, "
        "d.port, d.packets, d.naks, d.attempts, d.source, d.source_path, d.previous_hash, d.record_hash "
        "FROM download d JOIN image i ON i.id = d.image_id WHERE d.id = ?"), {downloadId});
    if (!d)
        return d.failure();
    if (!d->next())
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no download %1.").arg(downloadId));
    ArchiveRecord r;
    r.id = d->value(0).toLongLong();
    r.imageSha256 = d->value(1).toString();
    r.image = d->value(2).toByteArray();
    r.whenUtc = d->value(3).toString();
    r.utcOffsetSeconds = d->value(4).toInt();
    r.timeZone = d->value(5).toString();
    r.host = d->value(6).toString();
    r.osUser = d->value(7).toString();
    r.programVersion = d->value(8).toString();
    r.port = d->value(9).toString();
    r.packets = d->value(10).toInt();
    r.naks = d->value(11).toInt();
    r.attempts = d->value(12).toInt();
    r.source = d->value(13).toString();
    r.sourcePath = d->value(14).toString();
    r.previousHash = d->value(15).toString();
    r.recordHash = d->value(16).toString();
    Result<QSqlQuery> sets = sql.exec(QStringLiteral(
        "SELECT r.id, r.start_time, r.interval_s, r.unit, v.samples, v.samples_sha256, v.first_sample, v.last_sample, "
        "v.humidity_min, v.humidity_max, v.temperature_min, v.temperature_max "
        "FROM download_run l JOIN run_version v ON v.id = l.run_version_id JOIN run r ON r.id = v.run_id "
        "WHERE l.download_id = ? ORDER BY l.set_index"), {downloadId});
    if (!sets)
        return sets.failure();
    QList<qint64> runIds;
    // A range without readings stays NULL on either engine.
    const auto range = [](const QVariant &v) { return v.isNull() ? QVariant(QMetaType::fromType<double>()) : QVariant(v.toDouble()); };
    while (sets->next()) {
        runIds.append(sets->value(0).toLongLong());
        r.sets.append({sets->value(1).toString(), sets->value(2).toInt(), sets->value(3).toString(),
                       sets->value(4).toLongLong(), sets->value(5).toString(), sets->value(6).toString(),
                       sets->value(7).toString(),
                       {range(sets->value(8)), range(sets->value(9)), range(sets->value(10)), range(sets->value(11))},
                       {}});
    }
    for (int k = 0; k < r.sets.size(); ++k) {
        Result<QByteArray> all = runSamples(sql, runIds.at(k));
        if (!all)
            return all.failure();
        r.sets[k].bytes = all->left(r.sets[k].samples * BytesPerSample);
    }
    return r;
}

Result<QByteArray> Archive::samples(qint64 runId, int version)
{
    SqlStatements sql(m_connection, m_path);
    Result<std::optional<QVariant>> n =
        sql.value(QStringLiteral("SELECT samples FROM run_version WHERE run_id = ? AND version = ?"), {runId, version});
    if (!n)
        return n.failure();
    if (!*n)
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no version %1 of run %2.").arg(version).arg(runId));
    Result<QByteArray> all = runSamples(sql, runId);
    if (!all)
        return all;
    return all->left((*n)->toLongLong() * BytesPerSample);
}

Result<QStringList> Archive::verify()
{
    SqlStatements sql(m_connection, m_path);
    QStringList problems;

    Result<QSqlQuery> images = sql.exec(QStringLiteral("SELECT id, sha256, size, bytes FROM image ORDER BY id"));
    if (!images)
        return images.failure();
    while (images->next()) {
        const QByteArray bytes = images->value(3).toByteArray();
        if (sha256Hex(bytes) != images->value(1).toString() || bytes.size() != images->value(2).toLongLong())
            problems << QStringLiteral("Image %1: its bytes do not match its SHA-256 and size.")
                            .arg(images->value(0).toLongLong());
    }

    Result<QSqlQuery> runs = sql.exec(QStringLiteral("SELECT id FROM run ORDER BY id"));
    if (!runs)
        return runs.failure();
    QList<qint64> runIds;
    while (runs->next())
        runIds.append(runs->value(0).toLongLong());
    for (qint64 run : runIds) {
        Result<QByteArray> all = runSamples(sql, run);
        if (!all) {
            if (all.code() != ErrorCode::Damaged)
                return all.failure();
            problems << all.message();
            continue;
        }
        Result<QSqlQuery> versions =
            sql.exec(QStringLiteral("SELECT version, samples, samples_sha256 FROM run_version WHERE run_id = ? "
                                    "ORDER BY version"),
                     {run});
        if (!versions)
            return versions.failure();
        while (versions->next()) {
            const qint64 bytes = versions->value(1).toLongLong() * BytesPerSample;
            if (bytes > all->size()
                || sha256Hex(QByteArrayView(all->constData(), bytes)) != versions->value(2).toString())
                problems << QStringLiteral("Run %1, version %2: its samples do not match their SHA-256.")
                                .arg(run)
                                .arg(versions->value(0).toInt());
        }
    }

    Result<QSqlQuery> downloads = sql.exec(QStringLiteral(
        "SELECT d.id, i.sha256, i.size, d.when_utc, d.utc_offset, d.time_zone, d.host, d.os_user, d.program_version, "
        "d.port, d.packets, d.naks, d.attempts, d.source, d.source_path, d.previous_hash, d.record_hash "
        "FROM download d LEFT JOIN image i ON i.id = d.image_id ORDER BY d.id"));
    if (!downloads)
        return downloads.failure();
    struct Row { qint64 id; QVariantList v; };
    QList<Row> rows;
    while (downloads->next()) {
        Row r{downloads->value(0).toLongLong(), {}};
        for (int c = 1; c <= 16; ++c)
            r.v.append(downloads->value(c));
        rows.append(r);
    }
    QString previous = genesisHash();
    qint64 expectedId = 1;
    for (const Row &r : rows) {
        Result<QSqlQuery> links = sql.exec(
            QStringLiteral("SELECT v.samples_sha256 FROM download_run l LEFT JOIN run_version v ON v.id = l.run_version_id "
                           "WHERE l.download_id = ? ORDER BY l.set_index"),
            {r.id});
        if (!links)
            return links.failure();
        QStringList hashes;
        while (links->next())
            hashes.append(links->value(0).toString());
        const QVariantList &v = r.v;
        if (r.id != expectedId)
            problems << QStringLiteral("Download %1: the download before it (%2) is missing.").arg(r.id).arg(expectedId);
        if (v.at(14).toString() != previous)
            problems << QStringLiteral("Download %1: it does not follow the download before it in the chain.").arg(r.id);
        const QString hash = recordHash(v.at(14).toString(), r.id, v.at(0).toString(), v.at(1).toLongLong(),
                                        v.at(2).toString(), v.at(3).toInt(), v.at(4).toString(), v.at(5).toString(),
                                        v.at(6).toString(), v.at(7).toString(), v.at(8).toString(), v.at(9).toInt(),
                                        v.at(10).toInt(), v.at(11).toInt(), v.at(12).toString(), v.at(13).toString(),
                                        hashes);
        if (hash != v.at(15).toString())
            problems << QStringLiteral("Download %1: its record does not match its hash.").arg(r.id);
        previous = v.at(15).toString();
        expectedId = r.id + 1;
    }
    Result<QStringList> audit = AuditTrail::verify(*this);
    if (!audit)
        return audit.failure();
    return problems + *audit;
}

Result<> Archive::makeDurable()
{
    SqlStatements sql(m_connection, m_path);
    if (Result<QSqlQuery> q = sql.exec(QStringLiteral("PRAGMA wal_checkpoint(FULL)")); !q)
        return q.failure();
    return {};
}

Result<> Archive::backup(const QString &target)
{
    if (QFileInfo::exists(target))
        return fail(ErrorCode::WriteFailed, QStringLiteral("Cannot create file %1: it exists.").arg(quoted(target)));
    SqlStatements sql(m_connection, m_path);
    if (Result<QSqlQuery> q = sql.exec(QStringLiteral("VACUUM INTO ?"), {target}); !q)
        return fail(ErrorCode::WriteFailed,
                    QStringLiteral("Cannot create file %1: %2").arg(quoted(target), q.message()));
    return {};
}
