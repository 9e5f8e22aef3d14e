// The download controller on its own: the demo meter on its in-memory line,
// a bare download view, no main window. A faulty data set answered with
// "Fixed the error " must leave exactly the data sets before it, in the store,
// on screen and in the temporary image that a later open reads back.
#include "ImageBuilder.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include "core/data/CollectionFile.h"
#include "core/link/ConnectionMonitor.h"
#include "ClockedFlows.h"
#include "core/sim/DemoMeter.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadController.h"
#include "gui/download/DownloadSession.h"
#include "gui/download/TfrmErr.h"
#include "gui/shell/Workspace.h"
#include "Outcome.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPointer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {

constexpr int DownloadLimitMs = 30000;

// Four data sets of different lengths, intervals and units; one entry may
// carry a broken end address.
ImageBuilder fourSets(int faulty = -1, quint32 faultyEnd = 0)
{
    QList<ImageSet> sets(4);
    sets[0].at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).every(10).ramp(30, 400, 2, 200, 1);
    sets[1].at(QDateTime(QDate(2011, 5, 3), QTime(9, 30, 0))).every(60).ramp(45, 600, -1, 250, 2);
    sets[2].at(QDateTime(QDate(2011, 5, 4), QTime(23, 59, 0))).every(0x002C).fahrenheit().ramp(25, 300, 3, 700, -1);
    sets[3].at(QDateTime(QDate(2011, 5, 6), QTime(12, 0, 0))).every(5).ramp(50, 550, 1, 180, 1);
    if (faulty >= 0)
        sets[faulty].endAddress = faultyEnd;
    ImageBuilder builder;
    for (const ImageSet &s : sets)
        builder.add(s);
    return builder;
}

// The first n data sets alone, as a sound image: what the repair must leave.
ImageBuilder firstSets(int n)
{
    ImageBuilder all = fourSets();
    ImageBuilder builder;
    for (int k = 0; k < n; ++k)
        builder.add(all.sets().at(k));
    return builder;
}

// The two stores hold the same data sets, sample for sample.
void verifySameSets(const TDataSetStore &actual, const TDataSetStore &expected)
{
    QCOMPARE(actual.SetCount(), expected.SetCount());
    QCOMPARE(actual.SampleCounts(), expected.SampleCounts());
    QCOMPARE(actual.StartTimes(), expected.StartTimes());
    QCOMPARE(actual.Intervals(), expected.Intervals());
    QCOMPARE(actual.UnitFlags(), expected.UnitFlags());
    QCOMPARE(actual.Values(), expected.Values());
    QCOMPARE(actual.Times(), expected.Times());
}

// The main window's part: a parent for the dialogs, the document area
// and the data sets behind its download view.
struct Desk
{
    explicit Desk(AppContext &ctx)
        : area(new QMdiArea(&window))
        , workspace(ctx, *area, window, session)
        , session(ctx, workspace)
    {
    }
    QWidget window;
    QMdiArea *area;
    Workspace workspace;
    DownloadSession session;
};

} // namespace

class TestDownloadController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void fixedErrorKeepsTheSetsBefore_data();
    void fixedErrorKeepsTheSetsBefore();
    void failedStepHandsThePortBack();

private:
    std::unique_ptr<Harness::TestContext> m_h;
};

void TestDownloadController::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Subfolder);
    QVERIFY(m_h->isValid());
}

void TestDownloadController::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

void TestDownloadController::fixedErrorKeepsTheSetsBefore_data()
{
    QTest::addColumn<int>("faulty");
    QTest::addColumn<quint32>("faultyEnd");
    QTest::newRow("second runs past the memory") << 1 << quint32(0x00FFFF00);
    QTest::newRow("third ends before it starts") << 2 << quint32(0x0200);
    QTest::newRow("first: nothing to keep") << 0 << quint32(0x00FFFF00);
}

