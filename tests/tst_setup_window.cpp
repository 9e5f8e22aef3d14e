// The logger setup window end to end: the main window's "Logger Setup"
// against kv518-sim on a pseudo-terminal, every question answered by the
// ScriptedPrompter, the meter's side read from the simulator's request log.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestProcesses.h"

#include "core/archive/Archive.h"
#include "core/data/DateTimeText.h"
#include "core/sim/MeterModel.h"
#include "gui/common/AppContext.h"
#include "gui/setup/SetupController.h"
#include "gui/setup/TfrmSetup.h"
#include "gui/shell/TfrmMain.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {

constexpr int StepLimitMs = 20000;

QStringList requestNames(const QString &log)
{
    QStringList names;
    for (const QByteArray &line : readFile(log).split('\n'))
        if (!line.isEmpty())
            names << QString::fromLatin1(line.split(' ').constFirst());
    return names;
}

// The grid's cells below its header row, row by row.
QStringList gridRows(const TfrmSetup &s)
{
    QStringList rows;
    for (int r = 1; r < s.DataGrid1->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < s.DataGrid1->columnCount(); ++c)
            cells << s.DataGrid1->item(r, c)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList emptyGrid()
{
    QStringList rows;
    for (int r = 1; r <= 15; ++r)
        rows << QStringLiteral("%1|empty||").arg(r);
    return rows;
}

std::optional<QDateTime> shownTime(const QLabel *label)
{
    const std::optional<double> days = DateTimeText().parseDateTime(label->text());
    if (!days)
        return std::nullopt;
    return FrameworkTime::toDateTime(*days);
}

// Presses a command button and waits until the window is idle again.
bool command(TfrmSetup &s, QAbstractButton *button)
{
    QSignalSpy idle(&s, &TfrmSetup::becameIdle);
    button->click();
    return idle.wait(StepLimitMs);
}

// The user picks an interval item, as a click in the list does.
void chooseInterval(TfrmSetup &s, int index)
{
    s.cmbInterval->setCurrentIndex(index);
    Q_EMIT s.cmbInterval->activated(index);
}

} // namespace

class TestSetupWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void refusedWithoutTouchingAnything_data();
    void refusedWithoutTouchingAnything();
    void openListsTheSetsWithoutLivePolling();
    void badDirectoryPacketCostsOneNak();
    void adjustClock();
    void unitAndIntervalSetAndReadBack();
    void eraseEmptiesGridAndMeter();
    void defaultSetup_data();
    void defaultSetup();
    void closeQuestion_data();
    void closeQuestion();
    void commandOutcomes_data();
    void commandOutcomes();

private:
    std::unique_ptr<TfrmMain> startedWindow(const QString &port);
    // Opens the setup window, runs drive once its start has ended, closes it
    // (when drive left it open) and waits until live polling is back.
    bool runSetup(TfrmMain &w, const std::function<void(TfrmSetup &)> &drive);
    void verifyLivePollingBack(TfrmMain &w);
    QString file(const QString &name) const { return m_h->filePath(name); }

    std::unique_ptr<Harness::TestContext> m_h;
};

void TestSetupWindow::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(KV518_SIM_PATH)));
}

void TestSetupWindow::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Subfolder);
    QVERIFY(m_h->isValid());
}

void TestSetupWindow::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestSetupWindow::startedWindow(const QString &port)
{
    auto w = startMainWindow(m_h->ctx(), testMainOptions({port}));
    // A meter that keeps its identity to itself is found by its live frames;
    // the window takes the unit from the last one.
    QSignalSpy frames(&w->monitor(), &ConnectionMonitor::liveFrame);
    if (!QTest::qWaitFor([&] { return w->monitor().isConnected() && frames.count() > 0; }, StepLimitMs))
        qWarning("the meter was not found");
    return w;
}

