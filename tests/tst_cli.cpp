// kv518-cli end to end: the shipped sample collection against golden outputs.
// KV518_UPDATE_GOLDEN=1 rewrites tests/data/sample.518 from the image builder
// and the golden files from the tool's output (check the diff before committing).
#include "ImageBuilder.h"
#include "TestProcesses.h"

#include "core/data/LoggerImage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>

namespace {

QString dataFile(const QString &name)
{
    return QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(name);
}

QString sample()
{
    return dataFile(QStringLiteral("sample.518"));
}

bool updating()
{
    return qEnvironmentVariableIntValue("KV518_UPDATE_GOLDEN") == 1;
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sampleIsTheBuildersImage();
    void golden_data();
    void golden();
    void exportToFile();
    void exportedTextGivesTheSameStatistics();
    void graphFiles();
    void semicolonCsv_data();
    void semicolonCsv();
    void usageErrors_data();
    void usageErrors();
    void badFiles_data();
    void badFiles();
};

void TestCli::sampleIsTheBuildersImage()
{
    const QByteArray image = ImageBuilder::sampleCollection().build();
    if (updating())
        writeAll(sample(), image);
    QCOMPARE(readFile(sample()), image);
}

void TestCli::golden_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("golden");
    const QString s = sample();
    QTest::newRow("sets en_US") << QStringList{"sets", s, "--locale", "en_US"} << "sample.sets.en_US.txt";
    QTest::newRow("sets de_DE json") << QStringList{"sets", s, "--json", "--locale", "de_DE"} << "sample.sets.de_DE.json";
    QTest::newRow("export 1 txt en_US") << QStringList{"export", s, "--set", "1", "--locale", "en_US"}
                                        << "sample.set1.en_US.txt";
    QTest::newRow("export 1 csv en_US") << QStringList{"export", s, "--set", "1", "--format", "csv", "--locale", "en_US"}
                                        << "sample.set1.en_US.csv";
    QTest::newRow("export 2 txt de_DE") << QStringList{"export", s, "--set", "2", "--locale", "de_DE"}
                                        << "sample.set2.de_DE.txt";
    QTest::newRow("export 3 txt en_GB") << QStringList{"export", s, "--set", "3", "--locale", "en_GB"}
                                        << "sample.set3.en_GB.txt";
    QTest::newRow("stats 1 en_US") << QStringList{"stats", s, "--set", "1", "--locale", "en_US"}
                                   << "sample.stats1.en_US.txt";
    QTest::newRow("stats 2 de_DE") << QStringList{"stats", s, "--set", "2", "--locale", "de_DE"}
                                   << "sample.stats2.de_DE.txt";
    QTest::newRow("stats 3 json") << QStringList{"stats", s, "--set", "3", "--json"} << "sample.stats3.json";
    // Runs at the start and the end of the set, a marker above, a reading below.
    QTest::newRow("stats 1 limits en_US") << QStringList{"stats", s, "--set", "1", "--limits", "temp=0:23.5,hum=42:55",
                                                         "--locale", "en_US"}
                                          << "sample.stats1.limits.en_US.txt";
    QTest::newRow("stats 2 limits json") << QStringList{"stats", s, "--set", "2", "--json", "--limits", "temp=:75",
                                                        "--activation-energy", "60"}
                                         << "sample.stats2.limits.json";
    // Warning levels, a delay counted in total and a correction.
    QTest::newRow("stats 1 rules en_US") << QStringList{"stats", s, "--set", "1", "--limits", "temp=0:23.5",
                                                        "--warnings", "temp=2:22,hum=45:52", "--delay", "3",
                                                        "--delay-total", "--offset-temperature", "0.5",
                                                        "--locale", "en_US"}
                                         << "sample.stats1.rules.en_US.txt";
}

void TestCli::golden()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, golden);
    const CliRun r = runCli(arguments);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.code, 0);
    if (updating())
        writeAll(dataFile(golden), r.out);
    QCOMPARE(r.out, readFile(dataFile(golden)));
}

