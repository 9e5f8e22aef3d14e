#include "core/archive/Archive.h"
#include "core/data/TDataSetStore.h"

#include "ImageBuilder.h"
#include "TestFiles.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <ctime>

namespace {

// Data sets by name: "a10" is run a with 10 samples; "a15" the same run,
// grown; "a10x" starts like a and has other samples; "b5" another run.
ImageSet namedSet(const QString &name)
{
    ImageSet s;
    const QChar run = name.at(0);
    const int n = name.mid(1).remove(u'x').toInt();
    s.at(QDateTime(QDate(2026, 3, 1), QTime(8 + run.unicode() - 'a', 0)));
    s.ramp(n, 400, 1, name.endsWith(u'x') ? 300 : 200, 2);
    return s;
}

QByteArray image(const QString &sets)
{
    ImageBuilder b;
    for (const QString &name : sets.split(u' ', Qt::SkipEmptyParts))
        b.add(namedSet(name));
    return b.build();
}

ArchiveDownload download(const QByteArray &bytes)
{
    ArchiveDownload d = ArchiveDownload::here(bytes, ArchiveSource::Download);
    d.port = QStringLiteral("/dev/ttyUSB0");
    d.packets = int(bytes.size() / 64);
    d.attempts = 1;
    return d;
}

std::unique_ptr<Archive> openArchive(const QString &path)
{
    Result<std::unique_ptr<Archive>> a = Archive::open(path, 50);
    if (!a)
        qWarning() << a.message();
    return a ? std::move(a).value() : nullptr;
}

template <typename R>
QString why(const R &r)
{
    return r ? QString() : r.message();
}

// Runs the sqlite3 tool on an archive, as someone editing it behind the program would.
bool sqlite3(const QString &path, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path, sql});
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("archive-%1.sqlite").arg(++m_n));
    }

    void archivesDownloads_data()
    {
        QTest::addColumn<QStringList>("downloads");
        QTest::addColumn<QString>("lastSummary");
        QTest::addColumn<int>("runs");
        QTest::addColumn<int>("versionsOfFirstRun");

        QTest::newRow("first download") << QStringList{"a10 b5"}
                                        << "Archived: 2 data sets (2 new, 0 grown, 0 already archived)" << 2 << 1;
        QTest::newRow("identical again") << QStringList{"a10 b5", "a10 b5"}
                                         << "Archived: 2 data sets (0 new, 0 grown, 2 already archived)" << 2 << 1;
        QTest::newRow("grown") << QStringList{"a10", "a15"}
                               << "Archived: 1 data set (0 new, 1 grown, 0 already archived)" << 1 << 2;
        QTest::newRow("grown twice") << QStringList{"a10", "a15", "a20"}
                                     << "Archived: 1 data set (0 new, 1 grown, 0 already archived)" << 1 << 3;
        QTest::newRow("other samples, same start") << QStringList{"a10", "a10x"}
                                                   << "Archived: 1 data set (1 new, 0 grown, 0 already archived)" << 2 << 1;
        QTest::newRow("earlier version after a later one")
            << QStringList{"a15", "a10"} << "Archived: 1 data set (0 new, 0 grown, 1 already archived)" << 1 << 2;
        QTest::newRow("one of each") << QStringList{"a10 b5", "a10 b8 c3"}
                                     << "Archived: 3 data sets (1 new, 1 grown, 1 already archived)" << 3 << 1;
    }

    void archivesDownloads()
    {
        QFETCH(QStringList, downloads);
        QFETCH(QString, lastSummary);
        QFETCH(int, runs);
        QFETCH(int, versionsOfFirstRun);

        auto archive = openArchive(m_path);
        QVERIFY(archive);
        QString summary;
        for (const QString &sets : downloads) {
            Result<ArchiveOutcome> added = archive->add(download(image(sets)));
            QVERIFY2(added, qPrintable(why(added)));
            summary = added->summary();
        }
        QCOMPARE(summary, lastSummary);
        QCOMPARE(archive->downloadCount().valueOr(-1), qint64(downloads.size()));
        Result<QList<ArchiveRunInfo>> list = archive->runs();
        QVERIFY(list);
        QCOMPARE(list->size(), runs);
        QCOMPARE(list->first().versions, versionsOfFirstRun);
        const ArchiveRunInfo &first = list->first();
        QCOMPARE(first.start, QStringLiteral("2026-03-01T08:00:00"));
        QCOMPARE(first.firstSample, first.start);
        QCOMPARE(QDateTime::fromString(first.lastSample, Qt::ISODate),
                 QDateTime::fromString(first.start, Qt::ISODate).addSecs((first.samples - 1) * first.intervalSeconds));

        // Every version of the first run reads back as the download that brought it.
        const QList<qint32> counts{10, 15, 20};
        for (int v = 1; v <= versionsOfFirstRun && downloads.first().startsWith(u"a10"); ++v) {
            TDataSetStore store;
            const QByteArray expected = image(QStringLiteral("a%1").arg(counts.at(v - 1)));
            QVERIFY(store.load(expected, expected.size()));
            Result<QByteArray> samples = archive->samples(list->first().id, v);
            QVERIFY(samples);
            QCOMPARE(samples->size(), store.SampleCounts().first() * 8);
            const QByteArray decoded(reinterpret_cast<const char *>(store.Values().constData()), samples->size());
            QCOMPARE(*samples, decoded); // little-endian floats, as this machine holds them
        }

        // Checking the last download again finds everything archived.
        TDataSetStore last;
        const QByteArray lastImage = image(downloads.last());
        QVERIFY(last.load(lastImage, lastImage.size()));
        Result<QList<RunOutcome>> checked = archive->check(last);
        QVERIFY(checked);
        QCOMPARE(checked->count(RunOutcome::AlreadyArchived), checked->size());
        QCOMPARE(archive->verify().valueOr({"verify failed"}), QStringList());
    }

    // A run reads back as the data set that was downloaded, with its
    // versions, the downloads that held it and its readings' ranges.
    void runDetails()
    {
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        ImageSet marked = namedSet(QStringLiteral("b5"));
        marked.fahrenheit().add(32767, -32768).add(-32768, 32767); // out of range on both channels
        ImageBuilder b;
        b.add(namedSet(QStringLiteral("a10"))).add(marked);
        const QByteArray first = b.build();
        for (const QByteArray &bytes : {first, image("a15")})
            QVERIFY(archive->add(download(bytes)));

        Result<QList<ArchiveRunInfo>> list = archive->runs();
        QVERIFY(list);
        QCOMPARE(list->size(), 2);
        const ArchiveRunInfo &a = list->at(0);
        const ArchiveRunInfo &m = list->at(1);
        QCOMPARE(a.humidityMin, std::optional<float>(40.0f));
        QCOMPARE(a.humidityMax, std::optional<float>(41.4f)); // the latest version: 15 samples
        QCOMPARE(a.temperatureMax, std::optional<float>(22.8f));
        QCOMPARE(m.humidityMax, std::optional<float>(40.4f)); // the markers do not count
        QCOMPARE(m.temperatureMin, std::optional<float>(20.0f));
        Result<QList<ArchiveDownloadInfo>> downloads = archive->downloadsOf(a.id);
        QVERIFY(downloads);
        QCOMPARE(downloads->size(), 2);
        QCOMPARE(downloads->at(0).version, 1);
        QCOMPARE(downloads->at(1).version, 2);
        QCOMPARE(a.firstDownloadUtc, downloads->at(0).whenUtc);
        QCOMPARE(a.lastDownloadUtc, downloads->at(1).whenUtc);
        QCOMPARE(m.lastDownloadUtc, downloads->at(0).whenUtc);
        QCOMPARE(a.firstDownloadUtcOffset, downloads->at(0).utcOffsetSeconds);
        QCOMPARE(downloads->at(0).imageSha256.size(), 64);
        Result<QList<ArchiveVersionInfo>> versions = archive->versions(a.id);
        QVERIFY(versions);
        QCOMPARE(versions->size(), 2);
        QCOMPARE(versions->at(0).samples, 10);
        QCOMPARE(versions->at(1).samplesSha256, a.samplesSha256);

        // Each version's store holds the downloaded data set, value for value.
        const QList<std::pair<QByteArray, int>> sources{{first, 0}, {image("a15"), 0}, {first, 1}};
        const QList<std::pair<qint64, int>> wanted{{a.id, 1}, {a.id, 0}, {m.id, 0}};
        for (int k = 0; k < sources.size(); ++k) {
            TDataSetStore original;
            QVERIFY(original.load(sources.at(k).first, sources.at(k).first.size()));
            const int set = sources.at(k).second;
            Result<TDataSetStore> store = archive->runStore(wanted.at(k).first, wanted.at(k).second);
            QVERIFY2(store, qPrintable(why(store)));
            QCOMPARE(store->SetCount(), 1);
            QCOMPARE(store->StartTimes().first(), original.StartTimes().at(set));
            QCOMPARE(store->Intervals().first(), original.Intervals().at(set));
            QCOMPARE(store->isFahrenheit(0), original.isFahrenheit(set));
            const qsizetype n = 2 * original.SampleCounts().at(set);
            QCOMPARE(store->Values(), original.Values().mid(2 * original.firstSample(set), n));
            QCOMPARE(store->Times(), original.Times().mid(2 * original.firstSample(set), n));
        }
        QCOMPARE(archive->runStore(99).code(), ErrorCode::NotFound);
        QCOMPARE(archive->downloadsOf(99).code(), ErrorCode::NotFound);
    }

    // A listing between two times holds the runs whose span overlaps them.
    void listsRunsBetween_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("runs");

        // a runs 08:00-08:09, b 09:00-09:04 (one minute apart).
        QTest::newRow("open") << "" << "" << 2;
        QTest::newRow("from inside a") << "2026-03-01T08:09:00" << "" << 2;
        QTest::newRow("from after a") << "2026-03-01T08:09:01" << "" << 1;
        QTest::newRow("to before b") << "" << "2026-03-01T08:59:59" << 1;
        QTest::newRow("between them") << "2026-03-01T08:30:00" << "2026-03-01T08:40:00" << 0;
        QTest::newRow("around both") << "2026-02-01T00:00:00" << "2026-04-01T00:00:00" << 2;
    }

    void listsRunsBetween()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, runs);
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        QVERIFY(archive->add(download(image("a10 b5"))));
        const ArchiveFilter filter{QDateTime::fromString(from, Qt::ISODate), QDateTime::fromString(to, Qt::ISODate)};
        QCOMPARE(archive->runs(filter).valueOr({}).size(), runs);
    }

    // An archive of the first schema gains the ranges of its runs.
    void migratesRangesOfExistingRuns()
    {
        {
            auto archive = openArchive(m_path);
            QVERIFY(archive);
            QVERIFY(archive->add(download(image("a10"))));
        }
        QVERIFY(sqlite3(m_path, "DROP INDEX download_run_version; ALTER TABLE run_version DROP COLUMN humidity_min; "
                                "ALTER TABLE run_version DROP COLUMN humidity_max; "
                                "ALTER TABLE run_version DROP COLUMN temperature_min; "
                                "ALTER TABLE run_version DROP COLUMN temperature_max; "
                                "DROP TABLE audit_entry; DROP TABLE monitor_event; DROP TABLE monitor_period; "
                                "DROP TABLE monitor_run; DELETE FROM schema_version WHERE version >= 2"));
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        const QList<ArchiveRunInfo> list = archive->runs().valueOr({});
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().humidityMax, std::optional<float>(40.9f));
        QCOMPARE(list.first().temperatureMin, std::optional<float>(20.0f));
    }

    // The logger's clock does not follow daylight saving time; a run across
    // a change of the PC's zone says so.
    void daylightSavingChange_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("note");

        const QString spring = "The logger's clock does not follow daylight saving time: this run spans a change on 2026-03-29.";
        QTest::newRow("winter") << "2026-01-10T08:00:00" << "2026-03-28T23:00:00" << "";
        QTest::newRow("across spring") << "2026-03-28T08:00:00" << "2026-03-29T08:00:00" << spring;
        QTest::newRow("ends just before it") << "2026-03-28T08:00:00" << "2026-03-29T01:59:59" << "";
        QTest::newRow("across autumn") << "2026-10-01T00:00:00" << "2026-11-01T00:00:00"
                                       << "The logger's clock does not follow daylight saving time: this run spans a "
                                          "change on 2026-10-25.";
        QTest::newRow("a whole year") << "2026-01-01T00:00:00" << "2026-12-31T00:00:00" << spring;
        QTest::newRow("one sample") << "2026-03-29T08:00:00" << "" << "";
    }

    void daylightSavingChange()
    {
        QFETCH(QString, start);
        QFETCH(QString, last);
        QFETCH(QString, note);
        const QTimeZone berlin("Europe/Berlin");
        QVERIFY(berlin.isValid());
        ArchiveRunInfo run;
        run.start = start;
        run.lastSample = last;
        QCOMPARE(daylightSavingNote(run, berlin), note);
        QCOMPARE(daylightSavingNote(run, QTimeZone::utc()), QString());
    }

    // A run started in the hour the PC's zone skips in spring keeps its start:
    // the logger's times are naive, and that local time has no instant.
    void startInTheSkippedHourIsKept()
    {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
        const auto restore = qScopeGuard([zone] {
            qputenv("TZ", zone);
            ::tzset();
        });
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        ImageSet set;
        set.at(QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC)).ramp(3, 400, 1, 200, 2);
        QVERIFY(archive->add(download(ImageBuilder().add(set).build())));
        const QList<ArchiveRunInfo> runs = archive->runs().valueOr({});
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().start, QStringLiteral("2026-03-29T02:30:00"));
        QCOMPARE(runs.first().firstSample, QStringLiteral("2026-03-29T02:30:00"));
    }

    void identicalImagesAreStoredOnce()
    {
        {
            auto archive = openArchive(m_path);
            QVERIFY(archive);
            QVERIFY(archive->add(download(image("a10"))));
            Result<ArchiveOutcome> again = archive->add(download(image("a10")));
            QVERIFY(again);
            QVERIFY(again->imageAlreadyArchived);
        }
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {m_path, QStringLiteral("SELECT COUNT(*) FROM image; SELECT COUNT(*) FROM run_chunk;")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.readAllStandardOutput(), QByteArray("1\n1\n"));
    }

    void verifyFindsEdits_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("found");

        QTest::newRow("untouched") << "" << "";
        QTest::newRow("host edited") << "UPDATE download SET host = 'elsewhere' WHERE id = 2"
                                     << "Download 2: its record does not match its hash.";
        QTest::newRow("time edited") << "UPDATE download SET when_utc = '2020-01-01T00:00:00.000Z' WHERE id = 1"
                                     << "Download 1: its record does not match its hash.";
        QTest::newRow("record removed") << "DELETE FROM download_run WHERE download_id = 2; DELETE FROM download WHERE id = 2"
                                        << "Download 3: it does not follow the download before it in the chain.";
        QTest::newRow("image edited") << "UPDATE image SET bytes = zeroblob(length(bytes)) WHERE id = 1"
                                      << "Image 1: its bytes do not match its SHA-256 and size.";
        QTest::newRow("samples edited") << "UPDATE run_chunk SET samples = zeroblob(length(samples)) WHERE run_id = 1"
                                        << "Run 1, version 1: its samples do not match their SHA-256.";
        QTest::newRow("hash recomputed for a forged version")
            << "UPDATE run_version SET samples_sha256 = '00' WHERE run_id = 1 AND version = 1"
            << "Download 1: its record does not match its hash.";
    }

    void verifyFindsEdits()
    {
        QFETCH(QString, edit);
        QFETCH(QString, found);
        {
            auto archive = openArchive(m_path);
            QVERIFY(archive);
            for (const char *sets : {"a10", "a15 b3", "a20 b3"})
                QVERIFY(archive->add(download(image(sets))));
        }
        if (!edit.isEmpty())
            QVERIFY(sqlite3(m_path, edit));
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        Result<QStringList> problems = archive->verify();
        QVERIFY(problems);
        if (found.isEmpty())
            QCOMPARE(*problems, QStringList());
        else
            QVERIFY2(problems->contains(found), qPrintable(problems->join(u'\n')));
    }

    void refusesArchivesItCannotUse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        QTest::newRow("not a database") << QByteArray(8192, 'x') << "" << int(ErrorCode::Damaged) << "is damaged";
        QTest::newRow("damaged header") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xff') << ""
                                        << int(ErrorCode::Damaged) << "is damaged";
        QTest::newRow("newer schema")
            << QByteArray() << "CREATE TABLE schema_version (version INTEGER, applied_utc TEXT); "
                               "INSERT INTO schema_version VALUES (1, ''), (7, '')"
            << int(ErrorCode::Refused)
            << QStringLiteral("has schema version 7, newer than this program reads (%1); it was left unchanged.")
                   .arg(Archive::SchemaVersion);
        QTest::newRow("another database") << QByteArray() << "CREATE TABLE t (x INTEGER)" << int(ErrorCode::NotData)
                                          << "is not an archive of this program.";
    }

    void refusesArchivesItCannotUse()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, sql);
        QFETCH(int, code);
        QFETCH(QString, message);

        if (!content.isEmpty())
            QVERIFY(writeFile(m_path, content));
        if (!sql.isEmpty())
            QVERIFY(sqlite3(m_path, sql));
        const QByteArray before = readFile(m_path);
        Result<std::unique_ptr<Archive>> archive = Archive::open(m_path, 50);
        QVERIFY(!archive);
        QCOMPARE(int(archive.code()), code);
        QVERIFY2(archive.message().contains(message), qPrintable(archive.message()));
        QCOMPARE(readFile(m_path), before);
    }

    // Another writer holds the archive: the write fails at once with a clear
    // message, and what is there stays whole.
    void lockedArchiveWritesNothing()
    {
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        QVERIFY(archive->add(download(image("a10"))));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(m_path);
            QVERIFY(other.open());
            QSqlQuery hold(other);
            QVERIFY2(hold.exec(QStringLiteral("BEGIN IMMEDIATE")), qPrintable(hold.lastError().text()));

            Result<ArchiveOutcome> added = archive->add(download(image("a15 b3")));
            QVERIFY(!added);
            QCOMPARE(added.code(), ErrorCode::Refused);
            QVERIFY2(added.message().contains(u"is in use by another program"), qPrintable(added.message()));
            QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        QCOMPARE(archive->downloadCount().valueOr(-1), 1);
        QCOMPARE(archive->runs().valueOr({}).size(), 1);
        QCOMPARE(archive->verify().valueOr({"verify failed"}), QStringList());
        Result<ArchiveOutcome> added = archive->add(download(image("a15 b3")));
        QVERIFY(added);
        QCOMPARE(added->count(RunOutcome::Grown), 1);
    }

    void backupIsAWholeArchive()
    {
        auto archive = openArchive(m_path);
        QVERIFY(archive);
        QVERIFY(archive->add(download(image("a10 b5"))));
        const QString copy = m_dir.filePath(QStringLiteral("copy-%1.sqlite").arg(m_n));
        QVERIFY(archive->backup(copy));
        Result<> again = archive->backup(copy);
        QVERIFY(!again);
        QCOMPARE(again.code(), ErrorCode::WriteFailed);

        auto restored = openArchive(copy);
        QVERIFY(restored);
        QCOMPARE(restored->runs().valueOr({}).size(), 2);
        QCOMPARE(restored->verify().valueOr({"verify failed"}), QStringList());
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_n = 0;
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