bool TestSetupWindow::runSetup(TfrmMain &w, const std::function<void(TfrmSetup &)> &drive)
{
    bool started = false;
    m_h->prompter().answerDialog([&](QDialog &dialog) {
        auto &s = static_cast<TfrmSetup &>(dialog);
        dialog.show();
        started = QTest::qWaitFor([&] { return s.idle(); }, StepLimitMs);
        if (started)
            drive(s);
        if (dialog.isVisible())
            s.BitBtn2->click();
        return dialog.isVisible() ? -1 : dialog.result();
    });
    QSignalSpy finished(&w.setupCommand(), &SetupController::finished);
    w.btnSetup->click();
    return (finished.count() > 0 || finished.wait(StepLimitMs)) && started;
}

void TestSetupWindow::verifyLivePollingBack(TfrmMain &w)
{
    QVERIFY(!w.setupCommand().running());
    QVERIFY(!w.setupCommand().setupWindow());
    QVERIFY(w.monitor().comm1().isOpen());
    QVERIFY(w.monitor().mainTimer().isActive());
    QSignalSpy frames(&w.monitor(), &ConnectionMonitor::liveFrame);
    QVERIFY(frames.wait(5000));
    QVERIFY(w.monitor().isConnected());
    for (QWidget *b : {static_cast<QWidget *>(w.btnDataLogger), static_cast<QWidget *>(w.btnSetup),
                       static_cast<QWidget *>(w.btnOpen), static_cast<QWidget *>(w.ComboBoxDeviceName)})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
}

void TestSetupWindow::refusedWithoutTouchingAnything_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("message");
    QTest::newRow("no connection") << QStringList{"--silent"}
                                   << QStringLiteral("There is no connection with Logger !");
    QTest::newRow("recording") << QStringList{"--recording"}
                               << QStringLiteral("The Logger is recording , please stop recording before setup.");
}

void TestSetupWindow::refusedWithoutTouchingAnything()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, message);
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim(simArgs + QStringList{"--log", log});
    auto w = startMainWindow(m_h->ctx(), testMainOptions({sim.path()}));
    if (!simArgs.contains(QStringLiteral("--silent")))
        QTRY_VERIFY_WITH_TIMEOUT(w->liveReadings().loggerRecording(), StepLimitMs);
    const bool comm1Open = w->monitor().comm1().isOpen();
    const QString device = w->monitor().comm1().deviceName();
    QVERIFY(w->monitor().mainTimer().isActive());

    m_h->prompter().answerMessage(QMessageBox::Ok);
    w->btnSetup->click();
    QCOMPARE(m_h->prompter().messages, QStringList{message});
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QVERIFY(!w->setupCommand().running());
    QCOMPARE(w->monitor().comm1().isOpen(), comm1Open);
    QCOMPARE(w->monitor().comm1().deviceName(), device);
    QVERIFY(w->monitor().mainTimer().isActive());
    QVERIFY(!w->monitor().isSuspended());
    // The menu entry runs the same handler.
    m_h->prompter().answerMessage(QMessageBox::Ok);
    w->Setup1->trigger();
    QCOMPARE(m_h->prompter().messages.size(), 2);
    QVERIFY(!requestNames(log).contains(QStringLiteral("DIRECTORY_REQUEST")));
}

