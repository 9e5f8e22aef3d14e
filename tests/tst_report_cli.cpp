// kv518-cli report end to end: what the PDF says (read back with pdftotext),
// its pages and paper, the time window, and the failures that must leave no
// file behind.
#include "ImageBuilder.h"
#include "TestFiles.h"
#include "TestProcesses.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString sample()
{
    return QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518"));
}

QString tool(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfInfo(const QString &pdf, const QString &field)
{
    const QRegularExpressionMatch m
        = QRegularExpression(field + QStringLiteral(":\\s+(.*)\\n")).match(tool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

QString pdfText(const QString &pdf)
{
    return tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

QString spaced(const QStringList &parts)
{
    QStringList escaped;
    for (const QString &p : parts)
        escaped << QRegularExpression::escape(p);
    return escaped.join(QStringLiteral("\\s+"));
}

} // namespace

class TestReportCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void holdsTheWindowsTexts_data();
    void holdsTheWindowsTexts();
    void pages_data();
    void pages();
    void paperFollowsTheLocale_data();
    void paperFollowsTheLocale();
    void timeWindow();
    void failuresLeaveNoFile_data();
    void failuresLeaveNoFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestReportCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // As from a service or a login without a desktop session: the offscreen
    // platform then complains about the missing runtime folder.
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestReportCli::holdsTheWindowsTexts_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("locale");
    QTest::newRow("set 1 en_US") << "1" << "en_US";
    QTest::newRow("set 2 de_DE") << "2" << "de_DE";
    // Out-of-range readings: "OL" where the data list shows it.
    QTest::newRow("set 3 en_GB") << "3" << "en_GB";
}

// The report against what stats and export print for the same data set:
// the same statistics texts, every sample row.
void TestReportCli::holdsTheWindowsTexts()
{
    QFETCH(QString, set);
    QFETCH(QString, locale);
    const QString out = path(QStringLiteral("r.pdf"));
    const QStringList limits{"--limits", "temp=0:23.5,hum=42:55"};
    const CliRun r = runCli(QStringList{"report", sample(), "--set", set, "-o", out, "--locale", locale} + limits);
    QCOMPARE(r.code, 0);
    QVERIFY(r.err.isEmpty() || !r.err.contains("kv518-cli:"));
    const QString text = pdfText(out);
    QVERIFY(!text.isEmpty());

    const CliRun stats = runCli(QStringList{"stats", sample(), "--set", set, "--locale", locale} + limits);
    QCOMPARE(stats.code, 0);
    QStringList expected;
    for (const QString &line : QString::fromUtf8(stats.out).split(u'\n', Qt::SkipEmptyParts)) {
        const QString label = line.section(QStringLiteral(": "), 0, 0);
        const QString value = line.section(QStringLiteral(": "), 1);
        if (label.endsWith(QLatin1String(" MAX")) || label.endsWith(QLatin1String(" MIN"))
            || label.endsWith(QLatin1String(" AVG")) || label == QLatin1String("Start Time")
            || label.endsWith(QLatin1String(" Limits")) || label.endsWith(QLatin1String(" Above"))
            || label.endsWith(QLatin1String(" Below")) || label.endsWith(QLatin1String(" Within"))
            || label == QLatin1String("Mean Kinetic Temperature"))
            QVERIFY2(text.contains(value), qPrintable(line));
        else if (label == QLatin1String("Data No."))
            QVERIFY(text.contains(QRegularExpression(spaced({"Data No.", value}))));
    }
    QVERIFY(text.contains(QRegularExpression(spaced({"File", "sample.518"}))));
    QVERIFY(text.contains(QRegularExpression(spaced({"Data Set", set}))));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("Unit\\s+[CF]\\n"))));

    // Every sample: number, date and time, humidity, temperature.
    const CliRun exported = runCli({"export", sample(), "--set", set, "--locale", locale});
    QCOMPARE(exported.code, 0);
    int n = 0;
    for (const QString &line : QString::fromUtf8(exported.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        QCOMPARE(f.size(), 3);
        QStringList row{QString::number(++n)};
        row << f.at(0).split(u' ', Qt::SkipEmptyParts) << f.at(1);
        // A data file writes "OL" for a temperature the data list shows as its marker.
        if (f.at(2) != QLatin1String("OL"))
            row << f.at(2);
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\n\\s*") + spaced(row))), qPrintable(line));
    }
    QVERIFY(n > 0);
    QVERIFY(text.contains(QStringLiteral("Page 2 of 2")));
}

