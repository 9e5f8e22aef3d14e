// kv518-cli given what a careless or hostile user gives it: devices and pipes
// without a size, files of another kind, data files written under other
// regional formats. Each must end promptly with one clear sentence, and an
// export must never report success for part of a file.
#include "ImageBuilder.h"
#include "TestProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr qint64 Cap = qint64(16) * 1024 * 1024;

QString sample()
{
    return QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
}

// kv518-cli with its standard input fed from bytes (the pipe behind
// /dev/stdin); the rest of the bytes is dropped once the tool stops reading.
CliRun runCliWithInput(const QStringList &arguments, const QByteArray &input)
{
    QProcess p;
    p.start(QStringLiteral(KV518_CLI_PATH), arguments);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

// kv518-cli with its standard output sent to a file or a device.
CliRun runCliInto(const QStringList &arguments, const QString &output)
{
    QProcess p;
    p.setStandardOutputFile(output);
    p.start(QStringLiteral(KV518_CLI_PATH), arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, {}, p.readAllStandardError()};
}

QString errorLine(const CliRun &r)
{
    return QString::fromLocal8Bit(r.err);
}

} // namespace

class TestCliHostile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The offscreen report's Qt warns on stderr without a runtime folder,
    // which a desktop session always has.
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void filesWithoutASize_data();
    void filesWithoutASize();
    void pipedCollectionStillLoads();
    void lineWithoutABreak();
    void notACollection_data();
    void notACollection();
    void exportWithUnreadableDates_data();
    void exportWithUnreadableDates();
    void noDateReads_data();
    void noDateReads();
    void writeErrors_data();
    void writeErrors();
    void graphFileReport();
    void portNameWithALineBreak();
    void fifoWithoutAWriter_data();
    void fifoWithoutAWriter();

private:
    QTemporaryDir m_runtime;
};

void TestCliHostile::filesWithoutASize_data()
{
    QTest::addColumn<QStringList>("arguments");   // "LINK": zero.518, a link to /dev/zero
    QTest::addColumn<QByteArray>("input");        // fed to /dev/stdin when not empty
    QTest::addColumn<QString>("shown");

    const QByteArray overCap(Cap + 1, '\0');
    QTest::newRow("sets /dev/zero") << QStringList{"sets", "/dev/zero"} << QByteArray() << "/dev/zero";
    QTest::newRow("sets from a pipe") << QStringList{"sets", "/dev/stdin"} << overCap << "/dev/stdin";
    // The commands that read the whole collection, not just its directory.
    QTest::newRow("stats of a device named .518") << QStringList{"stats", "LINK", "--set", "1"} << QByteArray()
                                                  << "LINK";
    QTest::newRow("export of a device named .518") << QStringList{"export", "LINK", "--set", "1"} << QByteArray()
                                                   << "LINK";
}

// A device or pipe has size 0, so its size cannot bound the read: at most one
// byte past the largest image is read, then the file is refused.
void TestCliHostile::filesWithoutASize()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("zero.518"));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), link));
    arguments.replaceInStrings(QStringLiteral("LINK"), link);
    shown.replace(QStringLiteral("LINK"), link);
    const CliRun r = input.isEmpty() ? runCli(arguments) : runCliWithInput(arguments, input);
    QCOMPARE(r.code, 5);
    QCOMPARE(errorLine(r),
             "kv518-cli: " + quoted(shown) + " is larger than 16 MiB and cannot be a logger image.\n");
    QCOMPARE(r.out, QByteArray());
}

void TestCliHostile::pipedCollectionStillLoads()
{
    const CliRun fromFile = runCli({"sets", sample(), "--locale", "en_US"});
    QCOMPARE(fromFile.code, 0);
    const CliRun fromPipe = runCliWithInput({"sets", "/dev/stdin", "--locale", "en_US"}, readFile(sample()));
    QCOMPARE(fromPipe.code, 0);
    QCOMPARE(fromPipe.out, fromFile.out);
}

// A file with no line break in its first 16 MiB is no data file; reading it
// line by line would never end on a device.
void TestCliHostile::lineWithoutABreak()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("binary.txt"));
    QVERIFY(writeFile(path, QByteArray(Cap + 2, 'x')));
    for (const char *command : {"stats", "export"}) {
        const CliRun r = runCli({QString::fromLatin1(command), path});
        QCOMPARE(r.code, 5);
        QCOMPARE(errorLine(r), "kv518-cli: " + quoted(path) + " is not a data file: it has a line longer than 16 MiB.\n");
        QCOMPARE(r.out, QByteArray());
    }
}

