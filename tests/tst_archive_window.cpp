// The archive window in the main window: a download from kv518-sim is
// archived and listed, and an archived run opens in a data view with the
// statistics of the set downloaded; an archive that cannot be written keeps
// the download on screen and in the temporary image; File > Import into
// Archive... reports what went in and each file that did not; a run of
// kv518-cli watch is listed beside the downloads and opens as a data set of
// its periods' means; a port such a watch holds is named, never opened.
#include "ImageBuilder.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestProcesses.h"

#include "chart/ChartWidget.h"
#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/MonitorStore.h"
#include "core/chart/DataListModel.h"
#include "core/data/CollectionFile.h"
#include "core/link/PortLock.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadController.h"
#include "gui/shell/TfrmMain.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

constexpr int DownloadLimitMs = 60000;

ImageBuilder threeSets()
{
    ImageSet a;
    a.at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).every(10).ramp(40, 400, 2, 200, 1);
    ImageSet b;
    b.at(QDateTime(QDate(2011, 5, 3), QTime(9, 30, 0))).every(60).ramp(30, 600, -1, 250, 2);
    ImageSet c;
    c.at(QDateTime(QDate(2011, 5, 4), QTime(23, 59, 0))).every(0x002C).fahrenheit().ramp(25, 300, 3, 700, -1);
    return ImageBuilder().add(a).add(b).add(c);
}

// What a data view's statistics say of both channels.
QStringList statisticsOf(TfrmGraph &view)
{
    QStringList texts{view.txtStartTime->text(), view.txtDataNo->text(),
                      QString::number(view.dataListModel->rowCount())};
    StatisticsPanel &p = *view.panel();
    for (int tab : {0, 1}) {
        p.TabControl1->setCurrentIndex(tab);
        for (const QLineEdit *box : {p.txtT1Max, p.txtT1Min, p.txtT1Avg, p.txtCursorA, p.txtCursorB, p.txtAvgAB})
            texts << box->text();
    }
    p.TabControl1->setCurrentIndex(0);
    return texts;
}

const QString ArchivedThree = QStringLiteral("Archived: 3 data sets (3 new, 0 grown, 0 already archived)");

} // namespace

class TestArchiveWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void downloadArchivedAndReopened_data();
    void downloadArchivedAndReopened();
    void importIntoArchive_data();
    void importIntoArchive();
    void monitoringRunListedAndOpened();
    void watchedPortIsLeftToTheWatch();

private:
    QString file(const QString &name) const { return m_h->filePath(name); }
    QString archivePath() const { return Archive::defaultPath(m_h->ctx().folders().programFolder()); }
    std::unique_ptr<Harness::TestContext> m_h;
};

void TestArchiveWindow::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Subfolder);
    QVERIFY(m_h->isValid());
}

void TestArchiveWindow::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

void TestArchiveWindow::downloadArchivedAndReopened_data()
{
    QTest::addColumn<QByteArray>("archiveBefore"); // empty: no archive yet
    QTest::addColumn<QString>("site");              // the site archive named in ini/archive.ini
    QTest::newRow("archive made by the download") << QByteArray() << QString();
    QTest::newRow("archive is no database") << QByteArray("this is not an SQLite file\n") << QString();
    // Nothing listens on port 9: the download waits for the site, and says so.
    QTest::newRow("site archive out of reach") << QByteArray()
                                               << QStringLiteral("postgresql://127.0.0.1:9/kv518?user=nobody");
}