void TestSetupWindow::openListsTheSetsWithoutLivePolling()
{
    ImageSet a;
    a.at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).ramp(40, 400, 2, 200, 1);
    ImageSet b;
    b.at(QDateTime(QDate(2011, 5, 3), QTime(23, 59, 59))).ramp(7, 600, -1, 250, 2);
    ImageSet c; // an impossible date: its row keeps "empty", its count shows
    c.at(QDateTime(QDate(2011, 5, 4), QTime(9, 30, 0))).ramp(25, 300, 3, 700, -1);
    c.month = 13;
    QVERIFY(writeFile(file(QStringLiteral("meter.518")), ImageBuilder().add(a).add(b).add(c).build()));
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim({"--image", file(QStringLiteral("meter.518")), "--log", log});
    auto w = startedWindow(sim.path());

    QStringList rows;
    QString interval;
    bool celsius = false;
    qsizetype logAtIdle = 0;
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        logAtIdle = requestNames(log).size();
        rows = gridRows(s);
        interval = s.cmbInterval->currentText();
        celsius = s.RadioC->isChecked();
        // The clock poll runs: both clocks show.
        QVERIFY(QTest::qWaitFor([&] { return shownTime(s.lblLoggerTime) && shownTime(s.lblPCTime); }, 5000));
        QCOMPARE(s.DataGrid1->item(0, 0)->text() + s.DataGrid1->item(0, 1)->text() + s.DataGrid1->item(0, 2)->text()
                     + s.DataGrid1->item(0, 3)->text(),
                 QStringLiteral("SetDateTimeNum."));
        QVERIFY(!s.intervalChanged());
        QVERIFY(!s.unitChanged());
    }));
    const DateTimeText texts;
    const auto row = [&](int set, const QDateTime &t, int n) {
        const double days = FrameworkTime::fromDateTime(t);
        return QStringLiteral("%1|%2|%3|%4").arg(set).arg(texts.shortDate(days), texts.longTime(days)).arg(n);
    };
    QStringList expected = emptyGrid();
    expected[0] = row(1, QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0)), 40);
    expected[1] = row(2, QDateTime(QDate(2011, 5, 3), QTime(23, 59, 59)), 7);
    expected[2] = QStringLiteral("3|empty||25");
    QCOMPARE(rows, expected);
    QCOMPARE(interval, QStringLiteral("01:00")); // the simulator's interval
    QVERIFY(celsius);

    // From the directory request to the window's close only setup requests went out.
    const QStringList names = requestNames(log);
    const qsizetype first = names.indexOf(QStringLiteral("DIRECTORY_REQUEST"));
    const qsizetype last = names.lastIndexOf(QStringLiteral("CLOCK_REQUEST"));
    QVERIFY(first >= 0 && last > first && last >= logAtIdle);
    const QStringList during = names.mid(first, last - first + 1);
    QVERIFY2(!during.contains(QStringLiteral("LIVE_REQUEST")) && !during.contains(QStringLiteral("WAKE_BYTE")),
             qPrintable(during.join(u' ')));
    QCOMPARE(during.mid(0, 7), (QStringList{"DIRECTORY_REQUEST", "ACK", "ACK", "ACK", "ACK", "ACK",
                                            "INTERVAL_REQUEST"}));
    QVERIFY(m_h->prompter().messages.isEmpty());
    verifyLivePollingBack(*w);
}

void TestSetupWindow::badDirectoryPacketCostsOneNak()
{
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim({"--sets", "4", "--samples", "30", "--bad-checksum", "2", "--log", log});
    auto w = startedWindow(sim.path());
    QStringList rows;
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) { rows = gridRows(s); }));
    QCOMPARE(requestNames(log).count(QStringLiteral("NAK")), 1);
    QCOMPARE(requestNames(log).count(QStringLiteral("ACK")), 5);
    for (int r = 0; r < 4; ++r)
        QVERIFY2(rows.at(r).endsWith(QStringLiteral("|30")) && !rows.at(r).contains(QStringLiteral("empty")),
                 qPrintable(rows.at(r)));
    QCOMPARE(rows.mid(4), emptyGrid().mid(4));
}

void TestSetupWindow::adjustClock()
{
    SimProcess sim({"--clock", "2020-01-31T12:00:00"});
    auto w = startedWindow(sim.path());
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        QVERIFY(QTest::qWaitFor([&] { return shownTime(s.lblLoggerTime).has_value(); }, 5000));
        QCOMPARE(shownTime(s.lblLoggerTime)->date(), QDate(2020, 1, 31));
        QVERIFY(command(s, s.btnAdjustTime));
        // The clock poll shows the logger's new time.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto t = shownTime(s.lblLoggerTime);
                return t && qAbs(t->secsTo(QDateTime::currentDateTime())) <= 1;
            },
            5000));
        QVERIFY(!s.intervalChanged() && !s.unitChanged());
    }));
    verifyLivePollingBack(*w);
}

