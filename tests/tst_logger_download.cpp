// The download command end to end: the main window against kv518-sim on a
// pseudo-terminal through the real serial backend, the error dialog and the
// message boxes answered by the ScriptedPrompter.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestProcesses.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/CollectionFile.h"
#include "core/sim/DemoMeter.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadController.h"
#include "gui/download/TfrmErr.h"
#include "gui/download/TfrmScope.h"
#include "gui/shell/TfrmOpenSave.h"
#include "gui/shell/TfrmMain.h"
#include "Outcome.h"

#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

#include <memory>

namespace {

using Sim = SimProcess;

constexpr int DownloadLimitMs = 60000;

int countLines(const QString &path, const QByteArray &line)
{
    return int(readFile(path).split('\n').count(line));
}

// The packets a saved transfer log shows NAKs for, one entry per NAK.
QList<int> nakedPackets(const QString &path)
{
    QList<int> out;
    for (const QByteArray &line : readFile(path).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value("msg") == QLatin1String("NAK"))
            out << o.value("packet").toInt();
    }
    return out;
}

// Three small data sets; the middle one can be made to run past the memory.
ImageBuilder threeSets(std::optional<quint32> middleEnd = {})
{
    ImageSet a;
    a.at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).every(10).ramp(40, 400, 2, 200, 1);
    ImageSet b;
    b.at(QDateTime(QDate(2011, 5, 3), QTime(9, 30, 0))).every(60).ramp(30, 600, -1, 250, 2);
    b.endAddress = middleEnd;
    ImageSet c;
    c.at(QDateTime(QDate(2011, 5, 4), QTime(23, 59, 0))).every(0x002C).fahrenheit().ramp(25, 300, 3, 700, -1);
    return ImageBuilder().add(a).add(b).add(c);
}

} // namespace

class TestLoggerDownload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void downloadShowsTheFirstSet_data();
    void downloadShowsTheFirstSet();
    void hangUpThenTryAgain();
    void dataErrorFixedKeepsTheSetsBefore_data();
    void dataErrorFixedKeepsTheSetsBefore();
    void refusedWithoutTouchingAnything_data();
    void refusedWithoutTouchingAnything();
    void emptyLogger();
    void commandsRefuseWhileDownloading();
    void demoMeterOnItsInMemoryLine();
    void modalWindowHeldDuringTheTransfer();
    void unsavedDownloadAskedBeforeDownload_data();
    void unsavedDownloadAskedBeforeDownload();
    void transferLogSavedFromTheErrorWindow();

private:
    std::unique_ptr<TfrmMain> startedWindow(const QString &port, bool expectConnected = true);
    bool download(TfrmMain &w);
    void verifyLivePollingBack(TfrmMain &w);
    QString file(const QString &name) const { return m_h->filePath(name); }
    QString tempImagePath() const
    {
        return CollectionFile::tempImagePath(file(QStringLiteral("user/")), m_h->ctx().folders().programFolder());
    }

    std::unique_ptr<Harness::TestContext> m_h;
    // The program folder and the given user data folder, with the test's prompter.
    void makeContext(const QString &userFolder) { m_h->remake(userFolder); }
};

void TestLoggerDownload::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(KV518_SIM_PATH)));
}

void TestLoggerDownload::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Subfolder);
    QVERIFY(m_h->isValid());
}

void TestLoggerDownload::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestLoggerDownload::startedWindow(const QString &port, bool expectConnected)
{
    auto w = startMainWindow(m_h->ctx(), testMainOptions({port}));
    if (expectConnected && !w->monitor().isConnected())
        qWarning("the meter was not found");
    return w;
}

// Presses "Download" and waits until the command has handed the port back.
bool TestLoggerDownload::download(TfrmMain &w)
{
    QSignalSpy finished(&w.downloads(), &DownloadController::finished);
    w.btnDataLogger->click();
    return finished.count() > 0 || finished.wait(DownloadLimitMs);
}