void TestArchiveWindow::downloadArchivedAndReopened()
{
    QFETCH(QByteArray, archiveBefore);
    QFETCH(QString, site);
    const bool writable = archiveBefore.isEmpty();
    if (!site.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(archivePath()).path() + QStringLiteral("/ini")));
        QVERIFY(writeFile(QFileInfo(archivePath()).path() + QStringLiteral("/ini/archive.ini"),
                          "[site]\nurl=" + site.toUtf8() + "\n"));
    }
    if (!writable) {
        QVERIFY(QDir().mkpath(QFileInfo(archivePath()).path()));
        QVERIFY(writeFile(archivePath(), archiveBefore));
        m_h->prompter().answerMessage(QMessageBox::Ok);
    }
    const QByteArray image = threeSets().build();
    QVERIFY(writeFile(file(QStringLiteral("meter.518")), image));
    SimProcess sim({"--image", file(QStringLiteral("meter.518"))});
    QVERIFY(!sim.path().isEmpty());
    auto w = Harness::startMainWindow(m_h->ctx(), Harness::testMainOptions({sim.path()}));
    QVERIFY(w->monitor().isConnected());
    // Open before the download: it lists the run as soon as it is archived.
    w->btnArchive->click();
    TfrmArchive *window = w->workspace().archiveWindow();
    QVERIFY(window);
    QCOMPARE(window->model().rowCount(), 0);

    QSignalSpy finished(&w->downloads(), &DownloadController::finished);
    w->btnDataLogger->click();
    QVERIFY(finished.count() > 0 || finished.wait(DownloadLimitMs));
    // The download shows and is kept, archived or not.
    QCOMPARE(w->session().store().SetCount(), 3);
    QVERIFY(w->downloadView());
    const QString tempImage = CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder());
    QCOMPARE(readFile(tempImage), image);
    const QString panel = w->findChild<QLabel *>(QStringLiteral("ArchivePanel"))->text();

    if (!writable) {
        QCOMPARE(m_h->prompter().messages.size(), 1);
        const QString said = m_h->prompter().messages.first();
        QVERIFY2(said.startsWith(QStringLiteral("The download is not archived: ")), qPrintable(said));
        QVERIFY2(said.endsWith(QStringLiteral("\nIt is shown, and kept in the temporary image file.")), qPrintable(said));
        QCOMPARE(panel, QString());
        QCOMPARE(readFile(archivePath()), archiveBefore);
        window->refresh();
        QCOMPARE(window->model().rowCount(), 0);
        QVERIFY2(window->lblCount->text().startsWith(QStringLiteral("The archive cannot be read: ")),
                 qPrintable(window->lblCount->text()));
        return;
    }
    QCOMPARE(panel, ArchivedThree);
    const QLabel *sitePanel = w->findChild<QLabel *>(QStringLiteral("SitePanel"));
    QCOMPARE(sitePanel != nullptr, !site.isEmpty());
    if (sitePanel)
        QTRY_COMPARE(sitePanel->text(), QStringLiteral("Site archive: 1 download waiting"));
    QCOMPARE(window->model().rowCount(), 3);
    QCOMPARE(window->lblCount->text(), QStringLiteral("3 runs"));
    // Newest start first: the first data set is the last row.
    const int row = 2;
    QCOMPARE(window->model().run(row)->samples, qint64(40));
    window->selectRow(row);
    QCOMPARE(window->gridVersions->rowCount(), 1);
    QCOMPARE(window->gridDownloads->rowCount(), 1);
    QCOMPARE(window->gridDownloads->item(0, 4)->text(), sim.path());
    QCOMPARE(window->gridDownloads->item(0, 5)->text(), QStringLiteral("download"));

    const QStringList downloaded = statisticsOf(*w->downloadView());
    TfrmGraph *opened = window->openSelectedRun();
    QVERIFY(opened);
    QVERIFY(!opened->isDownloadView());
    QCOMPARE(w->workspace().activeDataView(), opened);
    QCOMPARE(statisticsOf(*opened), downloaded);
    QCOMPARE(opened->PESGraph1->model().state().y, w->downloadView()->PESGraph1->model().state().y);
}

void TestArchiveWindow::importIntoArchive_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("status");   // the status bar's panel after it
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("message");  // the start of the one message; empty: none
    QTest::newRow("collection") << threeSets().build() << ArchivedThree << 3 << QString();
    QTest::newRow("not a collection") << QByteArray("Date\tTime\n") << QString() << 0
                                      << QStringLiteral("This file is not imported:\n%1: ");
}

void TestArchiveWindow::importIntoArchive()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, status);
    QFETCH(int, runs);
    QFETCH(QString, message);
    const QString path = file(QStringLiteral("import.518"));
    QVERIFY(writeFile(path, content));
    auto w = Harness::startMainWindow(m_h->ctx());
    w->Archive1Click();
    TfrmArchive *window = w->workspace().archiveWindow();
    QVERIFY(window);
    QVERIFY(window->lblCount->text().startsWith(QStringLiteral("The archive holds no runs yet")));
    m_h->prompter().answerFile(path);
    if (!message.isEmpty())
        m_h->prompter().answerMessage(QMessageBox::Ok);
    w->ImportArchive1->trigger();
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("ArchivePanel"))->text(), status);
    QCOMPARE(window->model().rowCount(), runs);
    if (message.isEmpty()) {
        QVERIFY(m_h->prompter().messages.isEmpty());
        window->selectRow(0);
        QCOMPARE(window->gridDownloads->item(0, 5)->text(), QStringLiteral("import: ") + path);
    } else {
        QCOMPARE(m_h->prompter().messages.size(), 1);
        QVERIFY2(m_h->prompter().messages.first().startsWith(message.arg(path)),
                 qPrintable(m_h->prompter().messages.first()));
    }
}