void TestCli::exportToFile()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("set1.csv"));
    // The format follows the output's extension.
    const CliRun r = runCli({"export", sample(), "--set", "1", "-o", out, "--locale", "en_US"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(readFile(out), readFile(dataFile(QStringLiteral("sample.set1.en_US.csv"))));
}

void TestCli::exportedTextGivesTheSameStatistics()
{
    QTemporaryDir dir;
    for (const QString &set : {QStringLiteral("1"), QStringLiteral("2")}) {
        const QString txt = dir.filePath(QStringLiteral("set%1.TXT").arg(set));
        QCOMPARE(runCli({"export", sample(), "--set", set, "-o", txt, "--locale", "de_DE"}).code, 0);
        const CliRun fromSet = runCli({"stats", sample(), "--set", set, "--locale", "de_DE"});
        // A text file does not say its unit: the set's is given.
        const CliRun fromText = runCli({"stats", txt, "--locale", "de_DE", "--unit", set == u"2" ? "F" : "C"});
        QCOMPARE(fromText.code, 0);
        QCOMPARE(fromText.out, fromSet.out);
        const QByteArray unsaid = runCli({"stats", txt, "--locale", "de_DE"}).out;
        QVERIFY2(unsaid.contains("\nMean Kinetic Temperature: ") && unsaid.endsWith(" C (readings taken as C; see --unit)\n"),
                 unsaid.constData());
        QCOMPARE(runCli({"export", txt, "--locale", "de_DE"}).out, readFile(txt));
    }
}

// A data set written as a graph file reads back as the same points and
// statistics, as a graph file does in the program's windows.
void TestCli::graphFiles()
{
    QTemporaryDir dir;
    const QString ghf = dir.filePath(QStringLiteral("set2.ghf"));
    const CliRun made = runCli({"export", sample(), "--set", "2", "--format", "ghf", "-o", ghf});
    QCOMPARE(made.code, 0);
    QVERIFY(made.out.isEmpty());
    QCOMPARE(runCli({"stats", ghf, "--locale", "de_DE", "--unit", "F"}).out,
             runCli({"stats", sample(), "--set", "2", "--locale", "de_DE"}).out);
    QCOMPARE(runCli({"export", ghf, "--locale", "de_DE"}).out,
             runCli({"export", sample(), "--set", "2", "--locale", "de_DE"}).out);
    // The extension chooses the form too; a graph file copies as it is.
    const QString copy = dir.filePath(QStringLiteral("copy.GHF"));
    QCOMPARE(runCli({"export", ghf, "-o", copy}).code, 0);
    QCOMPARE(readFile(copy), readFile(ghf));
    // A text file becomes the chart its file view shows.
    const QString txt = dir.filePath(QStringLiteral("set2.txt"));
    QCOMPARE(runCli({"export", sample(), "--set", "2", "-o", txt}).code, 0);
    const QString fromText = dir.filePath(QStringLiteral("fromtext.ghf"));
    QCOMPARE(runCli({"export", txt, "-o", fromText}).code, 0);
    QCOMPARE(runCli({"export", fromText}).out, readFile(txt));

    const QString cut = dir.filePath(QStringLiteral("cut.ghf"));
    writeAll(cut, readFile(ghf).left(100));
    const CliRun damaged = runCli({"stats", cut});
    QCOMPARE(damaged.code, 5);
    QCOMPARE(damaged.err.count('\n'), 1);
    QVERIFY(damaged.err.contains(cut.toLocal8Bit()));
    QCOMPARE(runCli({"export", sample(), "--set", "2", "--format", "ghf"}).code, 2);
    QCOMPARE(runCli({"export", sample(), "--set", "2", "-o", dir.filePath("none/x.ghf")}).code, 5);
}

void TestCli::semicolonCsv_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("unit");
    QTest::newRow("decimal comma") << "1" << "de_DE" << "C";
    QTest::newRow("decimal point, F") << "2" << "en_US" << "F";
}