void TestLoggerDownload::verifyLivePollingBack(TfrmMain &w)
{
    QVERIFY(!w.downloads().running());
    QVERIFY(!w.downloads().downloadPort().isOpen());
    QVERIFY(w.monitor().comm1().isOpen());
    QVERIFY(w.monitor().mainTimer().isActive());
    QVERIFY(!w.downloads().progressWindow());
    QSignalSpy frames(&w.monitor(), &ConnectionMonitor::liveFrame);
    QVERIFY(frames.wait(5000));
    QVERIFY(w.monitor().isConnected());
    QCOMPARE(w.statusPanelText(1), QStringLiteral("On Connection"));
    for (QWidget *b : {static_cast<QWidget *>(w.btnDataLogger), static_cast<QWidget *>(w.btnOpen),
                       static_cast<QWidget *>(w.btnSave), static_cast<QWidget *>(w.btnSetup),
                       static_cast<QWidget *>(w.ComboBoxDeviceName)})
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(w.DataLogger1->isEnabled());
}

void TestLoggerDownload::downloadShowsTheFirstSet_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("naks");
    QTest::addColumn<bool>("tempBlocked");
    QTest::newRow("clean") << QStringList() << false << false;
    QTest::newRow("bad checksums, temporary folder blocked")
        << QStringList{"--bad-checksum-every", "7"} << true << true;
}

void TestLoggerDownload::downloadShowsTheFirstSet()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, naks);
    QFETCH(bool, tempBlocked);
    if (tempBlocked) {
        // The user data folder lies under a regular file: its "temp" cannot be made.
        QVERIFY(writeFile(file(QStringLiteral("plain")), "x"));
        makeContext(file(QStringLiteral("plain/KV518/")));
        m_h->prompter().answerMessage(QMessageBox::Ok);
    }
    const QByteArray image = threeSets().build();
    QVERIFY(writeFile(file(QStringLiteral("meter.518")), image));
    const QString log = file(QStringLiteral("meter.log"));
    Sim sim(QStringList{"--image", file(QStringLiteral("meter.518")), "--log", log} + faults);
    QVERIFY(!sim.path().isEmpty());
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());

    // What the progress window says while the packets come in.
    QStringList captions;
    qint64 totalShown = 0;
    int barMaximum = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (TfrmScope *p = w->downloads().progressWindow()) {
            if (!captions.contains(p->windowTitle()))
                captions << p->windowTitle();
            totalShown = qMax(totalShown, p->lblTotalBytes->text().toLongLong());
            barMaximum = qMax(barMaximum, p->Progress1->maximum());
            if (!p->GroupBox1->isHidden() || !p->BitBtn1->isHidden() || !p->BitBtn2->isHidden()
                || p->SText1->text() != QStringLiteral("bytes received")
                || p->SText2->text() != QStringLiteral("total bytes"))
                captions << QStringLiteral("wrong controls");
        }
    });
    sampler.start(5);
    QVERIFY(download(*w));
    sampler.stop();

    QCOMPARE(captions, QStringList{QStringLiteral("Data Retriving Progress")});
    QCOMPARE(totalShown, qint64(image.size()));
    QCOMPARE(barMaximum, int(image.size()));
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    if (tempBlocked) {
        QCOMPARE(m_h->prompter().messages,
                 QStringList{QDir::toNativeSeparators(file(QStringLiteral("plain/KV518/temp")))});
    } else {
        QVERIFY(m_h->prompter().messages.isEmpty());
        QCOMPARE(readFile(tempImagePath()), image);
    }

    QCOMPARE(w->session().store().lastImage(), image);
    QCOMPARE(w->session().store().SetCount(), 3);
    QVERIFY(w->session().unsavedDownload());

    // Data set 0 is on screen: its row, its samples, its statistics.
    QVERIFY(w->downloadView());
    const TfrmGraph &v = *w->downloadView();
    QCOMPARE(v.dataSetListModel->rowCount(), 3);
    QCOMPARE(v.Grid2->currentIndex().row(), 0);
    QCOMPARE(v.txtDataNo->text(), QStringLiteral("40"));
    QCOMPARE(v.dataListModel->rowCount(), 40);
    const QList<float> &values = w->session().store().Values();
    QCOMPARE(v.PESGraph1->model().state().y.mid(0, 1), values.mid(0, 1));
    QVERIFY(!v.panel()->txtT1Max->text().isEmpty());
    QVERIFY(!v.panel()->txtCursorA->text().isEmpty());

    const int nakCount = countLines(log, "NAK ef6efe");
    QCOMPARE(nakCount > 0, naks);
    QVERIFY(nakCount < 21);
    verifyLivePollingBack(*w);
}

