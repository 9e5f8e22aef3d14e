// The main window: its controls and menus, the start, the About window, the
// port box, the window arrangement, help, leaving and closing; and the
// command line.
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"

#include "core/app/MainOptions.h"
#include "core/app/Settings.h"
#include "core/link/MemoryLine.h"
#include "gui/common/AppContext.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmAbout.h"
#include "gui/shell/PortBox.h"
#include "core/chart/DataSetListModel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadController.h"
#include "gui/shell/TfrmMain.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>

namespace {

// A document window that refuses to close while told to.
class StubbornDocument : public QWidget
{
public:
    bool refuse = true;
    int asked = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++asked;
        event->setAccepted(!refuse);
    }
};

class ThrowingObject : public QObject
{
protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("something broke");
        return QObject::event(e);
    }
};

// No real serial device is ever listed in these tests.
MainOptions testOptions()
{
    return testMainOptions();
}

QStringList menuTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *a : actions)
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void windowLook();
    void toolButtons_data();
    void toolButtons();
    void menus_data();
    void menus();
    void startDisablesCommandsUntilTheSearchEnds();
    void portBoxListsExtraPortsFirstAndDemoLast();
    void portBoxRereadsThePortList();
    void deniedPortSaysSoInTheStatusBar();
    void monitorSignalsDriveTheIndications();
    void programSelectionDoesNotRunThePortHandler();
    void userChoicesRunThePortHandler();
    void aboutIsAFreshWindowEachTime();
    void splashClosesAfterTheSearch();
    void helpOpensThePageBesideTheProgram();
    void tileStacksFullWidth();
    void windowMenuListsTheDocuments();
    void exitWritesNoSettings();
    void closeWritesTheSettings();
    void closeAsksTheDocumentWindows();
    void escapedExceptionIsShown();

    void filesNamedOnTheCommandLineOpen();
    void commandLine_data();
    void commandLine();
    void naturalOrder();

private:
    std::unique_ptr<TfrmMain> startedWindow(const MainOptions &options = testOptions());

    std::unique_ptr<Harness::TestContext> m_h;
    QString settingsFile() const { return m_h->ctx().settings().filePath(); }

    std::unique_ptr<MemoryLine> m_lineA;
    std::unique_ptr<MemoryLine> m_lineB;
};

void TestMainWindow::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Root);
    QVERIFY(m_h->isValid());
    m_lineA = std::make_unique<MemoryLine>(QStringLiteral("MEM-A"));
    m_lineB = std::make_unique<MemoryLine>(QStringLiteral("MEM-B"));
    m_h->ctx().ports().addLine(*m_lineA);
    m_h->ctx().ports().addLine(*m_lineB);
}