void TestCliHostile::notACollection_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("sentence");   // after the quoted path

    const QByteArray text = "3/1/2024 8:00:00 AM\t50.2\t22.1\r\n3/1/2024 8:00:01 AM\t50.7\t22.2\r\n";
    QTest::newRow("data file") << "points.txt" << text << " is not a collection file (.518).";
    QTest::newRow("empty csv") << "empty.csv" << QByteArray() << " is not a collection file (.518).";
    // A damaged collection keeps its own diagnosis.
    QTest::newRow("damaged collection") << "cut.518" << ImageBuilder::sampleCollection().build().left(400)
                                        << " is damaged: data set 3 does not fit in the file.";
}

void TestCliHostile::notACollection()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sentence);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(writeFile(path, bytes));
    const CliRun r = runCli({"sets", path});
    QCOMPARE(r.code, 5);
    QCOMPARE(errorLine(r), "kv518-cli: " + quoted(path) + sentence + "\n");
}

void TestCliHostile::exportWithUnreadableDates_data()
{
    QTest::addColumn<QString>("readLocale");
    QTest::addColumn<QList<int>>("spoiled"); // lines whose date is replaced; -1: the middle one
    QTest::addColumn<QString>("message");    // %1: the lines; empty: no message
    QTest::addColumn<bool>("written");       // the dated lines are exported

    const QString unreadable = QStringLiteral(" lines have a date that cannot be read with the regional format ");
    const QString skipped = QStringLiteral(" and were not written (try --locale)");
    QTest::newRow("same locale") << "en_US" << QList<int>{} << QString() << true;
    QTest::newRow("other locale") << "de_DE" << QList<int>{} << "%1 of %1" + unreadable + "de_DE (try --locale)"
                                  << false;
    QTest::newRow("one bad date in the middle") << "en_US" << QList<int>{-1}
                                                << "1 of %1" + unreadable + "en_US" + skipped << true;
    QTest::newRow("bad first and last dates") << "en_US" << QList<int>{0, 9}
                                              << "2 of %1" + unreadable + "en_US" + skipped << true;
}

// Every dated point is exported and the undated ones are counted on the
// error stream; with no dated point at all the export fails (exit 5, no file).
void TestCliHostile::exportWithUnreadableDates()
{
    QFETCH(QString, readLocale);
    QFETCH(QList<int>, spoiled);
    QFETCH(QString, message);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("set1.txt"));
    QCOMPARE(runCli({"export", sample(), "--set", "1", "-o", source, "--locale", "en_US"}).code, 0);
    QByteArray text = readFile(source);
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();   // after the last line break
    QCOMPARE(lines.size(), 10);
    QList<QByteArray> dated = lines;
    for (int k : spoiled) {
        const int at = k < 0 ? lines.size() / 2 : k;
        QByteArray &line = lines[at];
        line = "not a date" + line.mid(line.indexOf('\t'));
        dated[at].clear();
    }
    dated.removeAll(QByteArray());
    text = lines.join('\n') + '\n';
    QVERIFY(writeFile(source, text));
    // The writer ends its lines with CR LF; the spoiled lines are gone.
    const QByteArray expected = dated.join('\n') + '\n';

    for (const bool toFile : {true, false}) {
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        QFile::remove(out);
        QStringList arguments{"export", source, "--locale", readLocale, "--format", "txt"};
        if (toFile)
            arguments << "-o" << out;
        const CliRun r = runCli(arguments);
        QCOMPARE(errorLine(r), message.isEmpty() ? QString() : "kv518-cli: " + message.arg(lines.size()) + "\n");
        if (written) {
            QCOMPARE(r.code, 0);
            QCOMPARE(toFile ? readFile(out) : r.out, expected);
            continue;
        }
        QCOMPARE(r.code, 5);
        QCOMPARE(r.out, QByteArray());
        QVERIFY(!QFile::exists(out));
    }
}

void TestCliHostile::noDateReads_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("text"); // empty: set 1 as written under en_US
    QTest::addColumn<QString>("locale");
    QTest::newRow("stats, other locale") << "stats" << QByteArray() << "de_DE";
    QTest::newRow("report, other locale") << "report" << QByteArray() << "de_DE";
    QTest::newRow("stats, year 99999")
        << "stats" << QByteArray("12/30/99999 10:00:00 AM\t50.0\t20.0\r\n") << "en_US";
    const QString utf16 = QStringLiteral("3/1/2026 10:00:00 AM\t50.0\t20.0\r\n");
    QTest::newRow("report, UTF-16")
        << "report" << QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2) << "en_US";
}