void TestLoggerDownload::hangUpThenTryAgain()
{
    const QString link = file(QStringLiteral("meter"));
    const QStringList memory{"--sets", "3", "--samples", "400", "--seed", "5"};
    QProcess writer;
    writer.start(QStringLiteral(KV518_SIM_PATH), memory + QStringList{"--write-image", file(QStringLiteral("sim.518"))});
    QVERIFY(writer.waitForFinished(10000));
    const QByteArray simImage = readFile(file(QStringLiteral("sim.518")));
    QVERIFY(simImage.size() > 4000);

    // The line dies in the middle of the memory, well after the directory.
    auto sim = std::make_unique<Sim>(QStringList{"--link", link, "--hangup-after", "3000"} + memory);
    auto w = startedWindow(link);
    QVERIFY(w->monitor().isConnected());

    // An earlier load stays on screen through the failed attempt.
    const QByteArray earlier = ImageBuilder::sampleCollection().build();
    QCOMPARE(outcome(w->session().ParseLoggerImage(earlier, earlier.size())), QStringLiteral("ok"));
    w->session().showFirstDataSet();
    const ShownView before = shownView(*w->downloadView());

    QString message;
    bool onlyRetryAndCancel = false;
    bool untouched = false;
    m_h->prompter().answerDialog([&](QDialog &d) {
        auto &err = static_cast<TfrmErr &>(d);
        message = err.Label1->text();
        onlyRetryAndCancel = err.Button1->isHidden() && !err.Button2->isHidden() && !err.Button3->isHidden();
        untouched = w->downloadView() && shownView(*w->downloadView()) == before
            && w->session().store().lastImage() == earlier && !w->session().unsavedDownload()
            && !w->monitor().comm1().isOpen() && !w->monitor().mainTimer().isActive();
        // The meter is back behind the same path.
        sim.reset();
        sim = std::make_unique<Sim>(QStringList{"--link", link} + memory);
        return int(TfrmErr::Retry);
    });
    QVERIFY(download(*w));

    QCOMPARE(m_h->prompter().dialogs, QStringList{QStringLiteral("Error Message")});
    QCOMPARE(message, QStringLiteral("There was error when reading data from meter"));
    QVERIFY(onlyRetryAndCancel);
    QVERIFY(untouched);
    // Try Again read the whole memory afresh.
    QCOMPARE(w->session().store().lastImage().size(), (simImage.size() + 63) / 64 * 64);
    QCOMPARE(w->session().store().lastImage().left(simImage.size()), simImage);
    QCOMPARE(w->session().store().SetCount(), 3);
    QVERIFY(w->session().unsavedDownload());
    QCOMPARE(w->downloadView()->txtDataNo->text(), QStringLiteral("400"));
    verifyLivePollingBack(*w);
}

void TestLoggerDownload::dataErrorFixedKeepsTheSetsBefore_data()
{
    QTest::addColumn<bool>("middleSetFaulty");
    QTest::addColumn<int>("setsKept");
    QTest::newRow("second of three") << true << 1;
    QTest::newRow("first: nothing to keep") << false << 0;
}

