// The site archive on PostgreSQL: sending a workstation's outbox, and the
// site's listing. Needs a server: run under pg_virtualenv (PGHOST, PGPORT,
// PGUSER and PGPASSWORD of a superuser); skipped without one.

#include "BenchReport.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/Outbox.h"
#include "core/archive/SiteArchive.h"
#include "core/data/LoggerImage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>

namespace {

// A 64 KiB logger image of one data set, its start and readings set by k.
QByteArray image64k(int k)
{
    QByteArray image(64 * 1024, '\0');
    auto *e = reinterpret_cast<uchar *>(image.data()) + LoggerImage::entryOffset(0);
    qToLittleEndian<quint16>(60, e + 2);
    e[4] = 26;
    e[5] = 1 + k / 28 % 12;
    e[6] = 1 + k % 28;
    e[7] = 8;
    qToLittleEndian<quint32>(quint32(image.size()), e + 12);
    for (qsizetype a = LoggerImage::SampleStart; a + 4 <= image.size(); a += 4) {
        qToLittleEndian<qint16>(qint16((a / 4 + k) % 900), image.data() + a);
        qToLittleEndian<qint16>(qint16((a / 4 * 7 + k) % 600), image.data() + a + 2);
    }
    return image;
}

bool run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::printf("  %s\n", qPrintable(q.lastError().text()));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchReport report;
    std::printf("site archive (PostgreSQL over loopback)\n");
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (qEnvironmentVariableIsEmpty("PGPORT") || !admin.open()) {
            std::printf("  skipped: no PostgreSQL server (run under pg_virtualenv)\n");
            return 0;
        }
        run(admin, QStringLiteral("DROP DATABASE IF EXISTS kv518_bench"));
        if (!run(admin, QStringLiteral("CREATE DATABASE kv518_bench")))
            return 1;
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    Result<SiteUrl> url = SiteUrl::parse(QStringLiteral("postgresql:///kv518_bench"));
    Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*url);
    if (!site || !(*site)->init()) {
        std::printf("  cannot make the site archive: %s\n", qPrintable(site ? QString() : site.message()));
        return 1;
    }
    {
        Result<std::unique_ptr<Archive>> archive = Archive::open(path);
        for (int k = 0; k < 100; ++k)
            if (!(*archive)->add(ArchiveDownload::here(image64k(k), ArchiveSource::Download)))
                return 1;
        Result<std::unique_ptr<Outbox>> outbox = Outbox::open(path);
        QElapsedTimer t;
        t.start();
        const SyncReport sent = sendOutbox(**archive, **outbox, **site, QStringLiteral("bench"));
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (sent.failure || sent.sent != 100) {
            std::printf("  forwarding failed: %s\n", qPrintable(sent.failure ? sent.failure->message : QString()));
            return 1;
        }
        report.figure("forward 100 downloads of 64 KiB", ms / 1000.0, "s", 2.0, BenchReport::Goal::AtMost);
    }

    // 100,000 runs from 1,000 downloads of five workstations.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fill"));
        db.setDatabaseName(QStringLiteral("kv518_bench"));
        if (!db.open()
            || !run(db, QStringLiteral(
                   "INSERT INTO download (workstation, local_id, image_id, when_utc, utc_offset, time_zone, host, os_user, "
                   "program_version, port, packets, naks, attempts, source, source_path, previous_hash, record_hash) "
                   "SELECT 'ws' || (g % 5), g, (SELECT MIN(id) FROM image), now(), 0, 'UTC', 'ws', 'user' || (g % 7), "
                   "'1', '/dev/ttyUSB0', 1, 0, 1, 'download', '', '', md5(g::text) FROM generate_series(1, 1000) g"))
            || !run(db, QStringLiteral("INSERT INTO run (start_time, interval_s, unit) "
                                       "SELECT to_char(timestamp '2025-01-01' + g * interval '1 minute', 'YYYY-MM-DD\"T\"HH24:MI:SS'), 60, 'C' "
                                       "FROM generate_series(1, 99900) g"))
            || !run(db, QStringLiteral("INSERT INTO run_version (run_id, samples, samples_sha256, first_sample, last_sample, bytes) "
                                       "SELECT id, 10, md5(id::text), start_time, start_time, '\\x00' FROM run "
                                       "WHERE start_time LIKE '2025-%'"))
            || !run(db, QStringLiteral("INSERT INTO download_run SELECT d.id, v.n / 1000, v.id FROM "
                                       "(SELECT id, row_number() OVER (ORDER BY id) - 1 AS n FROM run_version "
                                       "WHERE first_sample LIKE '2025-%') v JOIN download d "
                                       "ON d.workstation = 'ws' || ((v.n % 1000 + 1) % 5) AND d.local_id = v.n % 1000 + 1"))
            || !run(db, QStringLiteral("ANALYZE")))
            return 1;
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    // As the Archive window lists them: the server's rows, each an entry of
    // the window's model, the model filled (and sorted).
    double best = 1e9;
    double bestFetch = 1e9;
    qsizetype rows = 0;
    ArchiveRunModel model;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        Result<QList<SiteRunInfo>> runs = (*site)->runs();
        bestFetch = std::min(bestFetch, double(t.nsecsElapsed()) / 1e6);
        model.setEntries(runs ? ArchiveListEntry::site(*runs) : QList<ArchiveListEntry>());
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        rows = model.rowCount();
    }
    if (rows != 100000)
        std::printf("  listed %lld runs, not 100000\n", qlonglong(rows));
    std::printf("  of which the server's rows read: %.1f ms\n", bestFetch);
    report.figure("list 100,000 runs into the window's model, best of 3", best, "ms", 300.0, BenchReport::Goal::AtMost);
    return report.exitCode();
}