void TestDownloadController::fixedErrorKeepsTheSetsBefore()
{
    QFETCH(int, faulty);
    QFETCH(quint32, faultyEnd);
    const int kept = faulty;

    DemoMeter meter(m_h->ctx().ports());
    meter.model().setImage(fourSets(faulty, faultyEnd).build());
    ConnectionMonitor monitor(m_h->ctx().ports());
    monitor.setPortNames({DemoMeter::DevicePath});
    QVERIFY(searchToEnd(monitor));
    QVERIFY(monitor.isConnected());

    Desk desk(m_h->ctx());
    const QString userFolder = m_h->filePath(QStringLiteral("user/"));
    desk.workspace.setUserDataFolder(userFolder);
    connect(&desk.session, &DownloadSession::saveAsked, this, [] { QFAIL("nothing asks to save"); });
    DownloadController downloads(m_h->ctx(), monitor, desk.workspace, desk.session);

    QString message;
    m_h->prompter().answerDialog([&](QDialog &d) {
        message = static_cast<TfrmErr &>(d).Label1->text();
        return int(TfrmErr::OK);
    });
    QSignalSpy finished(&downloads, &DownloadController::finished);
    // The command runs from the event loop; finished() marks its end.
    downloads.DownloadLoggerData();
    QVERIFY(finished.count() > 0 || finished.wait(DownloadLimitMs));

    QCOMPARE(message, QStringLiteral("Data error ! Choose Try Again to reload or Fix Error to delete the error data set."));
    QVERIFY(!downloads.running());
    QVERIFY(!downloads.downloadPort().isOpen());
    QVERIFY(monitor.comm1().isOpen());
    QCOMPARE(desk.session.unsavedDownload(), kept > 0);
    const QString temp = CollectionFile::tempImagePath(userFolder, m_h->ctx().folders().programFolder());
    if (kept == 0) {
        QCOMPARE(desk.session.store().SetCount(), 0);
        QVERIFY(!QFile::exists(temp));
        return;
    }

    TDataSetStore expected;
    const QByteArray sound = firstSets(kept).build();
    QCOMPARE(outcome(expected.load(sound, sound.size())), QStringLiteral("ok"));
    verifySameSets(desk.session.store(), expected);

    // A later open of the temporary image finds the same data sets again.
    const QByteArray saved = readFile(temp);
    QCOMPARE(saved, desk.session.store().lastImage());
    TDataSetStore reopened;
    QCOMPARE(outcome(reopened.load(saved, saved.size())), QStringLiteral("ok"));
    verifySameSets(reopened, expected);

    const TfrmGraph *view = desk.workspace.downloadView();
    QVERIFY(view);
    QVERIFY(view->isDownloadView());
    QCOMPARE(view->Grid2->model()->rowCount(), kept);
    QCOMPARE(view->txtDataNo->text(), QString::number(expected.SampleCounts().at(0)));
}

void TestDownloadController::failedStepHandsThePortBack()
{
    // A step that throws (here the error window's handler, as an allocation
    // failure would) still ends the download: the live port polls again and
    // the commands come back.
    DemoMeter meter(m_h->ctx().ports());
    meter.model().setImage(fourSets(1, 0x00FFFF00).build());
    ConnectionMonitor monitor(m_h->ctx().ports());
    monitor.setPortNames({DemoMeter::DevicePath});
    QVERIFY(searchToEnd(monitor));
    Desk desk(m_h->ctx());
    desk.workspace.setUserDataFolder(m_h->filePath(QStringLiteral("user/")));
    DownloadController downloads(m_h->ctx(), monitor, desk.workspace, desk.session);
    m_h->prompter().answerDialog([](QDialog &) -> int { throw std::runtime_error("out of memory"); });
    QSignalSpy finished(&downloads, &DownloadController::finished);
    downloads.DownloadLoggerData();
    QVERIFY(finished.count() > 0 || finished.wait(DownloadLimitMs));
    QVERIFY(!downloads.running());
    QVERIFY(!downloads.downloadPort().isOpen());
    QVERIFY(!monitor.isSuspended());
    QTRY_VERIFY(monitor.comm1().isOpen());
    QTRY_VERIFY(monitor.isConnected());
}

QTEST_MAIN(TestDownloadController)
#include "tst_downloadcontroller.moc"
