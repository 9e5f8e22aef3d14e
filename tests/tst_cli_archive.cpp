#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TestProcesses.h"

#include "core/archive/Archive.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/resource.h>

namespace {

// A collection of two data sets of n samples each, their starts set by k.
QByteArray collection(int k, int samples)
{
    ImageBuilder b;
    for (int s = 0; s < 2; ++s) {
        ImageSet set;
        set.month = quint8(1 + k / 28 % 12);
        set.day = quint8(1 + k % 28);
        set.hour = quint8(12 * s);
        b.add(set.ramp(samples, 300 + k, 0, 200 + s, 0));
    }
    return b.build();
}

// What an archive holds after a write was cut off: the downloads it opens
// with, every one whole (its two runs there), none half; empty when it does
// not open or does not verify.
std::optional<qint64> soundDownloads(const QString &path, const QStringList &files)
{
    QProcess check;
    check.start(QStringLiteral("sqlite3"), {path, QStringLiteral("PRAGMA integrity_check")});
    if (!check.waitForFinished() || check.readAllStandardOutput() != "ok\n")
        return std::nullopt;
    Result<std::unique_ptr<Archive>> archive = Archive::open(path);
    Result<QStringList> problems = archive ? (*archive)->verify() : Result<QStringList>(archive.failure());
    Result<qint64> downloads = archive ? (*archive)->downloadCount() : Result<qint64>(archive.failure());
    if (!problems || !problems->isEmpty() || !downloads)
        return std::nullopt;
    for (qint64 id = 1; id <= *downloads; ++id) {
        Result<ArchiveRecord> r = (*archive)->record(id);
        if (!r || r->sets.size() != 2 || r->sourcePath != QFileInfo(files.value(id - 1)).absoluteFilePath())
            return std::nullopt;
    }
    if ((*archive)->runs().valueOr({}).size() != 2 * *downloads)
        return std::nullopt;
    return *downloads;
}

// The downloads committed to the archive at path so far, read as another
// program would read them; -1 before there is an archive to read.
qint64 committedDownloads(const QString &path)
{
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("watch"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (QFileInfo::exists(path) && db.open() && q.exec(QStringLiteral("SELECT COUNT(*) FROM download")) && q.next())
            n = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("watch"));
    return n;
}

} // namespace