// A CSV for spreadsheets reads back as the same statistics, with the program's
// own reader and a spreadsheet's where one is installed.
void TestCli::semicolonCsv()
{
    QFETCH(QString, set);
    QFETCH(QString, locale);
    QFETCH(QString, unit);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("set.csv"));
    const CliRun made = runCli({"export", sample(), "--set", set, "--format", "csv-semicolon", "-o", csv,
                                "--locale", locale});
    QCOMPARE(made.code, 0);
    const QByteArray text = readFile(csv);
    const QList<QByteArray> lines = text.trimmed().split('\n');
    QVERIFY(lines.size() > 1);
    for (const QByteArray &line : lines)
        QCOMPARE(line.count(';'), 2);
    QCOMPARE(runCli({"stats", csv, "--locale", locale, "--unit", unit}).out,
             runCli({"stats", sample(), "--set", set, "--locale", locale}).out);

    const QString decimal = locale == u"de_DE" ? QStringLiteral(",") : QStringLiteral(".");
    QProcess reader;
    if (!QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()) {
        // Converted to a comma CSV with ';' as the input separator: 3 columns a line.
        // A profile of its own: soffice hands a file to an instance already
        // running on the shared one and returns before it is converted.
        reader.start(QStringLiteral("soffice"),
                     {"-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                      "--headless", "--infilter=CSV:59,34,76", "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76",
                      "--outdir", dir.filePath("out"), csv});
        QVERIFY(reader.waitForFinished(120000));
        const QList<QByteArray> converted = readFile(dir.filePath("out/set.csv")).trimmed().split('\n');
        QCOMPARE(converted.size(), lines.size());
        QCOMPARE(converted.first().count('\t'), 2);
        return;
    }
    reader.start(QStringLiteral("python3"),
                 {"-c", "import sys, pandas as pd\n"
                        "f = pd.read_csv(sys.argv[1], sep=';', decimal=sys.argv[2], header=None)\n"
                        "print(len(f.columns), len(f), pd.to_numeric(f[1], errors='coerce').notna().sum())\n",
                  csv, decimal});
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
        QSKIP("Neither soffice nor python3 with pandas is installed to read the file as a spreadsheet does.");
    // Three columns, every line a row, every humidity but "OL" read as a number.
    qsizetype numbers = 0;
    for (const QByteArray &line : lines)
        numbers += line.split(';').at(1).trimmed() != "OL" ? 1 : 0;
    QCOMPARE(reader.readAllStandardOutput().trimmed(),
             QByteArray::number(3) + ' ' + QByteArray::number(lines.size()) + ' ' + QByteArray::number(numbers));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    const QString s = sample();
    QTest::newRow("nothing") << QStringList{} << 2;
    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("command help") << QStringList{"export", "--help"} << 0;
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2;
    QTest::newRow("unknown option") << QStringList{"sets", s, "--bogus"} << 2;
    QTest::newRow("no file") << QStringList{"sets"} << 2;
    QTest::newRow("two files") << QStringList{"stats", s, s, "--set", "1"} << 2;
    QTest::newRow("no set") << QStringList{"stats", s} << 2;
    QTest::newRow("set 0") << QStringList{"stats", s, "--set", "0"} << 2;
    QTest::newRow("set 4 of 3") << QStringList{"export", s, "--set", "4"} << 2;
    QTest::newRow("set not a number") << QStringList{"export", s, "--set", "x"} << 2;
    QTest::newRow("bad format") << QStringList{"export", s, "--set", "1", "--format", "xls"} << 2;
    QTest::newRow("csv with a decimal comma") << QStringList{"export", s, "--set", "1", "--format", "csv", "--locale", "de_DE"} << 2;
    QTest::newRow("unknown locale") << QStringList{"sets", s, "--locale", "xx_QQ"} << 2;
    QTest::newRow("other extension") << QStringList{"stats", dataFile("sample.sets.de_DE.json")} << 2;
    QTest::newRow("limits not a number") << QStringList{"stats", s, "--set", "1", "--limits", "temp=a:8"} << 2;
    QTest::newRow("limits without a colon") << QStringList{"stats", s, "--set", "1", "--limits", "temp=8"} << 2;
    QTest::newRow("limits of no channel") << QStringList{"stats", s, "--set", "1", "--limits", "pressure=1:2"} << 2;
    QTest::newRow("limits twice") << QStringList{"stats", s, "--set", "1", "--limits", "temp=1:2,temp=3:4"} << 2;
    QTest::newRow("limits low above high") << QStringList{"stats", s, "--set", "1", "--limits", "hum=60:40"} << 2;
    QTest::newRow("limits with a decimal comma") << QStringList{"stats", s, "--set", "1", "--limits", "temp=2,5:8"} << 2;
    QTest::newRow("activation energy 0") << QStringList{"stats", s, "--set", "1", "--activation-energy", "0"} << 2;
    QTest::newRow("activation energy text") << QStringList{"stats", s, "--set", "1", "--activation-energy", "x"} << 2;
    QTest::newRow("unit K") << QStringList{"stats", dataFile("sample.set1.en_US.txt"), "--unit", "K"} << 2;
    QTest::newRow("unit of a collection") << QStringList{"stats", s, "--set", "1", "--unit", "F"} << 2;
    QTest::newRow("identify without a port") << QStringList{"identify"} << 2;
    QTest::newRow("download without -o") << QStringList{"download", "--port", "/dev/null"} << 2;
    QTest::newRow("live with count 0") << QStringList{"live", "--port", "/dev/null", "--count", "0"} << 2;
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    const CliRun r = runCli(arguments);
    QCOMPARE(r.code, code);
    if (code != 0) {
        // One sentence on stderr, nothing on stdout.
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.out.isEmpty() || arguments.isEmpty());
    } else {
        QVERIFY(r.out.contains("Usage:"));
    }
}