// Statistics or a report of a file whose dates all fail to read would start
// in 1899: refused as an export refuses it, with the count.
void TestCliHostile::noDateReads()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, text);
    QFETCH(QString, locale);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("set1.txt"));
    if (text.isEmpty())
        QCOMPARE(runCli({"export", sample(), "--set", "1", "-o", source, "--locale", "en_US"}).code, 0);
    else
        QVERIFY(writeFile(source, text));
    const qsizetype lines = text.isEmpty() ? 10 : 1;
    QStringList arguments{command, source, "--locale", locale};
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    if (command == QLatin1String("report"))
        arguments << "-o" << pdf;
    const CliRun r = runCli(arguments);
    QCOMPARE(errorLine(r), QStringLiteral("kv518-cli: %1 of %1 lines have a date that cannot be read with the "
                                          "regional format %2 (try --locale)\n")
                               .arg(lines)
                               .arg(locale));
    QCOMPARE(r.code, 5);
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(pdf));
}

void TestCliHostile::writeErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("toStandardOutput");
    const QString full = QStringLiteral("/dev/full");
    const QStringList set1{sample(), "--set", "1", "--locale", "en_US"};
    QTest::newRow("stats > /dev/full") << QStringList{"stats"} + set1 << true;
    QTest::newRow("sets > /dev/full") << QStringList{"sets", sample()} << true;
    QTest::newRow("export > /dev/full") << QStringList{"export"} + set1 << true;
    QTest::newRow("export -o /dev/full") << QStringList{"export"} + set1 + QStringList{"-o", full} << false;
    QTest::newRow("report -o /dev/full") << QStringList{"report"} + set1 + QStringList{"-o", full} << false;
}

// A small output sits in a buffer until the end: the flush decides.
void TestCliHostile::writeErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, toStandardOutput);
    const CliRun r = toStandardOutput ? runCliInto(arguments, QStringLiteral("/dev/full")) : runCli(arguments);
    QCOMPARE(r.code, 5);
    const QString expected = toStandardOutput
        ? QStringLiteral("Cannot write to the standard output.")
        : QStringLiteral("Cannot write file \"/dev/full\": No space left on device.");
    QCOMPARE(errorLine(r), "kv518-cli: " + expected + "\n");
}

void TestCliHostile::graphFileReport()
{
    QTemporaryDir dir;
    const QString graph = dir.filePath(QStringLiteral("set1.ghf"));
    const QString pdf = dir.filePath(QStringLiteral("set1.pdf"));
    QCOMPARE(runCli({"export", sample(), "--set", "1", "--format", "ghf", "-o", graph}).code, 0);
    const CliRun r = runCli({"report", graph, "-o", pdf, "--locale", "en_US"});
    QCOMPARE(errorLine(r), QString());
    QCOMPARE(r.code, 0);
    QVERIFY(readFile(pdf).startsWith("%PDF"));
}

void TestCliHostile::portNameWithALineBreak()
{
    const CliRun r = runCli({"identify", "--port", "/nonexistent/tty\nS0"});
    QCOMPARE(r.code, 3);
    const QString line = errorLine(r);
    QVERIFY2(line.startsWith(QLatin1String("kv518-cli: Cannot open /nonexistent/tty\\nS0")), qPrintable(line));
    QCOMPARE(line.count(u'\n'), 1);
    QVERIFY(line.endsWith(QLatin1String(".\n")));
}

void TestCliHostile::fifoWithoutAWriter_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::newRow("sets of a collection") << "sets" << "fifo.518";
    QTest::newRow("stats of a data file") << "stats" << "fifo.txt";
    QTest::newRow("stats of a graph file") << "stats" << "fifo.ghf";
}

// open() of a FIFO that no one writes to waits for good; the read gives up
// after a few seconds instead (runCli's own limit fails a hang as code -1).
void TestCliHostile::fifoWithoutAWriter()
{
    QFETCH(QString, command);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(name);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const CliRun r = runCli({command, fifo, "--locale", "en_US"});
    QCOMPARE(r.code, 5);
    const QString line = errorLine(r);
    QVERIFY2(line.startsWith(QLatin1String("kv518-cli: Cannot ")) && line.contains(fifo), qPrintable(line));
    QCOMPARE(line.count(u'\n'), 1);
    QCOMPARE(r.out, QByteArray());
}

QTEST_GUILESS_MAIN(TestCliHostile)
#include "tst_cli_hostile.moc"