// kv518-cli's archive: what a download leaves in it, and the archive commands.
class TestCliArchive : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_archive = m_dir.filePath(QStringLiteral("archive-%1.sqlite").arg(++m_n));
    }

    void downloadIsArchived_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");

        QTest::newRow("archived") << QStringList{"--archive", "ARCHIVE"}
                                  << QByteArray("Archived: 3 data sets (3 new, 0 grown, 0 already archived)\n")
                                  << QByteArray();
        QTest::newRow("not asked to") << QStringList{"--no-archive", "--archive", "ARCHIVE"} << QByteArray()
                                      << QByteArray();
        QTest::newRow("archive cannot be opened")
            << QStringList{"--archive", "DIR"} << QByteArray()
            << QByteArray("The download is not archived: Cannot open the archive");
    }

    // The collection is written whatever becomes of the archive.
    void downloadIsArchived()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const QByteArray image = ImageBuilder::sampleCollection().build();
        const QString source = m_dir.filePath(QStringLiteral("source.518"));
        const QString output = m_dir.filePath(QStringLiteral("out-%1.518").arg(m_n));
        QVERIFY(writeFile(source, image));
        options.replaceInStrings(QStringLiteral("ARCHIVE"), m_archive);
        options.replaceInStrings(QStringLiteral("DIR"), m_dir.path());

        SimProcess sim({"--image", source});
        QVERIFY(!sim.path().isEmpty());
        const CliRun r = runCli(QStringList{"download", "--port", sim.path(), "-o", output, "--quiet"} + options);
        QCOMPARE(r.code, 0);
        QCOMPARE(readFile(output), image);
        QVERIFY2(r.out.startsWith(out) && r.out.contains("Saved 3 data set(s)"), r.out.constData());
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(err), r.err.constData());
        QCOMPARE(QFile::exists(m_archive), !out.isEmpty());
        if (out.isEmpty())
            return;

        const CliRun list = runCli({"archive", "list", "--json", "--archive", m_archive});
        QCOMPARE(list.code, 0);
        const QJsonArray runs = QJsonDocument::fromJson(list.out).array();
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs.at(1).toObject().value("unit").toString(), QStringLiteral("F"));
    }

    void commands_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("verifyCode");
        QTest::addColumn<QByteArray>("verifyOut");

        QTest::newRow("sound") << "" << 0 << QByteArray("The archive is sound: 2 download(s)");
        QTest::newRow("a record edited") << "UPDATE download SET os_user = 'someone' WHERE id = 1" << 5
                                         << QByteArray("Download 1: its record does not match its hash.\n");
    }

    void commands()
    {
        QFETCH(QString, edit);
        QFETCH(int, verifyCode);
        QFETCH(QByteArray, verifyOut);
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));

        CliRun r = runCli({"archive", "import", collection, collection, "--archive", m_archive});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count("Archived: 3 data sets"), 2);
        QVERIFY(r.out.contains("(0 new, 0 grown, 3 already archived)"));

        if (!edit.isEmpty())
            QCOMPARE(QProcess::execute(QStringLiteral("sqlite3"), {m_archive, edit}), 0);
        r = runCli({"archive", "verify", "--archive", m_archive});
        QCOMPARE(r.code, verifyCode);
        QVERIFY2(r.out.startsWith(verifyOut), r.out.constData());

        const QString copy = m_archive + QStringLiteral(".copy");
        r = runCli({"archive", "backup", "-o", copy, "--archive", m_archive});
        QCOMPARE(r.code, 0);
        r = runCli({"archive", "verify", "--archive", copy});
        QCOMPARE(r.code, verifyCode);
        r = runCli({"archive", "backup", "-o", copy, "--archive", m_archive});
        QCOMPARE(r.code, 5);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("err");

        QTest::newRow("no subcommand") << QStringList{"archive"} << 2 << QByteArray("archive needs list, show, export");
        QTest::newRow("unknown subcommand") << QStringList{"archive", "erase"} << 2
                                            << QByteArray("Unknown archive command \"erase\"");
        QTest::newRow("missing archive") << QStringList{"archive", "list", "--archive", "MISSING"} << 5
                                         << QByteArray("There is no archive");
        QTest::newRow("import nothing") << QStringList{"archive", "import", "--archive", "MISSING"} << 2
                                        << QByteArray("archive import needs at least one FILE");
        QTest::newRow("import a file that is no collection")
            << QStringList{"archive", "import", "MISSING", "--archive", "ARCHIVE"} << 5 << QByteArray("MISSING");
        QTest::newRow("show without a run") << QStringList{"archive", "show", "--archive", "ARCHIVE"} << 2
                                            << QByteArray("archive show needs a RUN");
        QTest::newRow("export without -o") << QStringList{"archive", "export", "1", "--archive", "ARCHIVE"} << 2
                                           << QByteArray("archive export needs -o OUT");
        QTest::newRow("a run that is none") << QStringList{"archive", "show", "x1", "--archive", "ARCHIVE"} << 2
                                            << QByteArray("\"x1\" is not a run number");
        QTest::newRow("backup without -o") << QStringList{"archive", "backup", "--archive", "ARCHIVE"} << 2
                                           << QByteArray("archive backup needs -o FILE");
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QByteArray, err);
        const QString missing = m_dir.filePath(QStringLiteral("missing"));
        arguments.replaceInStrings(QStringLiteral("MISSING"), missing);
        arguments.replaceInStrings(QStringLiteral("ARCHIVE"), m_archive);
        err.replace("MISSING", missing.toUtf8());
        const CliRun r = runCli(arguments);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(err), r.err.constData());
    }

    // A file holds exactly an archived run, or says where it stops doing so.
    void verifyFile_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("editLine"); // 0-based line whose humidity is changed; -1: none; -2: last line removed
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out");

        QTest::newRow("txt") << "txt" << -1 << 0 << QByteArray(": matches run 1, version 1 (10 samples).");
        QTest::newRow("csv") << "csv" << -1 << 0 << QByteArray(": matches run 1, version 1 (10 samples).");
        QTest::newRow("graph file") << "ghf" << -1 << 0 << QByteArray(": matches run 1, version 1 (10 samples).");
        QTest::newRow("collection") << "518" << -1 << 0 << QByteArray(", data set 1: matches run 1, version 1");
        QTest::newRow("a reading changed") << "txt" << 2 << 5
                                           << QByteArray("differs from run 1, version 1 from sample 3 on: 1 of 10 "
                                                         "samples differ (10 in the file, 10 archived).");
        QTest::newRow("a sample missing") << "csv" << -2 << 5
                                          << QByteArray("from sample 10 on: 1 of 10 samples differ (9 in the file");
        QTest::newRow("the first sample changed") << "txt" << 0 << 5 << QByteArray("from sample 1 on: 1 of 10");
    }

    void verifyFile()
    {
        QFETCH(QString, format);
        QFETCH(int, editLine);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
        QCOMPARE(runCli({"archive", "import", collection, "--archive", m_archive}).code, 0);
        const QString file = m_dir.filePath(QStringLiteral("run-%1.%2").arg(m_n).arg(format));
        CliRun r = runCli({"archive", "export", "1", "-o", file, "--archive", m_archive});
        QCOMPARE(r.code, 0);
        if (editLine != -1) {
            QList<QByteArray> lines = readFile(file).split('\n');
            if (lines.last().isEmpty())
                lines.removeLast();
            if (editLine == -2) {
                lines.removeLast();
            } else {
                const char separator = format == u"csv" ? ',' : '\t';
                QList<QByteArray> fields = lines[editLine].split(separator);
                fields[1] = "99.9";
                lines[editLine] = fields.join(separator);
            }
            QVERIFY(writeFile(file, lines.join('\n') + '\n'));
        }
        r = runCli({"archive", "verify", file, "--archive", m_archive});
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.contains(out), r.out.constData());
    }

    // A data file goes in as the data set it holds: the image built from it
    // is the one a collection of that run holds, so its run is already
    // archived. One it cannot take leaves the archive as it was.
    void importsDataFiles_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("said"); // on stdout when imported, on stderr otherwise

        const QByteArray same("Archived: 1 data set (0 new, 0 grown, 1 already archived), built from a data file\n");
        QTest::newRow("txt") << "txt" << "" << 0 << same;
        QTest::newRow("csv") << "csv" << "" << 0 << same;
        QTest::newRow("csv with semicolons") << "csv" << "semicolons" << 0 << same;
        QTest::newRow("graph file") << "ghf" << "" << 0 << same;
        QTest::newRow("an undated line") << "txt" << "undated" << 5 << QByteArray("1 of 10 lines of");
        QTest::newRow("a sample missing inside") << "csv" << "gap" << 5
                                                 << QByteArray("samples are not evenly spaced, as a logger records "
                                                               "them (sample 5).");
        QTest::newRow("no data line") << "txt" << "empty" << 5 << QByteArray("holds no data line.");
    }

    void importsDataFiles()
    {
        QFETCH(QString, format);
        QFETCH(QString, edit);
        QFETCH(int, code);
        QFETCH(QByteArray, said);
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
        QCOMPARE(runCli({"archive", "import", collection, "--archive", m_archive}).code, 0);
        const QString file = m_dir.filePath(QStringLiteral("data-%1.%2").arg(m_n).arg(format));
        QCOMPARE(runCli({"archive", "export", "1", "-o", file, "--archive", m_archive}).code, 0);
        QList<QByteArray> lines = readFile(file).split('\n');
        if (edit == u"semicolons")
            for (QByteArray &line : lines)
                line.replace(',', ';');
        else if (edit == u"undated")
            lines[3] = "yesterday\t50.0\t20.0\r";
        else if (edit == u"gap")
            lines.removeAt(4);
        else if (edit == u"empty")
            lines = {"\r\n"};
        if (!edit.isEmpty())
            QVERIFY(writeFile(file, lines.join('\n')));

        CliRun r = runCli({"archive", "import", file, "--archive", m_archive});
        QCOMPARE(r.code, code);
        if (code == 0)
            QCOMPARE(r.out, file.toUtf8() + ": " + said);
        else
            QVERIFY2(r.err.contains(file.toUtf8() + ": ") && r.err.contains(said), r.err.constData());
        r = runCli({"archive", "verify", "--archive", m_archive});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(code == 0 ? "2 download(s)" : "1 download(s)"), r.out.constData());
        if (code != 0)
            return;
        r = runCli({"archive", "show", "1", "--json", "--archive", m_archive});
        const QJsonObject last = QJsonDocument::fromJson(r.out).object().value("downloads").toArray().last().toObject();
        QCOMPARE(last.value("source").toString(), QStringLiteral("import"));
        QCOMPARE(last.value("source_path").toString(), QFileInfo(file).absoluteFilePath());
    }

    // A write the disk cannot take (here a file-size limit: SQLite's
    // writes past it fail as they do on a full disk) fails aloud, leaves the
    // archive as it was, and goes in once there is room.
    void fullDiskWritesNothing()
    {
        const QStringList files{m_dir.filePath(QStringLiteral("small-%1.518").arg(m_n)),
                                m_dir.filePath(QStringLiteral("large-%1.518").arg(m_n))};
        QVERIFY(writeFile(files[0], collection(0, 50)));
        QVERIFY(writeFile(files[1], collection(1, 100000)));
        QCOMPARE(runCli({"archive", "import", files[0], "--archive", m_archive}).code, 0);

        QProcess limited;
        limited.setChildProcessModifier([] {
            const rlimit limit{128 * 1024, 128 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        });
        limited.start(QStringLiteral(KV518_CLI_PATH), {"archive", "import", files[1], "--archive", m_archive});
        QVERIFY(limited.waitForFinished(60000));
        QCOMPARE(limited.exitStatus(), QProcess::NormalExit);
        QCOMPARE(limited.exitCode(), 5);
        const QByteArray err = limited.readAllStandardError();
        QVERIFY2(err.contains(files[1].toUtf8() + ": Cannot write the archive \"" + m_archive.toUtf8() + "\": "),
                 err.constData());
        QCOMPARE(soundDownloads(m_archive, files), std::optional<qint64>(1));

        const CliRun r = runCli({"archive", "import", files[1], "--archive", m_archive});
        QCOMPARE(r.code, 0);
        QCOMPARE(soundDownloads(m_archive, files), std::optional<qint64>(2));
    }

    // An import killed (SIGKILL) at a moment chosen at random leaves every
    // download it archived whole and nothing of the one it was writing.
    void killedImportLeavesWholeDownloads()
    {
        QStringList files;
        for (int k = 0; k < 12; ++k) {
            files << m_dir.filePath(QStringLiteral("kill-%1.518").arg(k));
            QVERIFY(writeFile(files.last(), collection(k, 30000)));
        }
        QRandomGenerator random(518);
        for (int round = 0; round < 5; ++round) {
            const QString path = m_dir.filePath(QStringLiteral("killed-%1-%2.sqlite").arg(m_n).arg(round));
            const int committed = int(random.bounded(files.size() - 2)); // downloads archived before the kill
            QProcess p;
            p.start(QStringLiteral(KV518_CLI_PATH), QStringList{"archive", "import"} + files + QStringList{"--archive", path});
            QVERIFY(p.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(committed == 0 || committedDownloads(path) >= committed, 60000);
            // The moment of the kill within the next write: chosen, not waited for.
            QThread::usleep(random.bounded(20000));
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished());
            const std::optional<qint64> downloads = soundDownloads(path, files);
            QVERIFY2(downloads, qPrintable(path));
            QVERIFY2(*downloads >= committed, qPrintable(QString::number(*downloads)));
        }
    }

    // show names the versions and downloads, report writes the run's PDF.
    void showAndReport()
    {
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
        QCOMPARE(runCli({"archive", "import", collection, "--archive", m_archive}).code, 0);
        CliRun r = runCli({"archive", "show", "2", "--json", "--archive", m_archive});
        QCOMPARE(r.code, 0);
        const QJsonObject run = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(run.value("unit").toString(), QStringLiteral("F"));
        QCOMPARE(run.value("version_list").toArray().size(), 1);
        const QJsonObject download = run.value("downloads").toArray().at(0).toObject();
        QCOMPARE(download.value("source").toString(), QStringLiteral("import"));
        QCOMPARE(download.value("image_sha256").toString().size(), 64);
        QCOMPARE(runCli({"archive", "show", "9", "--archive", m_archive}).code, 3);

        const QString pdf = m_dir.filePath(QStringLiteral("run-%1.pdf").arg(m_n));
        r = runCli({"archive", "report", "2", "-o", pdf, "--archive", m_archive});
        QCOMPARE(r.code, 0);
        QVERIFY(readFile(pdf).startsWith("%PDF"));
        // The first page, the sample table, and a page of the run's history.
        const int samples = run.value("samples").toInt();
        QCOMPARE(r.out, QStringLiteral("Wrote %1 page(s) of run 2 to %2\n").arg(2 + (samples + 49) / 50).arg(pdf).toUtf8());
    }

    // Reviews, exports and verifies are in the audit trail, which audit list
    // filters and audit export writes as CSV or PDF.
    void auditTrail_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<QStringList>("kinds");
        QTest::newRow("all") << QStringList() << QStringList{"import", "import", "import", "review", "export", "verify"};
        QTest::newRow("kind") << QStringList{"--kind", "review"} << QStringList{"review"};
        QTest::newRow("run") << QStringList{"--run", "1"} << QStringList{"import", "review", "export"};
        QTest::newRow("another user") << QStringList{"--user", "nobody-else"} << QStringList();
        QTest::newRow("until long ago") << QStringList{"--to", "2000-01-01"} << QStringList();
    }
    void auditTrail()
    {
        QFETCH(QStringList, filter);
        QFETCH(QStringList, kinds);
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
        QCOMPARE(runCli({"archive", "import", collection, "--archive", m_archive}).code, 0);
        QCOMPARE(runCli({"archive", "review", "1", "--status", "reviewed", "--archive", m_archive}).code, 2);
        QCOMPARE(runCli({"archive", "review", "1", "--status", "reviewed", "--comment", "ranges checked", "--archive",
                         m_archive}).code, 0);
        const QString csv = m_dir.filePath(QStringLiteral("run-%1.csv").arg(m_n));
        QCOMPARE(runCli({"archive", "export", "1", "-o", csv, "--archive", m_archive}).code, 0);
        QCOMPARE(runCli({"archive", "verify", "--archive", m_archive}).code, 0);
        CliRun r = runCli(QStringList{"audit", "list", "--json", "--archive", m_archive} + filter);
        QCOMPARE(r.code, 0);
        QStringList listed;
        for (const QJsonValue &e : QJsonDocument::fromJson(r.out).array())
            listed << e["kind"].toString();
        QCOMPARE(listed, kinds);
        const QString trail = m_dir.filePath(QStringLiteral("trail-%1.csv").arg(m_n));
        QCOMPARE(runCli(QStringList{"audit", "export", "-o", trail, "--archive", m_archive} + filter).code, 0);
        QCOMPARE(readFile(trail).count("\r\n"), kinds.size() + 1);
        const QString pdf = m_dir.filePath(QStringLiteral("trail-%1.pdf").arg(m_n));
        QCOMPARE(runCli(QStringList{"audit", "export", "-o", pdf, "--archive", m_archive} + filter).code, 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(page.contains(QStringLiteral("Audit trail of ")), qPrintable(page));
        QCOMPARE(page.count(QStringLiteral("Entry hash ")), kinds.size());
        if (kinds.isEmpty())
            QVERIFY(page.contains(QStringLiteral("No audit entries.")));
    }

    // archive sign checks the password through the system's PAM: three wrong
    // ones in a row, each in a run of its own, are each audited and lock
    // signing, which the next run refuses without another attempt.
    void signLocksAfterThreeWrongPasswords()
    {
        const QString collection = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
        QCOMPARE(runCli({"archive", "import", collection, "--archive", m_archive}).code, 0);
        for (int attempt = 1; attempt <= 4; ++attempt) {
            QProcess p;
            p.start(QStringLiteral(KV518_CLI_PATH),
                    {"archive", "sign", "1", "--meaning", "approved", "--archive", m_archive});
            p.write("not the password " + QByteArray::number(attempt) + '\n');
            p.closeWriteChannel();
            QVERIFY(p.waitForFinished(60000));
            const QString err = QString::fromUtf8(p.readAllStandardError());
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() != 0, qPrintable(err));
            QVERIFY2(err.contains(attempt <= 3 ? QStringLiteral("password") : QStringLiteral("Signing is locked after 3 "
                                                                                              "failed attempts")),
                     qPrintable(err));
        }
        const auto kinds = [this](const char *kind) {
            const CliRun r = runCli({"audit", "list", "--json", "--kind", kind, "--archive", m_archive});
            return QJsonDocument::fromJson(r.out).array().size();
        };
        QCOMPARE(kinds("signature-failed"), 3);
        QCOMPARE(kinds("signature"), 0);
    }

private:
    QTemporaryDir m_dir;
    QString m_archive;
    int m_n = 0;
};

QTEST_GUILESS_MAIN(TestCliArchive)
#include "tst_cli_archive.moc"