void TestSetupWindow::unitAndIntervalSetAndReadBack()
{
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim({"--log", log});
    auto w = startedWindow(sim.path());
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        QVERIFY(s.RadioC->isChecked());
        s.RadioF->click();
        QVERIFY(s.unitChanged());
        QVERIFY(command(s, s.btnSetUnit));
        QVERIFY(!s.unitChanged());
        chooseInterval(s, 9);
        QVERIFY(s.intervalChanged());
        QVERIFY(command(s, s.Button2));
        QVERIFY(!s.intervalChanged());
    }));
    QVERIFY(requestNames(log).contains(QStringLiteral("SET_UNIT")));
    // The live readings now show degrees Fahrenheit, and the window reads both back.
    QTRY_VERIFY_WITH_TIMEOUT(!w->liveReadings().unitIsCelsius(), StepLimitMs);
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        QVERIFY(s.RadioF->isChecked());
        QCOMPARE(s.cmbInterval->currentText(), QStringLiteral("05:00"));
    }));
    verifyLivePollingBack(*w);
}

void TestSetupWindow::eraseEmptiesGridAndMeter()
{
    SimProcess sim({"--sets", "5", "--samples", "20"});
    auto w = startedWindow(sim.path());
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        QCOMPARE(gridRows(s).mid(5), emptyGrid().mid(5));
        QVERIFY(gridRows(s).at(4).endsWith(QStringLiteral("|20")));
        // Cancel sends nothing; Yes erases.
        m_h->prompter().answerMessage(QMessageBox::Cancel);
        s.btnErase->click();
        QVERIFY(s.idle());
        QVERIFY(gridRows(s).at(4).endsWith(QStringLiteral("|20")));
        m_h->prompter().answerMessage(QMessageBox::Yes);
        QVERIFY(command(s, s.btnErase));
        QCOMPARE(m_h->prompter().messages,
                 QStringList(2, QStringLiteral("Erase all 5 data sets on the logger? This cannot be undone.")));
        QCOMPARE(gridRows(s), emptyGrid());
    }));
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) { QCOMPARE(gridRows(s), emptyGrid()); }));
    verifyLivePollingBack(*w);
}

void TestSetupWindow::defaultSetup_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("message");
    QTest::newRow("loaded") << QStringList{} << QStringLiteral("Load default setup successfully.");
    QTest::newRow("no identity") << QStringList{"--mute", "IDENTIFY_REQUEST"}
                                 << QStringLiteral("Load default setup fail !!!!");
    QTest::newRow("not confirmed") << QStringList{"--mute", "DEFAULT_SETUP_REQUEST"}
                                   << QStringLiteral("Load default setup fail !!!!");
}

void TestSetupWindow::defaultSetup()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, message);
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim(simArgs + QStringList{"--log", log});
    auto w = startedWindow(sim.path());
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        // Cancel asks nothing of the meter.
        m_h->prompter().answerMessage(QMessageBox::Cancel);
        s.Button3->click();
        QVERIFY(s.idle());
        QVERIFY(!requestNames(log).contains(QStringLiteral("DEFAULT_SETUP_REQUEST")));
        m_h->prompter().answerMessage(QMessageBox::Yes);
        m_h->prompter().answerMessage(QMessageBox::Ok);
        QVERIFY(command(s, s.Button3));
    }));
    QCOMPARE(m_h->prompter().messages, (QStringList{"Continue ?", "Continue ?", message}));
    QCOMPARE(m_h->prompter().messageButtons.at(0), QMessageBox::Yes | QMessageBox::Cancel);
    // The request goes out whatever the identity said.
    QTRY_COMPARE_WITH_TIMEOUT(requestNames(log).count(QStringLiteral("DEFAULT_SETUP_REQUEST")), 1, 5000);
    verifyLivePollingBack(*w);
}

