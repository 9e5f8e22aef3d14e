// The settings file "ini/KV518.ini": reading by line position, writing, and a
// close that cannot write it.
#include "ScriptedPrompter.h"

#include "core/app/AlarmSettings.h"
#include "core/app/Settings.h"
#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/link/MemoryLine.h"
#include "gui/common/AppContext.h"
#include "gui/shell/TfrmMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void load_data();
    void load();
    void roundTrip_data();
    void roundTrip();
    void validPortIndex_data();
    void validPortIndex();
    void unwritableFolder_data();
    void unwritableFolder();
    void closeWithUnwritableFolderKeepsPolling();
    void fifoInPlaceReadsAsMissing_data();
    void fifoInPlaceReadsAsMissing();

private:
    QString settingsFile() const { return Settings(m_dir->path()).filePath(); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettings::load_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<int>("autoScale");

    const QByteArray long81(81, 'x');
    const QByteArray long80(80, 'x');
    QTest::newRow("missing file") << false << QByteArray() << 0 << 1;
    QTest::newRow("empty file") << true << QByteArray() << 0 << 1;
    QTest::newRow("four lines") << true << QByteArray("[COM PORT]\r\n2\r\n[AutoScale]\r\n0\r\n") << 2 << 0;
    QTest::newRow("line feeds only") << true << QByteArray("[COM PORT]\n3\n[AutoScale]\n0\n") << 3 << 0;
    QTest::newRow("no final line end") << true << QByteArray("[COM PORT]\r\n4\r\n[AutoScale]\r\n0") << 4 << 0;
    QTest::newRow("two lines") << true << QByteArray("[COM PORT]\r\n3\r\n") << 3 << 1;
    QTest::newRow("markers ignored") << true << QByteArray("\r\n1\r\nanything\r\n0\r\n") << 1 << 0;
    QTest::newRow("blanks around numbers") << true << QByteArray("[COM PORT]\r\n 5 \r\n[AutoScale]\r\n0 \r\n") << 5 << 0;
    QTest::newRow("typed port") << true << QByteArray("[COM PORT]\r\n-1\r\n[AutoScale]\r\n1\r\n") << -1 << 1;
    QTest::newRow("non-numeric") << true << QByteArray("[COM PORT]\r\nabc\r\n[AutoScale]\r\nyes\r\n") << 0 << 1;
    QTest::newRow("empty values") << true << QByteArray("[COM PORT]\r\n\r\n[AutoScale]\r\n\r\n") << 0 << 1;
    QTest::newRow("number with text") << true << QByteArray("[COM PORT]\r\n2x\r\n[AutoScale]\r\n0.5\r\n") << 0 << 1;
    QTest::newRow("auto scale out of range") << true << QByteArray("[COM PORT]\r\n1\r\n[AutoScale]\r\n7\r\n") << 1 << 1;
    QTest::newRow("auto scale negative") << true << QByteArray("[COM PORT]\r\n1\r\n[AutoScale]\r\n-1\r\n") << 1 << 1;
    QTest::newRow("80 characters fit") << true << long80 + "\r\n2\r\n[AutoScale]\r\n0\r\n" << 2 << 0;
    QTest::newRow("long first line ends the reading") << true << long81 + "\r\n2\r\n[AutoScale]\r\n0\r\n" << 0 << 1;
    QTest::newRow("long third line keeps line 2") << true << "[COM PORT]\r\n2\r\n" + long81 + "\r\n0\r\n" << 2 << 1;
    QTest::newRow("long value line") << true << "[COM PORT]\r\n" + QByteArray(100, '1') + "\r\n[AutoScale]\r\n0\r\n" << 0 << 1;
    QTest::newRow("extra lines ignored") << true << QByteArray("[COM PORT]\r\n1\r\n[AutoScale]\r\n0\r\n9\r\n9\r\n") << 1 << 0;
}

void TestSettings::load()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, portIndex);
    QFETCH(int, autoScale);
    if (exists)
        QVERIFY(writeFile(settingsFile(), content));
    Settings settings(m_dir->path());
    settings.LoadSettings();
    QCOMPARE(settings.PortIndex, portIndex);
    QCOMPARE(settings.AutoScaleSetting, autoScale);
}

void TestSettings::roundTrip_data()
{
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<int>("autoScale");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("third port") << 2 << 1 << QByteArray("[COM PORT]\r\n2\r\n[AutoScale]\r\n1\r\n");
    QTest::newRow("typed port, own limits") << -1 << 0 << QByteArray("[COM PORT]\r\n-1\r\n[AutoScale]\r\n0\r\n");
}