void TestReportCli::pages_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("table");
    QTest::addColumn<QString>("pages");
    QTest::newRow("1000 samples") << 1000 << true << "21";
    QTest::newRow("1000 samples, no table") << 1000 << false << "1";
    QTest::newRow("one sample") << 1 << true << "2";
}

void TestReportCli::pages()
{
    QFETCH(int, samples);
    QFETCH(bool, table);
    QFETCH(QString, pages);
    const QString file = path(QStringLiteral("big.518"));
    QVERIFY(writeFile(file, ImageBuilder().add(ImageSet().ramp(samples, 300, 1, 100, 1)).build()));
    const QString out = path(QStringLiteral("big.pdf"));
    QStringList args{"report", file, "-o", out, "--locale", "de_DE"};
    if (!table)
        args << "--no-table";
    QCOMPARE(runCli(args).code, 0);
    QCOMPARE(pdfInfo(out, QStringLiteral("Pages")), pages);
    // Text stays text.
    if (table)
        QVERIFY(pdfText(out).contains(QStringLiteral("Page %1 of %1").arg(pages)));
}

void TestReportCli::paperFollowsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("paper");
    // Options of every command before the command's name, which must still be found.
    QTest::addColumn<QStringList>("globalOptions");
    QTest::newRow("en_US") << "en_US" << "(letter)" << QStringList();
    QTest::newRow("en_GB, verbose") << "en_GB" << "(A4)" << QStringList{"--verbose"};
    QTest::newRow("de_DE, traced") << "de_DE" << "(A4)" << QStringList{"--trace", "trace.jsonl"};
}

void TestReportCli::paperFollowsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, paper);
    QFETCH(QStringList, globalOptions);
    if (globalOptions.size() == 2)
        globalOptions[1] = path(globalOptions[1]);
    const QString out = path(QStringLiteral("p.pdf"));
    QCOMPARE(runCli(globalOptions + QStringList{"report", sample(), "--set", "1", "-o", out, "--locale", locale,
                                                "--no-table"}).code, 0);
    QVERIFY2(pdfInfo(out, QStringLiteral("Page size")).endsWith(paper), qPrintable(pdfInfo(out, "Page size")));
}

void TestReportCli::timeWindow()
{
    // Set 1 starts 2009-03-01 10:20:00, one sample a minute.
    const QString out = path(QStringLiteral("w.pdf"));
    QCOMPARE(runCli({"report", sample(), "--set", "1", "-o", out, "--locale", "en_US", "--from",
                     "2009-03-01T10:23:00", "--to", "2009-03-01T10:26:00"})
                 .code,
             0);
    const QString text = pdfText(out);
    QVERIFY(text.contains(QRegularExpression(spaced({"Data No.", "4"}))));
    QVERIFY(text.contains(QStringLiteral("10:23:00 AM")));
    QVERIFY(text.contains(QStringLiteral("10:26:00 AM")));
    QVERIFY(!text.contains(QStringLiteral("10:22:00 AM")));
    QVERIFY(!text.contains(QStringLiteral("10:27:00 AM")));
    QCOMPARE(runCli({"report", sample(), "--set", "1", "-o", out, "--from", "soon"}).code, 2);
}

void TestReportCli::failuresLeaveNoFile_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QByteArray good = ImageBuilder::sampleCollection().build();
    QTest::newRow("truncated in a data set") << good.left(good.size() - 80) << "out.pdf" << 5 << "is damaged";
    QTest::newRow("shorter than its directory") << good.left(100) << "out.pdf" << 5 << "sample.518";
    QTest::newRow("empty logger") << ImageBuilder().build() << "out.pdf" << 5 << "holds no data set";
    QTest::newRow("no such folder") << good << "missing/out.pdf" << 5 << "Cannot create file";
    QTest::newRow("set out of range") << good << "out.pdf" << 2 << "--set must be between 1 and 3";
}

void TestReportCli::failuresLeaveNoFile()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, output);
    QFETCH(int, code);
    QFETCH(QString, message);
    const QString file = path(QStringLiteral("sample.518"));
    QVERIFY(writeFile(file, input));
    const QString out = path(output);
    const CliRun r = runCli({"report", file, "--set", code == 2 ? "4" : "1", "-o", out});
    QCOMPARE(r.code, code);
    QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
    // The program's own sentence comes first, with nothing of Qt's before it.
    QVERIFY2(r.err.startsWith("kv518-cli: "), r.err.constData());
    QVERIFY(!QFileInfo::exists(out));
    // Nothing else was left in the folder either (no temporary file).
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("sample.518")});
}

QTEST_GUILESS_MAIN(TestReportCli)
#include "tst_report_cli.moc"