void TestCli::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");   // the sentence after the quoted path
    const QByteArray good = ImageBuilder::sampleCollection().build();
    const QString noData = QStringLiteral(" holds no data set.");
    QByteArray secondEndsBeforeFirst = good;
    qToLittleEndian<quint32>(330, secondEndsBeforeFirst.data() + LoggerImage::entryOffset(1)
                                      + LoggerImage::EntryField::EndAddress);
    QTest::newRow("empty") << QByteArray() << "empty.518" << noData;
    QTest::newRow("shorter than the directory") << good.left(200) << "short.518" << noData;
    QTest::newRow("no data set") << ImageBuilder().build() << "none.518" << noData;
    QTest::newRow("cut inside the last set") << good.left(400) << "cut.518"
                                             << " is damaged: data set 3 does not fit in the file.";
    QTest::newRow("cut inside the samples of the first")
        << good.left(LoggerImage::SampleStart + 4) << "cut1.518" << " is damaged: data set 1 does not fit in the file.";
    QTest::newRow("set ending before it starts") << secondEndsBeforeFirst << "below.518"
                                                 << " is damaged: data set 2 does not fit in the file.";
    QTest::newRow("larger than 16 MiB") << QByteArray() << "huge.518"
                                        << " is larger than 16 MiB and cannot be a logger image.";
    QTest::newRow("missing") << QByteArray() << "" << "";
    QTest::newRow("text without a data line") << QByteArray("\r\n\r\n") << "empty.txt" << " holds no data line.";
}

void TestCli::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QString path = dir.filePath(name.isEmpty() ? QStringLiteral("missing.518") : name);
    if (!name.isEmpty()) {
        writeAll(path, bytes);
        if (name == QLatin1String("huge.518")) {
            QFile f(path);
            QVERIFY(f.resize(16 * 1024 * 1024 + 1));
        }
    }
    const bool collection = path.endsWith(QLatin1String(".518"));
    const CliRun r = runCli(collection ? QStringList{"sets", path} : QStringList{"stats", path});
    QCOMPARE(r.code, 5);
    QCOMPARE(r.err.count('\n'), 1);
    const QString quotedPath = u'"' + path + u'"';
    const QString sentence = error.isEmpty() ? "Cannot read " + quotedPath + "." : quotedPath + error;
    QCOMPARE(QString::fromLocal8Bit(r.err), "kv518-cli: " + sentence + "\n");
    if (collection) {
        // The list reads only the directory, the other commands the whole
        // file: both refuse it alike.
        const CliRun whole = runCli({"stats", path, "--set", "1"});
        QCOMPARE(whole.code, 5);
        QCOMPARE(whole.err, r.err);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