void TestMainWindow::cleanup()
{
    Harness::verifyAnswered(m_h->prompter(), false);
    m_lineA.reset();
    m_lineB.reset();
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestMainWindow::startedWindow(const MainOptions &options)
{
    return startMainWindow(m_h->ctx(), options, QSize(), 5000);
}

void TestMainWindow::windowLook()
{
    TfrmMain w(m_h->ctx(), testOptions());
    QCOMPARE(w.windowTitle(), QStringLiteral("Orvane KV518"));
    QCOMPARE(w.Panel1->height(), 37);
    QCOMPARE(w.mdiArea->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(w.mdiArea->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(w.mdiArea->frameShape(), QFrame::NoFrame);
    QVERIFY(w.ComboBoxDeviceName->isEditable());
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("KV518"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(KV518_VERSION));
    const QList<QToolButton *> buttons = w.Panel1->findChildren<QToolButton *>();
    for (const QToolButton *b : buttons) {
        if (b->objectName().startsWith(QStringLiteral("btn")))
            QVERIFY2(!b->icon().isNull() && !b->icon().pixmap(24, 24).isNull(),
                     qPrintable(b->objectName()));
    }
}

void TestMainWindow::toolButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::newRow("open") << "btnOpen" << "" << "Open File";
    QTest::newRow("save") << "btnSave" << "" << "Save To File";
    QTest::newRow("print") << "btnPrint" << "" << "Print";
    QTest::newRow("download") << "btnDataLogger" << "Download" << "Load Data";
    QTest::newRow("setup") << "btnSetup" << "Logger Setup" << "Setup Meter";
    QTest::newRow("archive") << "btnArchive" << "Archive" << "Archived Downloads";
    QTest::newRow("help") << "btnHelp" << "" << "Help";
}

void TestMainWindow::toolButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    TfrmMain w(m_h->ctx(), testOptions());
    auto *b = w.Panel1->findChild<QToolButton *>(name);
    QVERIFY(b);
    QCOMPARE(b->text(), caption);
    QCOMPARE(b->toolTip(), hint);
    QCOMPARE(b->toolButtonStyle(),
             caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("menu bar") << QString()
                              << QStringList{"&File", "&DataLogger", "&Setup", "&View", "&Window", "&Help"};
    QTest::newRow("file") << "File1"
                          << QStringList{"&Open", "&Save", "&Import into Archive...", "-", "&Print", "Print Preview", "&Printer Setup",
                                         "Export Report (PDF)...", "-", "E&xit"};
    QTest::newRow("view") << "View1" << QStringList{"&LCD", "&Archive", "&Audit Trail"};
    QTest::newRow("window") << "Window1" << QStringList{"&Cascade", "&Tile"};
    QTest::newRow("help") << "Help1" << QStringList{"&Contents", "Save &Transfer Log...", "-", "&About KV518"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, entries);
    TfrmMain w(m_h->ctx(), testOptions());
    if (menu.isEmpty()) {
        QCOMPARE(menuTexts(w.menuBar()->actions()), entries);
        QVERIFY(w.DataLogger1->menu() == nullptr);
        QVERIFY(w.Setup1->menu() == nullptr);
        return;
    }
    auto *m = w.findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(menuTexts(m->actions()), entries);
}

void TestMainWindow::startDisablesCommandsUntilTheSearchEnds()
{
    TfrmMain w(m_h->ctx(), testOptions());
    QSignalSpy searched(&w, &TfrmMain::searchFinished);
    w.show();
    QVERIFY(!w.searchDone());
    QVERIFY(!w.menuBar()->isEnabled());
    QVERIFY(!w.Panel1->isEnabled());
    QVERIFY(!w.ComboBoxDeviceName->isEnabled());
    QVERIFY(searched.wait(5000));
    QVERIFY(w.searchDone());
    QVERIFY(w.menuBar()->isEnabled());
    QVERIFY(w.Panel1->isEnabled());
    QVERIFY(w.ComboBoxDeviceName->isEnabled());
    QCOMPARE(w.userDataFolder(), m_h->filePath(QStringLiteral("user/")));
    QCOMPARE(w.statusPanelText(1), QStringLiteral("Off Connection"));
}

void TestMainWindow::portBoxListsExtraPortsFirstAndDemoLast()
{
    MainOptions options = testOptions();
    options.extraPorts << QStringLiteral("/dev/pts/7") << m_lineA->path();
    options.demo = true;
    QObject *demoOwner = nullptr;
    options.startDemoMeter = [&](QObject *owner) { demoOwner = owner; };
    TfrmMain w(m_h->ctx(), options);
    QCOMPARE(demoOwner, &w);
    const QStringList expected{QStringLiteral("/dev/pts/7"), m_lineA->path(), QStringLiteral("DEMO")};
    QStringList shown;
    for (int i = 0; i < w.ComboBoxDeviceName->count(); ++i)
        shown << w.ComboBoxDeviceName->itemText(i);
    QCOMPARE(shown, expected);
    QCOMPARE(w.monitor().portNames(), expected);
    QCOMPARE(w.ComboBoxDeviceName->currentIndex(), 0);
    QCOMPARE(w.monitor().comm1().deviceName(), QStringLiteral("/dev/pts/7"));
}

void TestMainWindow::portBoxRereadsThePortList()
{
    // Names under /dev that do not exist: no real device is touched.
    QStringList system{QStringLiteral("ttyKV0"), QStringLiteral("ttyKV2")};
    MainOptions options = testOptions();
    options.extraPorts << m_lineA->path();
    options.demo = true;
    options.listPorts = [&system] { return system; };
    auto w = startedWindow(options);
    PortBox *box = w->ComboBoxDeviceName;
    QCOMPARE(box->entries(), (QStringList{"MEM-A", "ttyKV0", "ttyKV2", "DEMO"}));
    QVERIFY(!w->monitor().isConnected());
    box->setCurrentIndex(2);
    w->monitor().setPortIndex(2);

    // An adapter appears while "Off Connection": the list follows within 2 s
    // and the chosen entry stays chosen at its new place.
    system = QStringList{"ttyKV0", "ttyKV1", "ttyKV2"};
    QTRY_COMPARE_WITH_TIMEOUT(box->entries(), (QStringList{"MEM-A", "ttyKV0", "ttyKV1", "ttyKV2", "DEMO"}), 5000);
    QCOMPARE(box->currentText(), QStringLiteral("ttyKV2"));
    QCOMPARE(w->monitor().portIndex(), 3);
    QCOMPARE(w->monitor().portNames(), box->entries());

    // Dropping the box down reads the list at once; typed text stays as typed
    // and opens nothing.
    box->lineEdit()->setText(QStringLiteral("/dev/typed"));
    system = QStringList{"ttyKV1"};
    box->showPopup();
    QCOMPARE(box->entries(), (QStringList{"MEM-A", "ttyKV1", "DEMO"}));
    QCOMPARE(box->currentText(), QStringLiteral("/dev/typed"));
    QCOMPARE(w->monitor().devicePath(), m_lineA->path());
    box->hidePopup();
}

void TestMainWindow::deniedPortSaysSoInTheStatusBar()
{
    m_lineA->setOpenFailure(SerialPort::OpenError::PermissionDenied);
    auto w = startedWindow(testMainOptions({m_lineA->path()}));
    QTRY_COMPARE(w->statusPanelText(0), QStringLiteral("MEM-A: permission denied"));
    QCOMPARE(w->statusPanelText(1), QStringLiteral("Off Connection"));
    // Fixed (the user joined the group): the next tick opens it and says nothing more.
    m_lineA->setOpenFailure(SerialPort::OpenError::None);
    QTRY_COMPARE_WITH_TIMEOUT(w->statusPanelText(0), QStringLiteral("MEM-A"), 3000);
    QVERIFY(w->monitor().comm1().isOpen());
}

void TestMainWindow::monitorSignalsDriveTheIndications()
{
    auto w = startedWindow();
    Q_EMIT w->monitor().statusChanged(QStringLiteral("/dev/ttyUSB1"), true);
    QCOMPARE(w->statusPanelText(0), QDir::toNativeSeparators(QStringLiteral("/dev/ttyUSB1")));
    QCOMPARE(w->statusPanelText(1), QStringLiteral("On Connection"));
    Q_EMIT w->monitor().statusChanged(QStringLiteral("/dev/ttyUSB1"), false);
    QCOMPARE(w->statusPanelText(1), QStringLiteral("Off Connection"));

    Q_EMIT w->monitor().connectionLost();
    QVERIFY(!w->DataLogger1->isEnabled());
    QVERIFY(w->btnDataLogger->isEnabled());
    w->btnDataLogger->setEnabled(false);
    Q_EMIT w->monitor().connectionGained();
    QVERIFY(w->DataLogger1->isEnabled());
    QVERIFY(w->btnDataLogger->isEnabled());
}

void TestMainWindow::programSelectionDoesNotRunThePortHandler()
{
    MainOptions options = testOptions();
    options.extraPorts << m_lineA->path() << m_lineB->path();
    auto w = startedWindow(options);
    w->monitor().setPortIndex(7);
    Q_EMIT w->monitor().entrySelected(1);
    QCOMPARE(w->ComboBoxDeviceName->currentIndex(), 1);
    QCOMPARE(w->monitor().portIndex(), 7);
    QVERIFY(!m_lineB->isOpen());
}

void TestMainWindow::userChoicesRunThePortHandler()
{
    MainOptions options = testOptions();
    options.extraPorts << m_lineA->path() << m_lineB->path();
    auto w = startedWindow(options);

    // A choice from the list.
    QTest::keyClick(w->ComboBoxDeviceName, Qt::Key_Down);
    QCOMPARE(w->ComboBoxDeviceName->currentIndex(), 1);
    QCOMPARE(w->monitor().portIndex(), 1);
    QCOMPARE(w->monitor().comm1().deviceName(), m_lineB->path());
    QVERIFY(m_lineB->isOpen());

    // Typed text that names no entry: index -1, the port follows the text.
    QLineEdit *edit = w->ComboBoxDeviceName->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("/dev/kv518-none"));
    QCOMPARE(w->monitor().portIndex(), -1);
    QCOMPARE(w->monitor().comm1().deviceName(), QStringLiteral("/dev/kv518-none"));
    QVERIFY(!m_lineB->isOpen());
    QCOMPARE(w->ComboBoxDeviceName->count(), 2);

    // Typed text that is an entry selects that entry's index.
    edit->selectAll();
    QTest::keyClicks(edit, m_lineA->path());
    QCOMPARE(w->monitor().portIndex(), 0);
    QVERIFY(m_lineA->isOpen());
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(w->ComboBoxDeviceName->count(), 2);
    QVERIFY(m_lineA->isOpen());
}

void TestMainWindow::aboutIsAFreshWindowEachTime()
{
    auto w = startedWindow();
    QList<QPointer<QDialog>> shown;
    for (int i = 0; i < 2; ++i) {
        m_h->prompter().answerDialog([&](QDialog &d) {
            auto *about = qobject_cast<TfrmAbout *>(&d);
            if (!about)
                return int(QDialog::Rejected);
            shown << QPointer<QDialog>(&d);
            if (about->BitBtn1->isHidden() || !about->Label4->text().isEmpty()
                || about->Label2->text() != QStringLiteral(KV518_VERSION)
                || about->Label3->text() != QStringLiteral("Orvane KV518")
                || about->Label1->text() != QStringLiteral("Version:") || about->size() != QSize(351, 117))
                return int(QDialog::Rejected);
            return int(QDialog::Accepted);
        });
    }
    w->About1->trigger();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.at(0).isNull());
    w->About1->trigger();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown.at(1).isNull());
    QCOMPARE(m_h->prompter().dialogs,
             QStringList(2, QStringLiteral("About Orvane for Temperature DataLogger")));
}