void TestLoggerDownload::dataErrorFixedKeepsTheSetsBefore()
{
    QFETCH(bool, middleSetFaulty);
    QFETCH(int, setsKept);
    QStringList memory;
    QByteArray image;
    if (middleSetFaulty) {
        image = threeSets(0x00FFFF00).build();
        QVERIFY(writeFile(file(QStringLiteral("meter.518")), image));
        memory = {"--image", file(QStringLiteral("meter.518"))};
    } else {
        memory = {"--sets", "3", "--samples", "20", "--run-past-image"};
    }
    Sim sim(memory);
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());

    QString message;
    bool allThree = false;
    m_h->prompter().answerDialog([&](QDialog &d) {
        auto &err = static_cast<TfrmErr &>(d);
        message = err.Label1->text();
        allThree = !err.Button1->isHidden() && !err.Button2->isHidden() && !err.Button3->isHidden();
        return int(TfrmErr::OK);
    });
    QVERIFY(download(*w));

    QCOMPARE(message, QStringLiteral("Data error ! Choose Try Again to reload or Fix Error to delete the error data set."));
    QVERIFY(allThree);
    QCOMPARE(w->session().store().SetCount(), setsKept);
    QCOMPARE(w->session().unsavedDownload(), setsKept > 0);
    if (setsKept > 0) {
        // The faulty entry ends the directory, so the saved image reopens the same.
        QByteArray repaired = image;
        qToLittleEndian<quint32>(0, repaired.data() + 16 + 16 + 12);
        QCOMPARE(w->session().store().lastImage(), repaired);
        QCOMPARE(readFile(tempImagePath()), repaired);
        TDataSetStore reopened;
        QCOMPARE(outcome(reopened.load(repaired, repaired.size())), QStringLiteral("ok"));
        QCOMPARE(reopened.SetCount(), 1);
        QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 1);
        QCOMPARE(w->downloadView()->txtDataNo->text(), QStringLiteral("40"));
    } else {
        QVERIFY(w->session().store().lastImage().isEmpty());
        QVERIFY(!QFile::exists(tempImagePath()));
    }
    verifyLivePollingBack(*w);
}

void TestLoggerDownload::refusedWithoutTouchingAnything_data()
{
    QTest::addColumn<QStringList>("meter");
    QTest::addColumn<QString>("message");
    QTest::newRow("no connection") << QStringList{"--silent"} << QStringLiteral("There is no connection with Logger !");
    QTest::newRow("recording")
        << QStringList{"--recording"}
        << QStringLiteral("The Logger is recording data, please stop recording before loading data.");
}

void TestLoggerDownload::refusedWithoutTouchingAnything()
{
    QFETCH(QStringList, meter);
    QFETCH(QString, message);
    const QString log = file(QStringLiteral("meter.log"));
    Sim sim(meter + QStringList{"--log", log});
    auto w = startedWindow(sim.path(), false);
    if (meter.contains(QStringLiteral("--recording")))
        QTRY_VERIFY(w->monitor().loggerRecording());
    // A closed download view is not brought back by a refusal.
    w->downloadView()->parentWidget()->close();
    QTRY_VERIFY(!w->downloadView());

    m_h->prompter().answerMessage(QMessageBox::Ok);
    QSignalSpy finished(&w->downloads(), &DownloadController::finished);
    w->btnDataLogger->click();

    QCOMPARE(m_h->prompter().messages, QStringList{message});
    QCOMPARE(finished.count(), 0);
    QVERIFY(!w->downloads().running());
    QVERIFY(!w->downloadView());
    QVERIFY(!w->downloads().progressWindow());
    QVERIFY(w->monitor().comm1().isOpen());
    QVERIFY(w->monitor().mainTimer().isActive());
    QVERIFY(!w->monitor().isSuspended());
    QVERIFY(!w->downloads().downloadPort().isOpen());
    QVERIFY(w->btnDataLogger->isEnabled());
    QCOMPARE(countLines(log, "DOWNLOAD_REQUEST ef44fe"), 0);
}