void TestSetupWindow::closeQuestion_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("asked");
    QTest::newRow("nothing changed") << QStringList{} << "" << false;
    QTest::newRow("interval chosen") << QStringList{} << "interval" << true;
    QTest::newRow("interval chosen and sent") << QStringList{} << "interval sent" << false;
    QTest::newRow("interval typed") << QStringList{} << "typed" << true;
    QTest::newRow("text that is no interval, OK") << QStringList{} << "typed bad sent" << true;
    QTest::newRow("Celsius clicked") << QStringList{} << "celsius" << true;
    QTest::newRow("degree picture clicked") << QStringList{} << "picture" << true;
    QTest::newRow("unit sent") << QStringList{} << "unit sent" << false;
    QTest::newRow("unit sent, not confirmed") << QStringList{"--mute", "SET_UNIT"} << "unit sent" << true;
}

void TestSetupWindow::closeQuestion()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, change);
    QFETCH(bool, asked);
    const QString log = file(QStringLiteral("meter.log"));
    SimProcess sim(simArgs + QStringList{"--log", log});
    auto w = startedWindow(sim.path());
    const QString question = QStringLiteral("Something changed and not saved . Do you really want to exit ? ");
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        if (change.startsWith(QLatin1String("interval")))
            chooseInterval(s, 3);
        if (change.startsWith(QLatin1String("typed"))) {
            s.cmbInterval->lineEdit()->clear();
            QTest::keyClicks(s.cmbInterval->lineEdit(), change.contains(QLatin1String("bad")) ? "7:00" : "10:00");
        }
        if (change == QLatin1String("celsius"))
            s.RadioC->click();
        if (change.startsWith(QLatin1String("unit")))
            s.RadioF->click();
        if (change == QLatin1String("picture"))
            QTest::mouseClick(s.Image1, Qt::LeftButton);
        if (change.endsWith(QLatin1String("sent"))) {
            QAbstractButton *ok = change.startsWith(QLatin1String("unit")) ? s.btnSetUnit : s.Button2;
            if (change.contains(QLatin1String("bad"))) {
                ok->click(); // refused on the spot: nothing to wait for
                QVERIFY(s.idle());
            } else {
                QVERIFY(command(s, ok));
            }
        }
        if (asked) {
            // No keeps the window; Yes closes it.
            m_h->prompter().answerMessage(QMessageBox::No);
            s.BitBtn2->click();
            QVERIFY(s.isVisible());
            m_h->prompter().answerMessage(QMessageBox::Yes);
            QTest::keyClick(&s, Qt::Key_Escape);
            QVERIFY(!s.isVisible());
        } else {
            s.BitBtn2->click();
            QVERIFY(!s.isVisible());
        }
        QCOMPARE(s.result(), int(QDialog::Rejected));
    }));
    QCOMPARE(m_h->prompter().messages, (asked ? QStringList{question, question} : QStringList{}));
    if (asked)
        QCOMPARE(m_h->prompter().messageButtons.at(0), QMessageBox::Yes | QMessageBox::No);
    if (change == QLatin1String("typed bad sent"))
        QVERIFY(!requestNames(log).contains(QStringLiteral("SET_INTERVAL")));
    verifyLivePollingBack(*w);
}

