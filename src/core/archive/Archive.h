#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVariantList>

#include <memory>
#include <span>
#include <optional>

class TDataSetStore;

// Where a download record's image came from.
enum class ArchiveSource {
    Download, // a transfer from the logger
    Import,   // a collection file read from disk, or a data file's data set
};

// Everything a download record holds besides the image's decoded runs.
struct ArchiveDownload
{
    QByteArray image;             // exactly as received
    qint64 expectedBytes = 0;     // the announced total (0: the image's size)
    QDateTime whenUtc;            // the instant of the download
    int utcOffsetSeconds = 0;     // the PC's offset from UTC at that instant
    QString timeZone;             // the PC's time zone name at that instant
    QString host;
    QString osUser;
    QString programVersion;
    QString port;                 // device path; empty for an import
    int packets = 0;
    int naks = 0;
    int attempts = 0;
    ArchiveSource source = ArchiveSource::Download;
    QString sourcePath;           // the imported file; empty for a download
    bool fromDataFile = false;    // an import whose image was built from a data file's samples

    // A record of this workstation, now: time, offset, zone, host, user and
    // the program's version filled in.
    static ArchiveDownload here(const QByteArray &image, ArchiveSource source);
};

// What archiving one download did with each of its data sets.
enum class RunOutcome { New, Grown, AlreadyArchived };

struct ArchiveOutcome
{
    qint64 downloadId = 0;
    bool imageAlreadyArchived = false;
    QList<RunOutcome> runs; // one per data set, in the image's order

    int count(RunOutcome o) const { return int(runs.count(o)); }
    // "Archived: 3 data sets (1 new, 1 grown, 1 already archived)"
    QString summary() const;
};

// One row of the archive's listing: a run in its latest version.
struct ArchiveRunInfo
{
    qint64 id = 0;
    QString start;        // the logger's naive local time, ISO 8601
    int intervalSeconds = 0;
    QString unit;         // "C" or "F"
    qint64 samples = 0;   // of the latest version
    QString firstSample;
    QString lastSample;
    int versions = 0;
    QString samplesSha256; // of the latest version
    int version = 0;       // the latest version's number
    // The extremes of the latest version's readings, the out-of-range
    // markers left out as the statistics leave them out of the average;
    // empty when no reading counts.
    std::optional<float> humidityMin, humidityMax;
    std::optional<float> temperatureMin, temperatureMax;
    QDateTime firstDownloadUtc; // the first download record that held the run
    QDateTime lastDownloadUtc;  // the last one
    int firstDownloadUtcOffset = 0; // the PC's offset from UTC at the first, seconds
};

// Which runs a listing holds: those whose span (first to last sample, the
// logger's naive local time) overlaps [from, to]; an invalid bound is open.
struct ArchiveFilter
{
    QDateTime from;
    QDateTime to;
};

// A download record that held a run, and the version of the run it held.
struct ArchiveDownloadInfo
{
    qint64 id = 0;
    QDateTime whenUtc;
    int utcOffsetSeconds = 0;
    QString timeZone;
    QString host;
    QString osUser;
    QString port;
    QString source;     // "download" or "import"
    QString sourcePath;
    QString imageSha256;
    QString recordHash;
    int version = 0;    // of the run
};

// One version of a run: the samples it had when a download held it.
struct ArchiveVersionInfo
{
    int version = 0;
    qint64 samples = 0;
    QString samplesSha256;
    QString firstSample; // the logger's naive local time, ISO 8601
    QString lastSample;
};

// How samples read from a file compare with the archived run that starts
// at their first sample's time.
struct ArchiveComparison
{
    qint64 runId = 0;            // 0: no archived run starts there
    int version = 0;             // the version compared with (the closest)
    qint64 fileSamples = 0;
    qint64 runSamples = 0;
    qint64 firstDifference = -1; // the first differing sample (0-based); -1: none
    qint64 differing = 0;        // samples that differ or that only one side has

    bool matches() const { return runId != 0 && firstDifference < 0; }
};

// A download record as the archive holds it, with its image and the samples
// of each run version it held: what the site archive is sent.
struct ArchiveRecordSet
{
    QString start;       // the run's start, the logger's naive local time
    int intervalSeconds = 0;
    QString unit;
    qint64 samples = 0;
    QString samplesSha256;
    QString firstSample;
    QString lastSample;
    QVariantList ranges; // humidity min, max, temperature min, max (NULL: none)
    QByteArray bytes;    // the version's samples as the archive stores them
};

struct ArchiveRecord
{
    qint64 id = 0;
    QString imageSha256;
    QByteArray image;
    QString whenUtc;     // as hashed: ISO 8601 with milliseconds, UTC
    int utcOffsetSeconds = 0;
    QString timeZone, host, osUser, programVersion, port;
    int packets = 0, naks = 0, attempts = 0;
    QString source, sourcePath, previousHash, recordHash;
    QList<ArchiveRecordSet> sets; // in the image's order
};