void TestLoggerDownload::emptyLogger()
{
    Sim sim({"--sets", "0"});
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());
    const ShownView before = shownView(*w->downloadView());
    m_h->prompter().answerMessage(QMessageBox::Ok);
    QVERIFY(download(*w));
    QCOMPARE(m_h->prompter().messages, QStringList{QStringLiteral("There is not any recorded data in memory!")});
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QCOMPARE(w->session().store().SetCount(), 0);
    QVERIFY(!w->session().unsavedDownload());
    QVERIFY(shownView(*w->downloadView()) == before);
    verifyLivePollingBack(*w);
}

void TestLoggerDownload::commandsRefuseWhileDownloading()
{
    Sim sim({"--sets", "2", "--samples", "300", "--realtime"});
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());
    const QString device = w->monitor().comm1().deviceName();

    bool checked = false;
    QStringList enabled;
    bool closeRefused = false;
    QTimer during;
    connect(&during, &QTimer::timeout, this, [&] {
        if (checked || !w->downloads().progressWindow())
            return;
        checked = true;
        for (QWidget *b : {static_cast<QWidget *>(w->btnDataLogger), static_cast<QWidget *>(w->btnOpen),
                           static_cast<QWidget *>(w->btnSave), static_cast<QWidget *>(w->btnSetup),
                           static_cast<QWidget *>(w->ComboBoxDeviceName), static_cast<QWidget *>(w->btnPrint)})
            if (b->isEnabled())
                enabled << b->objectName();
        for (QAction *a : {w->DataLogger1, w->Open1, w->Save1, w->Setup1, w->Print1, w->PrintPreview1,
                           w->PrinterSetup1, w->ExportReport1})
            if (a->isEnabled())
                enabled << a->objectName();
        // Yes to the view's save question meanwhile: nothing can be saved, and it says so.
        m_h->prompter().answerMessage(QMessageBox::Ok);
        Q_EMIT w->session().saveAsked(*w->downloadView());
        // The handlers refuse too (a scripted prompter would record any question).
        w->btnOpenClick();
        w->Save1Click();
        w->btnSetupClick();
        w->btnDataLoggerClick();
        w->ComboBoxDeviceName->setEditText(QStringLiteral("/dev/null"));
        w->ComboBoxDeviceNameChange();
        closeRefused = !w->close();
        // The download view may go; the parse brings it back.
        w->downloadView()->parentWidget()->close();
    });
    during.start(5);
    QVERIFY(download(*w));
    during.stop();

    QVERIFY(checked);
    QVERIFY2(enabled.isEmpty(), qPrintable(enabled.join(u' ')));
    QVERIFY(closeRefused);
    QCOMPARE(m_h->prompter().messages,
             QStringList{QStringLiteral("Nothing was saved: a download is running. Save the DataLogger data once "
                                        "it has ended.")});
    m_h->prompter().messages.clear();
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QVERIFY(m_h->prompter().fileDialogs.isEmpty());
    QCOMPARE(w->monitor().comm1().deviceName(), device);
    QCOMPARE(w->session().store().SetCount(), 2);
    QVERIFY(w->downloadView());
    QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 2);
    QCOMPARE(w->downloadView()->txtDataNo->text(), QStringLiteral("300"));

    // The held close comes once the download has ended; its view asks first.
    m_h->prompter().answerMessage(QMessageBox::No);
    QTRY_VERIFY(!w->isVisible());
    QCOMPARE(m_h->prompter().messages, QStringList{QStringLiteral("Save DataLogger Data ?")});
}