void TestMainWindow::splashClosesAfterTheSearch()
{
    QPointer<TfrmAbout> splash = TfrmAbout::createSplash();
    QVERIFY(splash->BitBtn1->isHidden());
    splash->show();
    TfrmMain w(m_h->ctx(), testOptions());
    w.setSplash(splash);
    QSignalSpy searched(&w, &TfrmMain::searchFinished);
    w.show();
    QVERIFY(searched.wait(5000));
    QVERIFY(!splash || !splash->isVisible());
    QTRY_VERIFY(splash.isNull());

    // A splash the user closed during the search is not touched again.
    QPointer<TfrmAbout> early = TfrmAbout::createSplash();
    early->show();
    TfrmMain w2(m_h->ctx(), testOptions());
    w2.setSplash(early);
    early->close();
    QSignalSpy searched2(&w2, &TfrmMain::searchFinished);
    w2.show();
    QVERIFY(searched2.wait(5000));
    QTRY_VERIFY(early.isNull());
}

void TestMainWindow::helpOpensThePageBesideTheProgram()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    const QString page = m_h->filePath(QStringLiteral("KV518HELP.htm"));
    QFile f(page);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    auto w = startedWindow();
    w->Contents1->trigger();
    w->btnHelp->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(page), QUrl::fromLocalFile(page)}));
}