// "The logger's clock does not follow daylight saving time: this run spans a
// change on 2026-03-29." for a run whose span crosses a change in zone (see
// DaylightSaving); empty otherwise.
QString daylightSavingNote(const ArchiveRunInfo &run, const QTimeZone &zone = QTimeZone::systemTimeZone());

// How many data sets of a check are not (wholly) in the archive: "2 of 3
// data sets on the logger are not archived"; empty when all are.
QString notArchivedText(const QList<RunOutcome> &outcomes);

// The download archive: one SQLite file holding every download's image, a
// record of each download chained by hashes, and each data set once as a run
// with all the versions it grew through. Nothing is ever updated or deleted;
// every write is one transaction. See docs/architecture.md for the schema and
// what the chain hashes.
class Archive
{
public:
    static constexpr int SchemaVersion = 4;
    static QString fileName() { return QStringLiteral("archive.sqlite"); }
    // The default archive of a program data folder.
    static QString defaultPath(const QString &programFolder);

    // Opens (creating when missing) and migrates the archive at path.
    // busyTimeoutMs: how long a write waits for another writer to finish.
    static Result<std::unique_ptr<Archive>> open(const QString &path, int busyTimeoutMs = 2000);
    ~Archive();
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    const QString &path() const { return m_path; }
    // The name of the archive's Qt SQL connection (for the audit trail).
    const QString &connectionName() const { return m_connection; }

    // Archives a download whose image decodes; archived whole or not at all.
    Result<ArchiveOutcome> add(const ArchiveDownload &download);
    // What add() would do with each data set of store, without writing.
    Result<QList<RunOutcome>> check(const TDataSetStore &store);

    Result<QList<ArchiveRunInfo>> runs(const ArchiveFilter &filter = {});
    // One run of the listing (NotFound when there is none).
    Result<ArchiveRunInfo> run(qint64 runId);
    // A store holding the one data set of a run's version (0: the latest)
    // with its samples, start, interval and unit exactly as downloaded: its
    // image is the directory entry and sample bytes of the download that
    // held that version, so it reads, shows and saves as a collection does.
    Result<TDataSetStore> runStore(qint64 runId, int version = 0);
    // The store runStore() makes from a download's image: data set set of
    // image alone, when it holds samples samples whose hash (as the archive
    // hashes them) is samplesSha256; nothing otherwise.
    static std::optional<TDataSetStore> oneSetStore(const QByteArray &image, int set, qint64 samples,
                                                    const QString &samplesSha256);
    // The download records that held a run, oldest first.
    Result<QList<ArchiveDownloadInfo>> downloadsOf(qint64 runId);
    // The versions of a run, the first first.
    Result<QList<ArchiveVersionInfo>> versions(qint64 runId);
    Result<qint64> downloadCount();
    // One download record whole (NotFound when there is none).
    Result<ArchiveRecord> record(qint64 downloadId);
    // The samples of a run's version (1 = the first), humidity then
    // temperature per sample, as little-endian 32-bit floats.
    Result<QByteArray> samples(qint64 runId, int version);

    // Compares samples (times and readings in point order, as a data view
    // holds them) with every version of the runs starting at their first
    // time; the exact match, else the version that agrees longest.
    Result<ArchiveComparison> compare(std::span<const double> times, std::span<const float> humidity,
                                      std::span<const float> temperature);

    // Re-hashes every image and run version and walks the chain of download
    // records and that of the audit trail; one line per thing that does not
    // match (empty: all sound).
    Result<QStringList> verify();
    // Syncs every committed download to the disk (a checkpoint of the
    // write-ahead log), for a step that must not follow a lost download.
    Result<> makeDurable();
    // A consistent copy of the archive into a new file (VACUUM INTO).
    Result<> backup(const QString &target);

    // The name of this workstation as its records carry it: the host name,
    // or KV518_WORKSTATION when set (several workstations on one machine).
    static QString workstationName();
    // The SHA-256 of bytes, as lower-case hex.
    static QString sha256(QByteArrayView bytes);

    // The chain's starting value, and the hash of a record's fields.
    static QString genesisHash() { return QString(64, u'0'); }
    static QString recordHash(const QString &previousHash, qint64 id, const QString &imageSha256,
                              qint64 imageSize, const QString &whenUtc, int utcOffsetSeconds,
                              const QString &timeZone, const QString &host, const QString &osUser,
                              const QString &programVersion, const QString &port, int packets, int naks,
                              int attempts, const QString &source, const QString &sourcePath,
                              const QStringList &runVersionHashes);

private:
    Archive(QString path, QString connection);
    Result<> migrate();
    Result<> fillRanges();
    Result<QList<ArchiveRunInfo>> listRuns(const QString &where, const QVariantList &values);

    QString m_path;
    QString m_connection;
};
