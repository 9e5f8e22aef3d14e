#include "ImageBuilder.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/SiteForwarder.h"
#include "TestFiles.h"
#include "TestProcesses.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The site archive on a real PostgreSQL server: ctest runs this program
// under pg_virtualenv, which starts a throw-away cluster and sets PGHOST,
// PGPORT, PGUSER (a superuser) and PGPASSWORD. Workstations are kv518-cli
// processes with archives of their own, named by KV518_WORKSTATION, writing
// as a login in the kv518_writer role.
class TestSiteArchive : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_url;
    const QString m_database = QStringLiteral("kv518_site");

    // A superuser's connection to the site database.
    QSqlDatabase admin(const QString &database)
    {
        const QString name = QStringLiteral("admin-") + database;
        if (QSqlDatabase::contains(name))
            return QSqlDatabase::database(name);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setDatabaseName(database);
        db.open();
        return db;
    }

    // Runs statements one by one; the first error, empty when none.
    QString exec(const QStringList &statements, const QString &database = QString())
    {
        QSqlQuery q(admin(database.isEmpty() ? m_database : database));
        for (const QString &sql : statements)
            if (!q.exec(sql))
                return q.lastError().text();
        return QString();
    }
    QString exec(const QString &sql, const QString &database = QString()) { return exec(QStringList{sql}, database); }

    qint64 count(const QString &table)
    {
        QSqlQuery q(admin(m_database));
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && q.next() ? q.value(0).toLongLong() : -1;
    }

    // A workstation: its own archive file and name, the writer's login.
    QProcessEnvironment workstation(const QString &name)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KV518_WORKSTATION"), name);
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("writer-secret"));
        return env;
    }
    QString archiveOf(const QString &name) { return m_dir.filePath(name + QStringLiteral(".sqlite")); }

    CliRun cli(const QString &name, QStringList args)
    {
        return runCli(args << QStringLiteral("--archive") << archiveOf(name) << QStringLiteral("--url") << m_url,
                      workstation(name));
    }

    // Imports a collection of one data set starting at minute into a workstation's archive.
    void importInto(const QString &name, int minute, int samples = 400)
    {
        ImageSet set;
        set.minute = quint8(minute);
        set.ramp(samples, 300, 1, 200, 1);
        const QString file = m_dir.filePath(QStringLiteral("%1-%2-%3.518").arg(name).arg(minute).arg(samples));
        QVERIFY(writeFile(file, ImageBuilder().add(set).build()));
        const CliRun r = runCli({"archive", "import", file, "--archive", archiveOf(name)}, workstation(name));
        QVERIFY2(r.code == 0, r.err.constData());
    }

    static QJsonObject json(const QByteArray &text) { return QJsonDocument::fromJson(text).object(); }

    // The roles, as docs/site-archive.md has them made (and made again after
    // an archive init that brought the schema up to date).
    bool grantRoles()
    {
        return QProcess::execute(QStringLiteral("psql"),
                                 {"-q", "-d", m_database, "-v", "ON_ERROR_STOP=1", "-f",
                                  QStringLiteral(KV518_SOURCE_DIR "/packaging/postgresql/kv518-site.sql")})
               == 0;
    }

    static bool cluster(const char *action)
    {
        return QProcess::execute(QStringLiteral("pg_ctlcluster"),
                                 {qEnvironmentVariable("PGVERSION", QStringLiteral("15")), QStringLiteral("regress"),
                                  QString::fromLatin1(action), QStringLiteral("-m"), QStringLiteral("fast")})
               == 0;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PGPORT"))
            QSKIP("no PostgreSQL server: run under pg_virtualenv (ctest does)");
        QVERIFY(m_dir.isValid());
        QCOMPARE(exec(QStringLiteral("CREATE DATABASE ") + m_database, QStringLiteral("postgres")), QString());
        m_url = QStringLiteral("postgresql:///%1?user=workstation").arg(m_database);
        const CliRun init = runCli({"archive", "init", "--url", QStringLiteral("postgresql:///") + m_database});
        QVERIFY2(init.code == 0, init.err.constData());
        QVERIFY(grantRoles());
        QCOMPARE(exec(QStringLiteral("CREATE ROLE workstation LOGIN PASSWORD 'writer-secret' IN ROLE kv518_writer")),
                 QString());
    }

    // Two workstations download the same logger and send at the same time:
    // its runs are stored once, with both downloads and both workstations.
    void twoWorkstationsConverge()
    {
        const QString image = m_dir.filePath(QStringLiteral("logger.518"));
        QVERIFY(writeFile(image, ImageBuilder::sampleCollection().build()));
        SimProcess simA({"--image", image});
        SimProcess simB({"--image", image});
        QVERIFY(!simA.path().isEmpty() && !simB.path().isEmpty());
        const QStringList names{QStringLiteral("pc-a"), QStringLiteral("pc-b")};
        const QStringList ports{simA.path(), simB.path()};
        for (int i = 0; i < 2; ++i) {
            const CliRun d = runCli({"download", "--port", ports[i], "-o", m_dir.filePath(names[i] + ".518"), "--quiet",
                                     "--archive", archiveOf(names[i])},
                                    workstation(names[i]));
            QVERIFY2(d.code == 0, d.err.constData());
        }
        QProcess syncs[2];
        for (int i = 0; i < 2; ++i) {
            syncs[i].setProcessEnvironment(workstation(names[i]));
            syncs[i].start(QStringLiteral(KV518_CLI_PATH),
                           {"archive", "sync", "--json", "--archive", archiveOf(names[i]), "--url", m_url});
        }
        for (QProcess &p : syncs) {
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
            const QJsonObject report = json(p.readAllStandardOutput());
            QCOMPARE(report.value("sent").toInt(), 1);
            QCOMPARE(report.value("waiting").toInt(), 0);
        }
        QCOMPARE(count(QStringLiteral("download")), 2);
        QCOMPARE(count(QStringLiteral("image")), 1);
        QCOMPARE(count(QStringLiteral("run")), 3);
        QCOMPARE(count(QStringLiteral("run_version")), 3);

        const CliRun list = cli(names[0], {"archive", "list", "--json"});
        QCOMPARE(list.code, 0);
        const QJsonArray runs = QJsonDocument::fromJson(list.out).array();
        QCOMPARE(runs.size(), 3);
        for (const QJsonValue &r : runs)
            QCOMPARE(r.toObject().value("workstations").toArray(), QJsonArray({"pc-a", "pc-b"}));
        const CliRun again = cli(names[1], {"archive", "sync", "--json"});
        QCOMPARE(json(again.out).value("sent").toInt(), 0);
    }

    // The server goes away: the sync fails, nothing blocks, the outbox keeps
    // every record; when it is back, the outbox drains. A record the server
    // stored but whose confirmation was lost is sent again and stored once.
    void serverAwayThenBack()
    {
        const QString pc = QStringLiteral("pc-c");
        for (int minute : {1, 2, 3})
            importInto(pc, minute);
        QVERIFY(cluster("stop"));
        const CliRun failed = cli(pc, {"archive", "sync", "--json"});
        const bool started = cluster("start");
        QVERIFY(started);
        for (const QString &name : QSqlDatabase::connectionNames()) {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
            QVERIFY(db.open());
        }
        QCOMPARE(failed.code, 4);
        QCOMPARE(json(failed.out).value("waiting").toInt(), 3);
        QCOMPARE(cli(pc, {"archive", "status"}).out, QByteArray("Site archive: 3 downloads waiting\n"));

        const qint64 before = count(QStringLiteral("download"));
        const CliRun drained = cli(pc, {"archive", "sync", "--json"});
        QVERIFY2(drained.code == 0, drained.err.constData());
        QCOMPARE(json(drained.out).value("sent").toInt(), 3);
        QCOMPARE(count(QStringLiteral("download")), before + 3);

        QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
        local.setDatabaseName(archiveOf(pc));
        QVERIFY(local.open());
        QVERIFY(QSqlQuery(local).exec(QStringLiteral("DELETE FROM site_confirmed WHERE download_id = 2")));
        local.close();
        const CliRun resent = cli(pc, {"archive", "sync", "--json"});
        QCOMPARE(json(resent.out).value("already_stored").toInt(), 1);
        QCOMPARE(count(QStringLiteral("download")), before + 3);
        QCOMPARE(cli(pc, {"archive", "status"}).out, QByteArray("Site archive: up to date\n"));
    }

    // Every workstation's audit trail is on the server, each entry once: a
    // resent entry is not stored again, and a review made later follows.
    void auditTrailIsForwarded()
    {
        const QString pc = QStringLiteral("pc-c");
        QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("audit"));
        local.setDatabaseName(archiveOf(pc));
        QVERIFY(local.open());
        const auto entries = [&local](const QString &where) {
            QSqlQuery q(local);
            return q.exec(QStringLiteral("SELECT COUNT(*) FROM audit_entry ") + where) && q.next() ? q.value(0).toLongLong()
                                                                                                 : -1;
        };
        QVERIFY(QSqlQuery(local).exec(QStringLiteral("DELETE FROM site_audit_confirmed WHERE entry_id = 2")));
        QCOMPARE(runCli({"archive", "review", "1", "--status", "reviewed", "--comment", "checked", "--archive",
                         archiveOf(pc)},
                        workstation(pc))
                     .code,
                 0);
        QCOMPARE(cli(pc, {"archive", "status"}).out, QByteArray("Site archive: 2 audit entries waiting\n"));
        const qint64 before = count(QStringLiteral("audit_entry"));

        const CliRun sent = cli(pc, {"archive", "sync", "--json"});
        QVERIFY2(sent.code == 0, sent.err.constData());
        QCOMPARE(json(sent.out).value("audit_sent").toInt(), 1);
        QCOMPARE(json(sent.out).value("audit_already_stored").toInt(), 1);
        QCOMPARE(json(sent.out).value("audit_waiting").toInt(), 0);
        QCOMPARE(count(QStringLiteral("audit_entry")), before + 1);
        QSqlQuery server(admin(m_database));
        QVERIFY(server.exec(QStringLiteral("SELECT COUNT(*), MAX(local_id) FROM audit_entry WHERE workstation = 'pc-c'")));
        QVERIFY(server.next());
        QCOMPARE(server.value(0).toLongLong(), entries(QString()));
        QCOMPARE(server.value(1).toLongLong(), entries(QString()));
        local.close();
    }

    // An entry that belongs to no download reaches the server as soon as
    // it is appended, not on the next download: a pass that succeeded
    // leaves no timer to send it later.
    void auditEntryForwardedAtOnce()
    {
        const QString path = m_dir.filePath(QStringLiteral("in-process.sqlite"));
        Result<std::unique_ptr<Archive>> archive = Archive::open(path);
        QVERIFY(archive);
        SiteForwarder forwarder(path, QStringLiteral("postgresql:///") + m_database);
        QSignalSpy passes(&forwarder, &SiteForwarder::passEnded);
        QVERIFY(passes.wait(20000));
        QCOMPARE(passes.first().at(2).toString(), QString());
        const QString onServer = QStringLiteral("audit_entry WHERE workstation = '%1'").arg(Archive::workstationName());
        const qint64 before = count(onServer);
        QVERIFY(AuditTrail::append(**archive, AuditEntry::here(QStringLiteral("export"))));
        QTRY_COMPARE_WITH_TIMEOUT(count(onServer), before + 1, 20000);
    }

    // A server of schema version 2 brought up to date lists what it listed
    // before: the migration fills run_download from the rows already there.
    void olderServerListsTheSameRuns()
    {
        const CliRun before = cli(QStringLiteral("pc-a"), {"archive", "list", "--json"});
        QCOMPARE(before.code, 0);
        QVERIFY(!QJsonDocument::fromJson(before.out).array().isEmpty());
        QCOMPARE(exec(QStringList{"SET session_replication_role = replica", "DROP TABLE run_download",
                                  "DROP TRIGGER download_run_listed ON download_run",
                                  "DROP FUNCTION kv518_list_download_run()", "DELETE FROM schema_version WHERE version = 3",
                                  "SET session_replication_role = origin"}),
                 QString());
        const CliRun init = runCli({"archive", "init", "--url", QStringLiteral("postgresql:///") + m_database});
        QVERIFY2(init.code == 0, init.err.constData());
        QVERIFY(grantRoles());
        const CliRun after = cli(QStringLiteral("pc-a"), {"archive", "list", "--json"});
        QVERIFY2(after.code == 0, after.err.constData());
        QCOMPARE(after.out, before.out);
    }

    void recordsCannotChange_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("statement");
        QTest::newRow("writer updates") << "workstation" << "UPDATE download SET os_user = 'someone'";
        QTest::newRow("writer deletes") << "workstation" << "DELETE FROM run_version";
        QTest::newRow("owner updates") << "" << "UPDATE image SET size = 1";
        QTest::newRow("owner deletes") << "" << "DELETE FROM download_run";
        QTest::newRow("owner truncates") << "" << "TRUNCATE download_run";
        QTest::newRow("writer updates an audit entry") << "workstation" << "UPDATE audit_entry SET reason = 'none'";
        QTest::newRow("owner deletes audit entries") << "" << "DELETE FROM audit_entry";
        QTest::newRow("owner truncates the audit trail") << "" << "TRUNCATE audit_entry";
        QTest::newRow("writer adds to the listing") << "workstation"
                                                    << "INSERT INTO run_download SELECT * FROM run_download LIMIT 1";
        QTest::newRow("owner deletes from the listing") << "" << "DELETE FROM run_download";
    }

    void recordsCannotChange()
    {
        QFETCH(QString, role);
        QFETCH(QString, statement);
        const qint64 before = count(QStringLiteral("download_run"));
        QSqlDatabase db = admin(m_database);
        QVERIFY(db.transaction());
        if (!role.isEmpty())
            QCOMPARE(exec(QStringLiteral("SET LOCAL ROLE ") + role), QString());
        const QString refused = exec(statement);
        QVERIFY(db.rollback());
        QVERIFY2(refused.contains(role.isEmpty() ? "never changed" : "permission denied"), qPrintable(refused));
        QCOMPARE(count(QStringLiteral("download_run")), before);
    }

    // A superuser who turns the triggers off can change a record; verify
    // finds every change.
    void alteredRecordIsFound()
    {
        const CliRun sound = cli(QStringLiteral("pc-a"), {"archive", "verify"});
        QVERIFY2(sound.code == 0, sound.err.constData());
        QVERIFY(sound.out.startsWith("The site archive is sound: 5 download(s) from 3 workstation(s)"));
        QCOMPARE(exec(QStringList{"SET session_replication_role = replica",
                                  "UPDATE download SET os_user = 'someone' WHERE workstation = 'pc-b'",
                                  "UPDATE audit_entry SET reason = 'forged' WHERE workstation = 'pc-c' AND local_id = 2",
                                  "UPDATE run_version SET bytes = decode('00000000', 'hex') || bytes "
                                  "WHERE id = (SELECT MIN(id) FROM run_version)",
                                  "SET session_replication_role = origin"}),
                 QString());
        const CliRun found = cli(QStringLiteral("pc-a"), {"archive", "verify"});
        QCOMPARE(found.code, 5);
        QVERIFY2(found.out.contains("Workstation pc-b, download 1: its record does not match its hash."), found.out.constData());
        QVERIFY2(found.out.contains("its samples do not match their SHA-256."), found.out.constData());
        QVERIFY2(found.out.contains("Workstation pc-c, audit entry 2: it does not match its hash."), found.out.constData());
        QVERIFY2(found.out.contains("The listing of runs does not match the records in 3 row(s)."), found.out.constData());
    }

    // A run is listed as its latest version, each version counted once,
    // with every workstation and user that downloaded any of them.
    void runListedAsItsLatestVersion()
    {
        importInto(QStringLiteral("pc-d"), 1, 500); // pc-c's run of minute 1, longer
        importInto(QStringLiteral("pc-e"), 1);      // and the version pc-c has
        for (const char *pc : {"pc-d", "pc-e"})
            QCOMPARE(cli(QString::fromLatin1(pc), {"archive", "sync"}).code, 0);
        const CliRun list = cli(QStringLiteral("pc-a"), {"archive", "list", "--json"});
        QCOMPARE(list.code, 0);
        QJsonObject run;
        for (const QJsonValue &r : QJsonDocument::fromJson(list.out).array())
            if (r.toObject().value("workstations").toArray().contains(QJsonValue("pc-d")))
                run = r.toObject();
        QCOMPARE(run.value("samples").toInt(), 500);
        QCOMPARE(run.value("versions").toInt(), 2);
        QCOMPARE(run.value("workstations").toArray(), QJsonArray({"pc-c", "pc-d", "pc-e"}));
        QCOMPARE(run.value("users").toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSiteArchive)
#include "tst_site_archive.moc"