void TestMainWindow::tileStacksFullWidth()
{
    auto w = startedWindow();
    w->resize(800, 600);
    for (int i = 0; i < 3; ++i) {
        QMdiSubWindow *sub = w->mdiArea->addSubWindow(new QWidget);
        sub->setWindowTitle(QStringLiteral("View %1").arg(i));
        sub->show();
    }
    w->Tile1->trigger();
    const QRect area = w->mdiArea->viewport()->rect();
    const QList<QMdiSubWindow *> windows = w->mdiArea->subWindowList();
    int nextTop = 0;
    for (const QMdiSubWindow *sub : windows) {
        QCOMPARE(sub->geometry().left(), 0);
        QCOMPARE(sub->geometry().width(), area.width());
        QCOMPARE(sub->geometry().top(), nextTop);
        nextTop = sub->geometry().bottom() + 1;
    }
    QCOMPARE(nextTop, area.height());
}

void TestMainWindow::windowMenuListsTheDocuments()
{
    auto w = startedWindow();
    // The download view is open from the start.
    Q_EMIT w->Window1->aboutToShow();
    QCOMPARE(menuTexts(w->Window1->actions()), (QStringList{"&Cascade", "&Tile", "-", "&1 DataLogger"}));
    QMdiSubWindow *first = w->mdiArea->addSubWindow(new QWidget);
    first->setWindowTitle(QStringLiteral("Graph A"));
    first->show();
    QMdiSubWindow *second = w->mdiArea->addSubWindow(new QWidget);
    second->setWindowTitle(QStringLiteral("Graph B"));
    second->show();
    w->mdiArea->setActiveSubWindow(second);
    Q_EMIT w->Window1->aboutToShow();
    Q_EMIT w->Window1->aboutToShow();
    const QList<QAction *> actions = w->Window1->actions();
    QCOMPARE(menuTexts(actions),
             (QStringList{"&Cascade", "&Tile", "-", "&1 DataLogger", "&2 Graph A", "&3 Graph B"}));
    QVERIFY(!actions.at(4)->isChecked());
    QVERIFY(actions.at(5)->isChecked());
    actions.at(4)->trigger();
    QCOMPARE(w->mdiArea->currentSubWindow(), first);
}