void TestSetupWindow::commandOutcomes_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("status");
    QTest::newRow("clock set") << QStringList{} << "clock" << "Clock set";
    QTest::newRow("clock, no answer") << QStringList{"--mute", "SET_CLOCK"} << "clock"
                                      << "The logger did not answer";
    QTest::newRow("unit set") << QStringList{} << "unit" << QStringLiteral("Unit set to \u00B0F");
    QTest::newRow("unit, no answer") << QStringList{"--mute", "SET_UNIT"} << "unit" << "The logger did not answer";
    QTest::newRow("interval set") << QStringList{} << "interval" << "Interval set to 05:00";
    QTest::newRow("interval not in the list") << QStringList{} << "typed" << "\"7:00\" is not one of the intervals";
    QTest::newRow("erased") << QStringList{"--sets", "3", "--samples", "20"} << "erase" << "Memory erased";
    QTest::newRow("erased, all of them archived") << QStringList{"--sets", "3", "--samples", "20"}
                                                  << "erase archived" << "Memory erased";
    QTest::newRow("default setup, read back") << QStringList{} << "defaults" << "Default setup loaded";
    QTest::newRow("directory, no answer") << QStringList{"--mute", "DIRECTORY_REQUEST"} << ""
                                          << "The logger did not answer";
}

void TestSetupWindow::commandOutcomes()
{
    // Each command's outcome shows on the window's status line.
    QFETCH(QStringList, simArgs);
    QFETCH(QString, step);
    QFETCH(QString, status);
    if (step == QLatin1String("erase archived")) {
        // The archive holds a download of the same memory.
        QVERIFY(QDir().mkpath(m_h->ctx().folders().programFolder()));
        auto archive = Archive::open(Archive::defaultPath(m_h->ctx().folders().programFolder()));
        QVERIFY(archive);
        QVERIFY((*archive)->add(ArchiveDownload::here(MeterModel::generateImage(3, 20), ArchiveSource::Import)));
    }
    SimProcess sim(simArgs);
    auto w = startedWindow(sim.path());
    QVERIFY(runSetup(*w, [&](TfrmSetup &s) {
        if (step.isEmpty()) {
            // No directory came: the grid says nothing rather than "empty".
            QCOMPARE(gridRows(s).first(), QStringLiteral("1|||"));
        } else if (step == QLatin1String("clock")) {
            QVERIFY(command(s, s.btnAdjustTime));
        } else if (step == QLatin1String("unit")) {
            s.RadioF->click();
            QVERIFY(command(s, s.btnSetUnit));
            if (s.unitChanged())
                m_h->prompter().answerMessage(QMessageBox::Yes); // the close question
        } else if (step == QLatin1String("interval")) {
            chooseInterval(s, 9);
            QVERIFY(command(s, s.Button2));
        } else if (step == QLatin1String("typed")) {
            s.cmbInterval->lineEdit()->clear();
            QTest::keyClicks(s.cmbInterval->lineEdit(), "7:00");
            s.Button2->click();
            QVERIFY(s.idle());
            m_h->prompter().answerMessage(QMessageBox::Yes); // the close question
        } else if (step.startsWith(QLatin1String("erase"))) {
            m_h->prompter().answerMessage(QMessageBox::Yes);
            QVERIFY(command(s, s.btnErase));
            QCOMPARE(m_h->prompter().messages.value(0),
                     step.endsWith(QLatin1String("archived"))
                         ? QStringLiteral("Erase all 3 data sets on the logger? All of them are archived. "
                                          "This cannot be undone.")
                         : QStringLiteral("Erase all 3 data sets on the logger? This cannot be undone."));
        } else if (step == QLatin1String("defaults")) {
            s.RadioF->click();
            QVERIFY(command(s, s.btnSetUnit));
            chooseInterval(s, 9);
            QVERIFY(command(s, s.Button2));
            m_h->prompter().answerMessage(QMessageBox::Yes);
            m_h->prompter().answerMessage(QMessageBox::Ok);
            QVERIFY(command(s, s.Button3));
            // What the logger holds after it, read again.
            QVERIFY(s.RadioC->isChecked());
            QCOMPARE(s.cmbInterval->currentText(), QStringLiteral("01:00"));
            QVERIFY(!s.unitChanged() && !s.intervalChanged());
        }
        QCOMPARE(s.lblStatus->text(), status);
    }));
    verifyLivePollingBack(*w);
}

QTEST_MAIN(TestSetupWindow)
#include "tst_setup_window.moc"