void TestSettings::roundTrip()
{
    QFETCH(int, portIndex);
    QFETCH(int, autoScale);
    QFETCH(QByteArray, expected);
    // An older, longer file is replaced entirely.
    QVERIFY(writeFile(settingsFile(), QByteArray(500, 'z')));
    Settings out(m_dir->path());
    out.PortIndex = portIndex;
    out.AutoScaleSetting = autoScale;
    QVERIFY(out.SaveSettings());
    QCOMPARE(readFile(settingsFile()), expected);
    QCOMPARE(settingsFile(), m_dir->filePath(QStringLiteral("ini/KV518.ini")));
    Settings in(m_dir->path());
    in.LoadSettings();
    QCOMPARE(in.PortIndex, portIndex);
    QCOMPARE(in.AutoScaleSetting, autoScale);
}

void TestSettings::validPortIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");
    QTest::newRow("in range") << 2 << 3 << 2;
    QTest::newRow("first") << 0 << 3 << 0;
    QTest::newRow("typed") << -1 << 3 << 0;
    QTest::newRow("negative") << -7 << 3 << 0;
    QTest::newRow("past the end") << 3 << 3 << 0;
    QTest::newRow("saved 5, three ports") << 5 << 3 << 0;
    QTest::newRow("no ports") << 0 << 0 << 0;
}

void TestSettings::validPortIndex()
{
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(int, expected);
    QCOMPARE(Settings::validPortIndex(index, count), expected);
}

void TestSettings::unwritableFolder_data()
{
    QTest::addColumn<QString>("blocker");
    // A plain file where the folder should be, and a folder where the file should be.
    QTest::newRow("ini is a file") << QStringLiteral("ini");
    QTest::newRow("KV518.ini is a folder") << QStringLiteral("ini/KV518.ini/x");
}

void TestSettings::unwritableFolder()
{
    QFETCH(QString, blocker);
    QVERIFY(writeFile(m_dir->filePath(blocker), "keep"));
    Settings settings(m_dir->path());
    settings.PortIndex = 2;
    const Result<> saved = settings.SaveSettings();
    QVERIFY(!saved);
    const QString folder = QDir::toNativeSeparators(m_dir->path() + QStringLiteral("/ini/"));
    QCOMPARE(saved.message(), QStringLiteral("Cannot create ") + folder + QStringLiteral(" directory."));
    QCOMPARE(readFile(m_dir->filePath(blocker)), QByteArray("keep"));
}

// A FIFO where a file of the program folder should be, with no one writing to
// it, must read as a missing file at once: opening it the plain way waits
// for good, and the program would never start.
void TestSettings::fifoInPlaceReadsAsMissing_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("settings") << QStringLiteral("ini/KV518.ini");
    QTest::newRow("alarm limits") << QStringLiteral("ini/limits.ini");
    QTest::newRow("graph template") << QStringLiteral("template/graph.ghf");
}

void TestSettings::fifoInPlaceReadsAsMissing()
{
    QFETCH(QString, file);
    const QString path = m_dir->filePath(file);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    Settings settings(m_dir->path());
    settings.PortIndex = 4;
    settings.LoadSettings();
    AlarmSettings limits(m_dir->path());
    limits.load();
    ChartModel chart;
    PrepareChartContext context;
    context.programFolder = m_dir->path();
    const PrepareChartResult prepared = prepareChartModel(chart, PrepareChartArgs{}, context);
    QCOMPARE(settings.PortIndex, 4);
    QVERIFY(limits == AlarmSettings(m_dir->path()));
    QVERIFY(!prepared.templateLoaded);
    // It is still the FIFO: nothing replaced it with a regular file.
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
}

void TestSettings::closeWithUnwritableFolderKeepsPolling()
{
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("ini")), "not a folder"));
    ScriptedPrompter prompter;
    AppContext ctx(prompter, AppFolders(m_dir->path(), m_dir->filePath(QStringLiteral("user/"))));
    MemoryLine line(QStringLiteral("MEM-SETTINGS"));
    ctx.ports().addLine(line);
    prompter.answerMessage(QMessageBox::Ok);

    MainOptions options;
    options.listSystemPorts = false;
    options.extraPorts << line.path();
    TfrmMain w(ctx, options);
    QSignalSpy searched(&w, &TfrmMain::searchFinished);
    w.show();
    QVERIFY(searched.wait(5000));
    w.monitor().comm1().open();
    w.monitor().mainTimer().start();

    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(prompter.messages,
             QStringList{QStringLiteral("Cannot create ")
                         + QDir::toNativeSeparators(m_dir->path() + QStringLiteral("/ini/"))
                         + QStringLiteral(" directory.")});
    QVERIFY(w.monitor().comm1().isOpen());
    QVERIFY(line.isOpen());
    QVERIFY(w.monitor().mainTimer().isActive());
    QVERIFY(prompter.unanswered.isEmpty());

    // Once the folder can be made, the close goes through.
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("ini"))));
    QVERIFY(w.close());
    QVERIFY(!w.monitor().comm1().isOpen());
    QVERIFY(QFile::exists(settingsFile()));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