void TestMainWindow::exitWritesNoSettings()
{
    auto w = startedWindow();
    auto *doc = new StubbornDocument;
    w->mdiArea->addSubWindow(doc)->show();
    QTimer::singleShot(0, w.get(), &TfrmMain::Exit1Click);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!QFile::exists(settingsFile()));
    QCOMPARE(doc->asked, 0);
}

void TestMainWindow::closeWritesTheSettings()
{
    MainOptions options = testOptions();
    options.extraPorts << m_lineA->path() << m_lineB->path() << QStringLiteral("MEM-C");
    auto w = startedWindow(options);
    w->monitor().setPortIndex(2);
    // "Range" turned automatic scaling off during the run.
    m_h->ctx().settings().AutoScaleSetting = 0;
    QVERIFY(w->close());
    QFile f(settingsFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[COM PORT]\r\n2\r\n[AutoScale]\r\n0\r\n"));
    QVERIFY(!w->monitor().mainTimer().isActive());
    QVERIFY(!w->monitor().comm1().isOpen());
}

void TestMainWindow::closeAsksTheDocumentWindows()
{
    auto w = startedWindow();
    auto *doc = new StubbornDocument;
    w->mdiArea->addSubWindow(doc)->show();
    QVERIFY(!w->close());
    QCOMPARE(doc->asked, 1);
    QVERIFY(!QFile::exists(settingsFile()));
    // The download view and the refusing window.
    QCOMPARE(w->mdiArea->subWindowList().size(), 2);
    doc->refuse = false;
    QVERIFY(w->close());
    QCOMPARE(doc->asked, 2);
    QVERIFY(QFile::exists(settingsFile()));
}

void TestMainWindow::escapedExceptionIsShown()
{
    auto *app = qobject_cast<Kv518Application *>(QCoreApplication::instance());
    QVERIFY(app);
    app->setPrompter(&m_h->prompter());
    auto restore = qScopeGuard([app] { app->setPrompter(nullptr); });
    m_h->prompter().answerMessage(QMessageBox::Ok);
    ThrowingObject thrower;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    QCOMPARE(m_h->prompter().messages, QStringList{QStringLiteral("something broke")});
}

void TestMainWindow::filesNamedOnTheCommandLineOpen()
{
    // A double-click in the file manager: the collection opens in the
    // DataLogger window, a file that cannot be opened says so, and the
    // program runs on.
    MainOptions options = testOptions();
    const QString missing = m_h->filePath(QStringLiteral("gone.518"));
    const QString notACollection = m_h->filePath(QStringLiteral("notes.518"));
    QFile bad(notACollection);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a logger memory");
    bad.close();
    options.files = {missing, QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(QStringLiteral("sample.518")),
                     notACollection};
    m_h->prompter().answerMessage(QMessageBox::Ok);
    m_h->prompter().answerMessage(QMessageBox::Ok);
    auto w = startedWindow(options);
    QTRY_COMPARE(m_h->prompter().messages.size(), 2);
    QCOMPARE(m_h->prompter().messages,
             (QStringList{QStringLiteral("Cannot open file \"%1\".").arg(missing),
                          QStringLiteral("Cannot open file \"%1\".").arg(notACollection)}));
    QCOMPARE(w->session().store().SetCount(), 3);
    QVERIFY(w->downloadView());
    QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 3);
    QVERIFY(w->isVisible());
}

void TestMainWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("demo");
    QTest::newRow("none") << QStringList{"kv518"} << true << QStringList{} << false;
    QTest::newRow("demo") << QStringList{"kv518", "--demo"} << true << QStringList{} << true;
    QTest::newRow("port") << QStringList{"kv518", "--port", "/dev/pts/3"} << true
                          << QStringList{"/dev/pts/3"} << false;
    QTest::newRow("port with =") << QStringList{"kv518", "--port=/dev/pts/4", "--demo"} << true
                                 << QStringList{"/dev/pts/4"} << true;
    QTest::newRow("two ports") << QStringList{"kv518", "--port", "/dev/a", "--port", "/dev/b"} << true
                               << QStringList{"/dev/a", "/dev/b"} << false;
    QTest::newRow("port without path") << QStringList{"kv518", "--port"} << false << QStringList{} << false;
    QTest::newRow("unknown option") << QStringList{"kv518", "--fast"} << false << QStringList{} << false;
    QTest::newRow("files to open") << QStringList{"kv518", "a.518", "--demo", "b.GHF"} << true << QStringList{}
                                   << true;
}

void TestMainWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QStringList, ports);
    QFETCH(bool, demo);
    const Result<MainOptions> parsed = parseMainOptions(arguments);
    QCOMPARE(parsed.ok(), ok);
    if (!ok) {
        QVERIFY(!parsed.message().isEmpty());
        return;
    }
    const MainOptions &options = *parsed;
    QCOMPARE(options.extraPorts, ports);
    QCOMPARE(options.demo, demo);
    QCOMPARE(options.files, arguments.filter(QStringLiteral(".")));
    QCOMPARE(portBoxEntries({QStringLiteral("ttyS0")}, options),
             QStringList(ports) << QStringLiteral("ttyS0")
                                << (demo ? QStringList{QStringLiteral("DEMO")} : QStringList{}));

    const Result<MainOptions> help = parseMainOptions({QStringLiteral("kv518"), QStringLiteral("--help")});
    QVERIFY(help && help->helpRequested);
    QVERIFY(mainOptionsUsage().contains(QStringLiteral("--demo")));
}

void TestMainWindow::naturalOrder()
{
    const QStringList sorted = naturalPortOrder(
        {"ttyUSB10", "ttyS10", "ttyS2", "ttyACM0", "ttyUSB2", "ttyS0", "ttyS1"});
    QCOMPARE(sorted, (QStringList{"ttyACM0", "ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB2", "ttyUSB10"}));
}

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