void TestLoggerDownload::modalWindowHeldDuringTheTransfer()
{
    // The user opens About while the packets come in and reads it for 5 s,
    // longer than the 3 s of silence that end a transfer: the exchange goes
    // on beneath the modal window and brings the whole memory.
    const QByteArray image = threeSets().build();
    QVERIFY(writeFile(file(QStringLiteral("meter.518")), image));
    Sim sim({"--image", file(QStringLiteral("meter.518")), "--realtime"});
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());

    qint64 receivedWhenOpened = -1;
    qint64 receivedWhenClosed = -1;
    auto received = [&] {
        TfrmScope *p = w->downloads().progressWindow();
        return p ? p->lblBytesReceived->text().toLongLong() : -1;
    };
    m_h->prompter().answerDialog([&](QDialog &about) {
        receivedWhenOpened = received();
        // The user's reading time: this handler stands for the modal window's own loop.
        QEventLoop reading;
        QTimer::singleShot(5000, &reading, &QEventLoop::quit);
        reading.exec();
        receivedWhenClosed = w->downloads().progressWindow() ? received() : qint64(image.size());
        return int(about.result());
    });
    QTimer opener;
    connect(&opener, &QTimer::timeout, this, [&] {
        if (received() >= 64) {
            opener.stop();
            w->About1->trigger();
        }
    });
    opener.start(5);
    QVERIFY(download(*w));

    QVERIFY(receivedWhenOpened >= 64);
    QVERIFY(receivedWhenOpened < image.size());
    QVERIFY(receivedWhenClosed > receivedWhenOpened);
    QCOMPARE(m_h->prompter().dialogs.size(), 1);
    QVERIFY2(m_h->prompter().messages.isEmpty(), qPrintable(m_h->prompter().messages.join(u'|')));
    QCOMPARE(w->session().store().lastImage(), image);
    QCOMPARE(w->session().store().SetCount(), 3);
    verifyLivePollingBack(*w);
}

void TestLoggerDownload::demoMeterOnItsInMemoryLine()
{
    // Comm2 opens the demo meter's in-memory line as it opens a device.
    MainOptions options;
    options.listSystemPorts = false;
    options.demo = true;
    options.startDemoMeter = [this](QObject *owner) { new DemoMeter(m_h->ctx().ports(), owner); };
    TfrmMain w(m_h->ctx(), options);
    QSignalSpy searched(&w, &TfrmMain::searchFinished);
    w.show();
    QVERIFY(searched.wait(10000));
    QVERIFY(w.monitor().isConnected());
    QVERIFY(download(w));
    QVERIFY(m_h->prompter().messages.isEmpty());
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QCOMPARE(w.session().store().SetCount(), 3);
    QCOMPARE(w.downloadView()->txtDataNo->text(), QStringLiteral("240"));
    verifyLivePollingBack(w);
}

void TestLoggerDownload::unsavedDownloadAskedBeforeDownload_data()
{
    // unsaved: the flag before Download; answer: to "Save DataLogger Data ?"
    // (NoButton: not asked); saveTo: the collection file chosen after Yes
    // (empty: dialog cancelled); downloaded: the logger's memory replaced
    // the data sets.
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveTo");
    QTest::addColumn<bool>("downloaded");
    QTest::newRow("nothing unsaved: not asked") << false << int(QMessageBox::NoButton) << QString() << true;
    QTest::newRow("Yes, saved") << true << int(QMessageBox::Yes) << QStringLiteral("saved.518") << true;
    QTest::newRow("Yes, file dialog cancelled") << true << int(QMessageBox::Yes) << QString() << false;
    QTest::newRow("No") << true << int(QMessageBox::No) << QString() << true;
    QTest::newRow("Cancel") << true << int(QMessageBox::Cancel) << QString() << false;
}