void TestArchiveWindow::monitoringRunListedAndOpened()
{
    // Three periods of a minute; the middle one heard no reading (the meter
    // was off): a gap, left out of the statistics.
    const QDateTime start(QDate(2026, 5, 4), QTime(10, 0), QTimeZone::utc());
    {
        QVERIFY(QDir().mkpath(QFileInfo(archivePath()).path()));
        Result<std::unique_ptr<MonitorStore>> store = MonitorStore::open(archivePath());
        QVERIFY2(store, qPrintable(store ? QString() : store.message()));
        Result<qint64> run = (*store)->startRun(QStringLiteral("/dev/ttyUSB0"), start, 60, QStringLiteral("C"));
        QVERIFY(run);
        const QList<QList<double>> readings{{40, 21.5, 44, 20.5}, {}, {50, 22.5, 46, 23.5}};
        for (int i = 0; i < readings.size(); ++i) {
            WatchPeriod p;
            p.startUtc = start.addSecs(60 * i);
            p.seconds = 60;
            p.unit = QStringLiteral("C");
            for (int k = 0; k + 1 < readings[i].size(); k += 2) {
                p.channels[0].add(readings[i][k]);
                p.channels[1].add(readings[i][k + 1]);
                ++p.readings;
            }
            QVERIFY((*store)->addPeriod(*run, p));
        }
    }
    auto w = Harness::startMainWindow(m_h->ctx());
    w->Archive1Click();
    TfrmArchive *window = w->workspace().archiveWindow();
    QVERIFY(window);
    QCOMPARE(window->model().rowCount(), 1);
    QStringList cells;
    for (int c : {ArchiveRunModel::Kind, ArchiveRunModel::Port, ArchiveRunModel::Interval, ArchiveRunModel::Samples,
                  ArchiveRunModel::HumidityMin, ArchiveRunModel::HumidityMax, ArchiveRunModel::TemperatureMin,
                  ArchiveRunModel::TemperatureMax, ArchiveRunModel::Events})
        cells << window->model().text(0, c);
    QCOMPARE(cells, (QStringList{"Monitoring", "/dev/ttyUSB0", "01:00", "3", "40.0", "50.0", "20.5", "23.5", "0"}));
    QVERIFY(window->lblDetail->text().startsWith(QStringLiteral("Monitoring run 1 of kv518-cli watch on /dev/ttyUSB0")));

    TfrmGraph *opened = window->openSelectedRun();
    QVERIFY(opened);
    QCOMPARE(w->workspace().activeDataView(), opened);
    // Samples at the period starts, the means of each; the gap is an
    // out-of-range sample, which no average takes in.
    QCOMPARE(opened->txtDataNo->text(), QStringLiteral("3"));
    QCOMPARE(opened->dataListModel->rowCount(), 3);
    StatisticsPanel &p = *opened->panel();
    QStringList stats;
    for (int tab : {0, 1}) {
        p.TabControl1->setCurrentIndex(tab);
        stats << p.txtT1Min->text().section(u'@', 0, 0) << p.txtT1Avg->text();
    }
    QCOMPARE(stats, (QStringList{"42.0", "45.000", "21.0", "22.000"}));
}

void TestArchiveWindow::watchedPortIsLeftToTheWatch()
{
    QTemporaryDir locks;
    QVERIFY(locks.isValid());
    const QByteArray lockDirBefore = qgetenv("KV518_LOCK_DIR");
    qputenv("KV518_LOCK_DIR", QFile::encodeName(locks.path()));
    const auto restore = qScopeGuard([&] {
        if (lockDirBefore.isEmpty())
            qunsetenv("KV518_LOCK_DIR");
        else
            qputenv("KV518_LOCK_DIR", lockDirBefore);
    });
    SimProcess sim({});
    QVERIFY(!sim.path().isEmpty());
    QProcess watch;
    watch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    watch.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    watch.start(QStringLiteral(KV518_CLI_PATH),
                {"watch", "--port", sim.path(), "--no-archive", "--limits", "temp=:30", "--record-every", "1s"});
    const auto stop = qScopeGuard([&] {
        watch.terminate();
        if (!watch.waitForFinished(10000))
            watch.kill();
    });
    QVERIFY(watch.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(PortLock::holder(sim.path()).has_value(), 20000);
    QCOMPARE(PortLock::holder(sim.path())->pid, watch.processId());

    auto w = Harness::startMainWindow(m_h->ctx(), Harness::testMainOptions({sim.path()}));
    const QString said = QStringLiteral("%1 is watched by kv518-cli watch (pid %2).").arg(sim.path()).arg(watch.processId());
    QTRY_COMPARE(w->statusPanelText(0), said);
    QCOMPARE(w->statusPanelText(1), QStringLiteral("Off Connection"));
    QVERIFY(!w->monitor().comm1().isOpen());
    QVERIFY(!w->monitor().isConnected());
    QCOMPARE(watch.state(), QProcess::Running);
}

QTEST_MAIN(TestArchiveWindow)
#include "tst_archive_window.moc"