void TestLoggerDownload::unsavedDownloadAskedBeforeDownload()
{
    QFETCH(bool, unsaved);
    QFETCH(int, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, downloaded);
    MainOptions options = testMainOptions();
    options.demo = true;
    options.startDemoMeter = [this](QObject *owner) { new DemoMeter(m_h->ctx().ports(), owner); };
    auto w = startMainWindow(m_h->ctx(), options);
    QVERIFY(w->monitor().isConnected());

    // An earlier load on screen and in the temporary image.
    const QByteArray earlier = ImageBuilder::sampleCollection().build();
    QCOMPARE(outcome(w->session().ParseLoggerImage(earlier, earlier.size())), QStringLiteral("ok"));
    QVERIFY(w->session().SaveTempImage());
    w->session().showFirstDataSet();
    if (unsaved)
        w->session().markUnsaved();
    const ShownView before = shownView(*w->downloadView());

    const QString target = saveTo.isEmpty() ? QString() : file(saveTo);
    QStringList messages;
    QStringList dialogs;
    if (answer != QMessageBox::NoButton) {
        m_h->prompter().answerMessage(QMessageBox::StandardButton(answer));
        messages << QStringLiteral("Save DataLogger Data ?");
    }
    if (answer == QMessageBox::Yes) {
        m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::OK); });
        m_h->prompter().answerFile(target);
        dialogs << QStringLiteral("Save File");
    }

    // While the download runs, the commands that would replace it again are
    // refused without a question, an unsaved download or not.
    bool checked = false;
    qsizetype askedDuring = 0;
    QTimer during;
    connect(&during, &QTimer::timeout, this, [&] {
        if (checked || !w->downloads().progressWindow())
            return;
        checked = true;
        w->session().markUnsaved();
        const qsizetype asked = m_h->prompter().messages.size() + m_h->prompter().fileDialogs.size();
        w->btnDataLoggerClick();
        w->session().OpenCollectionFile(*w->OpenDialog1);
        askedDuring = m_h->prompter().messages.size() + m_h->prompter().fileDialogs.size() - asked;
    });
    during.start(5);
    QSignalSpy finished(&w->downloads(), &DownloadController::finished);
    w->btnDataLogger->click();
    if (downloaded)
        QVERIFY(finished.count() > 0 || finished.wait(DownloadLimitMs));
    during.stop();

    QCOMPARE(m_h->prompter().messages, messages);
    if (unsaved)
        QCOMPARE(m_h->prompter().messageButtons.first(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(m_h->prompter().dialogs, dialogs);
    if (!target.isEmpty())
        QCOMPARE(readFile(target), earlier);
    if (downloaded) {
        QVERIFY(checked);
        QCOMPARE(askedDuring, qsizetype(0));
        QCOMPARE(w->session().store().SetCount(), 3);
        QCOMPARE(w->downloadView()->txtDataNo->text(), QStringLiteral("240"));
        QVERIFY(w->session().store().lastImage() != earlier);
        QCOMPARE(readFile(tempImagePath()), w->session().store().lastImage());
        QVERIFY(w->session().unsavedDownload());
        verifyLivePollingBack(*w);
        return;
    }
    // Stopped before the port changed hands: nothing replaced, polling untouched.
    QCOMPARE(finished.count(), 0);
    QVERIFY(!checked);
    QVERIFY(!w->downloads().running());
    QVERIFY(!w->downloads().downloadPort().isOpen());
    QVERIFY(!w->monitor().isSuspended());
    QVERIFY(w->monitor().mainTimer().isActive());
    QVERIFY(w->session().unsavedDownload());
    QCOMPARE(w->session().store().lastImage(), earlier);
    QCOMPARE(readFile(tempImagePath()), earlier);
    QCOMPARE(shownView(*w->downloadView()), before);
}


void TestLoggerDownload::transferLogSavedFromTheErrorWindow()
{
    Sim sim({"--bad-checksum-always", "5"});
    QVERIFY(!sim.path().isEmpty());
    auto w = startedWindow(sim.path());
    QVERIFY(w->monitor().isConnected());
    const QString saved = file(QStringLiteral("transfer.jsonl"));
    m_h->prompter().answerDialog([&](QDialog &d) {
        m_h->prompter().answerFile(saved);
        static_cast<TfrmErr &>(d).btnSaveTransferLog->click();
        return int(TfrmErr::Cancel);
    });
    QVERIFY(download(*w));
    QCOMPARE(m_h->prompter().dialogs, QStringList{QStringLiteral("Error Message")});
    QCOMPARE(nakedPackets(saved), QList<int>(21, 5));
}

QTEST_MAIN(TestLoggerDownload)
#include "tst_logger_download.moc"
