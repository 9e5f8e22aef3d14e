#include "gui/shell/TfrmMain.h"

#include "core/archive/Archive.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SiteForwarder.h"
#include "gui/archive/ArchiveImportCommand.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/audit/TfrmAudit.h"
#include "gui/common/Prompter.h"
#include "gui/download/TransferLogSave.h"
#include "gui/shell/PortBox.h"
#include "gui/shell/TfrmAbout.h"
#include "gui/shell/TfrmOpenSave.h"
#include "gui/shell/ToolIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

TfrmMain::TfrmMain(AppContext &ctx, const MainOptions &options, QWidget *parent)
    : QMainWindow(parent)
    , mdiArea(new QMdiArea(this))
    , m_ctx(ctx)
    , m_monitor(ctx.ports())
    , m_options(options)
    , m_workspace(ctx, *mdiArea, *this, m_session)
    , m_session(ctx, m_workspace)
    , m_downloads(ctx, m_monitor, m_workspace, m_session)
    , m_dataFiles(ctx, m_workspace)
    , m_setupCommand(ctx, m_monitor, [this] { return m_live.unitIsCelsius(); }, this)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvane KV518"));
    setWindowIcon(ToolIcons::program());
    resize(884, 661);

    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    // The document area never shows scroll bars or a border.
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdiArea->setFrameShape(QFrame::NoFrame);
    setCentralWidget(mdiArea);

    m_monitor.comm1().setObjectName(QStringLiteral("Comm1"));
    m_monitor.mainTimer().setObjectName(QStringLiteral("MainTimer"));

    createToolBar();
    createMenus();
    createStatusBar();
    connectMonitor();
    connectDownloads();
    createPrinting();

    if (options.demo && options.startDemoMeter)
        options.startDemoMeter(this);
    fillPortBox();
    m_ctx.settings().LoadSettings();
    m_ctx.alarmLimits().load();
    createFileDialogs();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createToolBar()
{
    Panel1 = new QToolBar(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMovable(false);
    Panel1->setFloatable(false);
    Panel1->setFixedHeight(37);
    Panel1->setIconSize(QSize(24, 24));
    Panel1->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, Panel1);

    const auto button = [this](const char *name, const QIcon &icon, const QString &caption,
                               const QString &hint, void (TfrmMain::*slot)()) {
        auto *b = new QToolButton(Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(icon);
        b->setToolTip(hint);
        b->setAutoRaise(true);
        if (caption.isEmpty()) {
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        } else {
            b->setText(caption);
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
        connect(b, &QToolButton::clicked, this, slot);
        Panel1->addWidget(b);
        return b;
    };
    btnOpen = button("btnOpen", ToolIcons::open(), {}, QStringLiteral("Open File"),
                     &TfrmMain::btnOpenClick);
    btnSave = button("btnSave", ToolIcons::save(), {}, QStringLiteral("Save To File"),
                     &TfrmMain::Save1Click);
    btnPrint = button("btnPrint", ToolIcons::print(), {}, QStringLiteral("Print"),
                      &TfrmMain::btnPrintClick);
    Panel1->addSeparator();
    btnDataLogger = button("btnDataLogger", ToolIcons::download(), QStringLiteral("Download"),
                           QStringLiteral("Load Data"), &TfrmMain::btnDataLoggerClick);
    btnSetup = button("btnSetup", ToolIcons::setup(), QStringLiteral("Logger Setup"),
                      QStringLiteral("Setup Meter"), &TfrmMain::btnSetupClick);
    btnArchive = button("btnArchive", ToolIcons::archive(), QStringLiteral("Archive"),
                        QStringLiteral("Archived Downloads"), &TfrmMain::Archive1Click);
    Panel1->addSeparator();
    btnHelp = button("btnHelp", ToolIcons::help(), {}, QStringLiteral("Help"),
                     &TfrmMain::Contents1Click);
    Panel1->addSeparator();

    ComboBoxDeviceName = new PortBox(Panel1);
    ComboBoxDeviceName->setObjectName(QStringLiteral("ComboBoxDeviceName"));
    ComboBoxDeviceName->setEditable(true);
    // Typed text selects a device; it never becomes an entry of the list.
    ComboBoxDeviceName->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would open a port other than the one the user typed.
    ComboBoxDeviceName->setCompleter(nullptr);
    ComboBoxDeviceName->setMinimumContentsLength(16);
    ComboBoxDeviceName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    // Only the user's own choices and edits run the handler, never the
    // program's selections (setCurrentIndex).
    connect(ComboBoxDeviceName, &QComboBox::activated, this, &TfrmMain::ComboBoxDeviceNameChange);
    connect(ComboBoxDeviceName->lineEdit(), &QLineEdit::textEdited, this,
            &TfrmMain::ComboBoxDeviceNameChange);
    connect(ComboBoxDeviceName->lineEdit(), &QLineEdit::returnPressed, this,
            &TfrmMain::ComboBoxDeviceNameChange);
    Panel1->addWidget(ComboBoxDeviceName);
}

void TfrmMain::createMenus()
{
    const auto action = [this](QMenu *menu, const char *name, const QString &text) {
        QAction *a = menu ? menu->addAction(text) : menuBar()->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    const auto menu = [this](const char *name, const QString &title) {
        QMenu *m = menuBar()->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    File1 = menu("File1", QStringLiteral("&File"));
    Open1 = action(File1, "Open1", QStringLiteral("&Open"));
    Save1 = action(File1, "Save1", QStringLiteral("&Save"));
    ImportArchive1 = action(File1, "ImportArchive1", QStringLiteral("&Import into Archive..."));
    File1->addSeparator();
    Print1 = action(File1, "Print1", QStringLiteral("&Print"));
    PrintPreview1 = action(File1, "PrintPreview1", QStringLiteral("Print Preview"));
    PrinterSetup1 = action(File1, "PrinterSetup1", QStringLiteral("&Printer Setup"));
    ExportReport1 = action(File1, "ExportReport1", QStringLiteral("Export Report (PDF)..."));
    File1->addSeparator();
    Exit1 = action(File1, "Exit1", QStringLiteral("E&xit"));

    DataLogger1 = action(nullptr, "DataLogger1", QStringLiteral("&DataLogger"));
    Setup1 = action(nullptr, "Setup1", QStringLiteral("&Setup"));

    View1 = menu("View1", QStringLiteral("&View"));
    LCD1 = action(View1, "LCD1", QStringLiteral("&LCD"));
    Archive1 = action(View1, "Archive1", QStringLiteral("&Archive"));
    AuditTrail1 = action(View1, "AuditTrail1", QStringLiteral("&Audit Trail"));

    Window1 = menu("Window1", QStringLiteral("&Window"));
    Cascade1 = action(Window1, "Cascade1", QStringLiteral("&Cascade"));
    Tile1 = action(Window1, "Tile1", QStringLiteral("&Tile"));

    Help1 = menu("Help1", QStringLiteral("&Help"));
    Contents1 = action(Help1, "Contents1", QStringLiteral("&Contents"));
    SaveTransferLog1 = action(Help1, "SaveTransferLog1", QStringLiteral("Save &Transfer Log..."));
    Help1->addSeparator();
    About1 = action(Help1, "About1", QStringLiteral("&About KV518"));

    connect(Open1, &QAction::triggered, this, &TfrmMain::btnOpenClick);
    connect(Save1, &QAction::triggered, this, &TfrmMain::Save1Click);
    connect(ImportArchive1, &QAction::triggered, this, &TfrmMain::ImportArchive1Click);
    connect(Archive1, &QAction::triggered, this, &TfrmMain::Archive1Click);
    connect(Print1, &QAction::triggered, this, &TfrmMain::btnPrintClick);
    connect(PrinterSetup1, &QAction::triggered, this, &TfrmMain::PrinterSetup1Click);
    connect(Exit1, &QAction::triggered, this, &TfrmMain::Exit1Click);
    connect(DataLogger1, &QAction::triggered, this, &TfrmMain::btnDataLoggerClick);
    connect(Setup1, &QAction::triggered, this, &TfrmMain::btnSetupClick);
    connect(Cascade1, &QAction::triggered, this, &TfrmMain::Cascade1Click);
    connect(Tile1, &QAction::triggered, this, &TfrmMain::Tile1Click);
    connect(Contents1, &QAction::triggered, this, &TfrmMain::Contents1Click);
    connect(SaveTransferLog1, &QAction::triggered, this, [this] { saveTransferLog(m_ctx, this); });
    connect(About1, &QAction::triggered, this, &TfrmMain::About1Click);
    connect(AuditTrail1, &QAction::triggered, this, [this] {
        auto *view = new TfrmAudit(m_ctx.prompter(), m_ctx.signing(), Archive::defaultPath(m_ctx.folders().programFolder()));
        view->setAttribute(Qt::WA_DeleteOnClose);
        mdiArea->addSubWindow(view)->show();
    });
    connect(Window1, &QMenu::aboutToShow, this, &TfrmMain::Window1Popup);
}

void TfrmMain::createStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    const auto panel = [this] {
        auto *label = new QLabel(StatusBar1);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(120);
        label->setContentsMargins(4, 0, 4, 0);
        StatusBar1->addWidget(label);
        return label;
    };
    m_panel0 = panel();
    m_panel1 = panel();
    m_saveStatus = new QLabel(StatusBar1);
    m_saveStatus->setObjectName(QStringLiteral("SaveStatus"));
    m_saveStatus->setContentsMargins(4, 0, 4, 0);
    StatusBar1->addWidget(m_saveStatus, 1);
    connect(&m_dataFiles, &DataFileController::saveStatus, m_saveStatus, &QLabel::setText);
    // What the last download's archiving did; empty until one is archived.
    m_archivePanel = new QLabel(StatusBar1);
    m_archivePanel->setObjectName(QStringLiteral("ArchivePanel"));
    m_archivePanel->setContentsMargins(4, 0, 4, 0);
    StatusBar1->addPermanentWidget(m_archivePanel);
    const QString programFolder = m_ctx.folders().programFolder();
    if (const QString site = configuredSiteUrl(programFolder); !site.isEmpty()) {
        m_sitePanel = new QLabel(StatusBar1);
        m_sitePanel->setObjectName(QStringLiteral("SitePanel"));
        m_sitePanel->setContentsMargins(4, 0, 4, 0);
        StatusBar1->addPermanentWidget(m_sitePanel);
        m_site = std::make_unique<SiteForwarder>(Archive::defaultPath(programFolder), site);
        connect(m_site.get(), &SiteForwarder::statusChanged, m_sitePanel, &QLabel::setText);
    }
}

void TfrmMain::connectMonitor()
{
    connect(&m_monitor, &ConnectionMonitor::statusChanged, this, &TfrmMain::setStatus);
    connect(&m_monitor, &ConnectionMonitor::splashText, this, &TfrmMain::setSplashText);
    connect(&m_monitor, &ConnectionMonitor::permissionDeniedChanged, this,
            [this] { m_panel0->setText(panel0Text(m_monitor.devicePath())); });
    connect(&m_monitor, &ConnectionMonitor::entrySelected, ComboBoxDeviceName,
            &QComboBox::setCurrentIndex);
    connect(&m_monitor, &ConnectionMonitor::connectionGained, this, [this] {
        btnDataLogger->setEnabled(!m_downloads.running());
        DataLogger1->setEnabled(!m_downloads.running());
    });
    // The tool button stays enabled; its handler tells the user there is no meter.
    connect(&m_monitor, &ConnectionMonitor::connectionLost, this,
            [this] { DataLogger1->setEnabled(false); });
    connect(&m_monitor, &ConnectionMonitor::liveFrame, &m_live, &LiveReadings::onLiveFrame);
    connect(&m_monitor, &ConnectionMonitor::rs232Visible, &m_live, &LiveReadings::onRs232Visible);
    connect(&m_monitor, &ConnectionMonitor::statusChanged, &m_live,
            [this](const QString &, bool connected) { m_live.onConnected(connected); });
    connect(&m_live, &LiveReadings::frameDecoded, this,
            [this] { m_monitor.setLoggerRecording(m_live.loggerRecording()); });
}

void TfrmMain::connectDownloads()
{
    connect(&m_downloads, &DownloadController::runningChanged, this, &TfrmMain::setDownloadCommandsEnabled);
    connect(&m_setupCommand, &SetupController::runningChanged, this, &TfrmMain::setDownloadCommandsEnabled);
    connect(&m_downloads, &DownloadController::closeRequested, this,
            [this] { QTimer::singleShot(0, this, &QWidget::close); });
    connect(&m_session, &DownloadSession::saveAsked, this, &TfrmMain::saveDownloadView);
    connect(&m_downloads, &DownloadController::archived, m_archivePanel, &QLabel::setText);
    // The site archive hears of the new download; an open archive window
    // lists the run just archived.
    connect(&m_downloads, &DownloadController::archived, this, [this] {
        if (m_site)
            m_site->poke();
        if (TfrmArchive *archive = m_workspace.archiveWindow())
            archive->refresh();
    });
}

void TfrmMain::setDownloadCommandsEnabled(bool running)
{
    // Printing waits for the meter too: it says so by being disabled.
    for (QWidget *w : {static_cast<QWidget *>(btnDataLogger), static_cast<QWidget *>(btnSetup),
                       static_cast<QWidget *>(btnOpen), static_cast<QWidget *>(btnSave),
                       static_cast<QWidget *>(ComboBoxDeviceName), static_cast<QWidget *>(btnPrint)})
        w->setEnabled(!running);
    for (QAction *a : {Setup1, Open1, Save1, Print1, PrintPreview1, PrinterSetup1, ExportReport1})
        a->setEnabled(!running);
    // A lost connection keeps the menu entry off, as the poll left it.
    DataLogger1->setEnabled(!running && m_monitor.isConnected());
}

QStringList TfrmMain::currentPortEntries() const
{
    QStringList system;
    if (m_options.listPorts)
        system = m_options.listPorts();
    else if (m_options.listSystemPorts)
        system = systemPortNames();
    return portBoxEntries(system, m_options);
}

void TfrmMain::fillPortBox()
{
    const QStringList entries = currentPortEntries();
    ComboBoxDeviceName->addItems(entries);
    m_monitor.setPortNames(entries);
    if (!entries.isEmpty()) {
        ComboBoxDeviceName->setCurrentIndex(0);
        m_monitor.comm1().setDeviceName(m_monitor.devicePathFor(entries.first()));
    }
    // Adapters are plugged in and out while the program runs.
    connect(ComboBoxDeviceName, &PortBox::aboutToDropDown, this, &TfrmMain::refreshPortBox);
    m_portListTimer = new QTimer(this);
    m_portListTimer->setObjectName(QStringLiteral("PortListTimer"));
    m_portListTimer->setInterval(2000);
    connect(m_portListTimer, &QTimer::timeout, this, [this] {
        if (!m_monitor.isConnected())
            refreshPortBox();
    });
}

void TfrmMain::refreshPortBox()
{
    // The search walks the list it was given; the download holds the box.
    if (!m_monitor.searchDone() || m_downloads.running())
        return;
    const QStringList entries = currentPortEntries();
    if (entries == m_monitor.portNames())
        return;
    ComboBoxDeviceName->setEntries(entries);
    m_monitor.setPortNames(entries);
    // PortIndex follows the shown text to its new place (-1: no longer listed).
    if (m_monitor.portIndex() >= 0 || ComboBoxDeviceName->currentIndex() >= 0)
        m_monitor.setPortIndex(ComboBoxDeviceName->currentIndex());
}

void TfrmMain::setSplash(TfrmAbout *splash)
{
    m_splash = splash;
}

QString TfrmMain::statusPanelText(int panel) const
{
    return panel == 0 ? m_panel0->text() : m_panel1->text();
}

QString TfrmMain::panel0Text(const QString &devicePath) const
{
    const QString path = QDir::toNativeSeparators(devicePath);
    if (!m_monitor.watchedText().isEmpty())
        return m_monitor.watchedText();
    return m_monitor.permissionDenied() ? path + QStringLiteral(": permission denied") : path;
}

void TfrmMain::setStatus(const QString &devicePath, bool connected)
{
    m_panel0->setText(panel0Text(devicePath));
    m_panel1->setText(connected ? QStringLiteral("On Connection") : QStringLiteral("Off Connection"));
}

void TfrmMain::setSplashText(const QString &text)
{
    if (m_splash)
        m_splash->setStatusLine(text);
}

void TfrmMain::setCommandsEnabled(bool enabled)
{
    menuBar()->setEnabled(enabled);
    Panel1->setEnabled(enabled);
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Nothing may be chosen before the search has picked the port.
    setCommandsEnabled(false);
    // The window appears first; the search runs from the event loop.
    QTimer::singleShot(0, this, &TfrmMain::FormShow);
}

void TfrmMain::FormShow()
{
    m_workspace.setUserDataFolder(m_ctx.folders().userDataFolder());
    createLcdMirror();

    m_monitor.setPortIndex(
        Settings::validPortIndex(m_ctx.settings().PortIndex, m_monitor.portNames().size()));
    connect(&m_monitor, &ConnectionMonitor::searchFinished, this, &TfrmMain::meterSearched,
            Qt::SingleShotConnection);
    m_monitor.searchMeter();
}

void TfrmMain::meterSearched()
{
    if (m_splash) {
        m_splash->setStatusLine(QString());
        m_splash->close();
    }
    m_splash.clear();
    m_workspace.createDownloadView();

    setCommandsEnabled(true);
    m_portListTimer->start();
    openFiles(m_options.files);
    Q_EMIT searchFinished();
}

void TfrmMain::openFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        // A file that cannot be opened says so; the others still open. Only
        // regular files: a FIFO or a device would hold the start for good.
        const QFileInfo info(path);
        if (info.exists() && !info.isFile())
            m_ctx.prompter().notice(this, QStringLiteral("Cannot open file \"%1\".").arg(QDir::toNativeSeparators(path)));
        else if (!path.endsWith(QStringLiteral(".518"), Qt::CaseInsensitive))
            m_dataFiles.openDataFilePath(path);
        else if (!m_session.openCollectionPath(path))
            m_ctx.prompter().notice(this, QStringLiteral("Cannot open file \"%1\".").arg(QDir::toNativeSeparators(path)));
    }
}

void TfrmMain::createLcdMirror()
{
    m_lcd = TfrmLCD::create(this, [this] { return m_monitor.receiveBusy(); }, m_ctx.folders().programFolder());
    m_live.setMirror(m_lcd);
}

void TfrmMain::createFileDialogs()
{
    const QStringList dataFilters = {
        QStringLiteral("TXT File(seperated by tab)[*.txt] (*.txt *.TXT)"),
        QStringLiteral("CSV File(seperated by comma )[*.csv] (*.csv *.CSV)"),
        QStringLiteral("All Files[*.*] (*)"),
    };
    const auto make = [this, &dataFilters](const char *name, QFileDialog::AcceptMode mode) {
        auto *d = new QFileDialog(this);
        d->setObjectName(QString::fromLatin1(name));
        d->setAcceptMode(mode);
        d->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // The filter texts show as the program writes them, patterns hidden.
        d->setOption(QFileDialog::HideNameFilterDetails);
        d->setDefaultSuffix(QStringLiteral("txt"));
        d->setNameFilters(dataFilters);
        return d;
    };
    OpenDialog1 = make("OpenDialog1", QFileDialog::AcceptOpen);
    SaveDialog1 = make("SaveDialog1", QFileDialog::AcceptSave);
}

void TfrmMain::btnOpenClick()
{
    if (m_downloads.running())
        return;
    TfrmOpenSave dialog(this);
    dialog.setOpenCaptions(QLocale::system().decimalPoint() == u',');
    const int result = m_ctx.prompter().exec(dialog);
    OpenDialog1->setDirectory(m_workspace.dialogFolder());
    OpenDialog1->selectFile(QString());
    if (result == TfrmOpenSave::OK)
        m_session.OpenCollectionFile(*OpenDialog1);
    else if (result == TfrmOpenSave::No)
        OpenDataFile();
}

void TfrmMain::Save1Click()
{
    saveActiveView();
}

TfrmMain::SaveChoice TfrmMain::saveActiveView()
{
    if (m_downloads.running())
        return SaveChoice::Nothing;
    SaveDialog1->setDirectory(m_workspace.dialogFolder());
    // Held weakly: the view may close while the choice dialog is open.
    const QPointer<TfrmGraph> view = m_workspace.activeDataView();
    if (!view)
        return SaveChoice::Nothing;
    if (!view->isDownloadView()) {
        SaveDataFile(*view);
        return SaveChoice::SingleFile;
    }
    TfrmOpenSave dialog(this);
    const int result = m_ctx.prompter().exec(dialog);
    if (result == TfrmOpenSave::OK) {
        m_session.SaveCollectionFile(*SaveDialog1);
        return SaveChoice::Collection;
    }
    if (result == TfrmOpenSave::No && view) {
        SaveDataFile(*view);
        return SaveChoice::SingleFile;
    }
    return SaveChoice::Nothing;
}

void TfrmMain::OpenDataFile()
{
    m_dataFiles.OpenDataFile(*OpenDialog1);
}

void TfrmMain::SaveDataFile(TfrmGraph &view)
{
    m_dataFiles.SaveDataFile(view, *SaveDialog1);
}

void TfrmMain::saveDownloadView(TfrmGraph &view)
{
    // The save acts on the active window: make it this one, also while the
    // main window is closing and another view is in front.
    m_workspace.activate(view);
    // The store is being replaced by the download: nothing can be saved now,
    // and a silent refusal would pass for a save.
    if (m_downloads.running()) {
        m_ctx.prompter().notice(this, QStringLiteral("Nothing was saved: a download is running. Save the "
                                                     "DataLogger data once it has ended."));
        return;
    }
    // A single data set file leaves the download unsaved, and the view open:
    // say so, or the user takes the closed question for a saved download.
    if (saveActiveView() == SaveChoice::SingleFile && m_session.unsavedDownload())
        m_ctx.prompter().notice(this, QStringLiteral("Only the selected data set was saved to a file; the "
                                                     "DataLogger data is still not saved, so the window stays open."));
}

void TfrmMain::createPrinting()
{
    // A download and the logger setup hold the meter and their windows.
    m_print = std::make_unique<PrintController>(m_ctx, m_workspace, m_session.store(), [this] {
        return m_downloads.running() || m_setupCommand.running();
    });
    connect(PrintPreview1, &QAction::triggered, m_print.get(), &PrintController::PrintPreviewClick);
    connect(ExportReport1, &QAction::triggered, m_print.get(), &PrintController::ExportReportClick);
}

void TfrmMain::btnPrintClick()
{
    m_print->btnPrintClick();
}

void TfrmMain::PrinterSetup1Click()
{
    m_print->PrinterSetup1Click();
}

void TfrmMain::btnDataLoggerClick()
{
    // The setup holds the device until live polling is back.
    if (m_setupCommand.running())
        return;
    m_downloads.DownloadLoggerData();
}

void TfrmMain::btnSetupClick()
{
    if (m_downloads.running())
        return;
    m_setupCommand.btnSetupClick();
}

void TfrmMain::Contents1Click()
{
    const QString name = QStringLiteral("KV518HELP.htm");
    QString path = QDir(m_ctx.folders().programFolder()).filePath(name);
    if (!QFileInfo::exists(path)) {
        const QString installed = QDir(AppFolders::shippedFolder()).filePath(name);
        if (QFileInfo::exists(installed))
            path = installed;
    }
    // A missing page or a failure to open it is not reported.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TfrmMain::About1Click()
{
    TfrmAbout about(this);
    m_ctx.prompter().exec(about);
}

void TfrmMain::Exit1Click()
{
    // Leaves the message loop at once: no close handler, no settings written,
    // no document window asked.
    QCoreApplication::exit(0);
}

void TfrmMain::Cascade1Click()
{
    mdiArea->cascadeSubWindows();
}

void TfrmMain::Tile1Click()
{
    // Horizontal tiling: every window full width, stacked from top to bottom
    // (QMdiArea's own tiling makes a grid).
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *w : mdiArea->subWindowList()) {
        if (w->isVisible() && !w->isMinimized())
            windows << w;
    }
    if (windows.isEmpty())
        return;
    const QRect area = mdiArea->viewport()->rect();
    const int n = int(windows.size());
    const int height = qMax(1, area.height() / n);
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *w = windows.at(i);
        if (w->isMaximized())
            w->showNormal();
        const int top = i * height;
        const int h = i == n - 1 ? area.height() - top : height;
        w->setGeometry(0, top, area.width(), h);
    }
}

void TfrmMain::Archive1Click()
{
    m_workspace.showArchiveWindow(m_session.archivePath());
}

void TfrmMain::ImportArchive1Click()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("ImportDialog1"));
    dialog.setDirectory(m_workspace.dialogFolder());
    const QString summary = importIntoArchive(m_ctx, this, dialog, m_session.archivePath());
    if (summary.isEmpty())
        return;
    m_archivePanel->setText(summary);
    // The site archive hears of the imports as of a download.
    if (m_site)
        m_site->poke();
    if (TfrmArchive *archive = m_workspace.archiveWindow())
        archive->refresh();
}

void TfrmMain::Window1Popup()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> windows = mdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions << Window1->addSeparator();
    QMdiSubWindow *current = mdiArea->currentSubWindow();
    int number = 0;
    for (QMdiSubWindow *w : windows) {
        ++number;
        const QString title = w->windowTitle();
        QAction *a = Window1->addAction(number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                                    : QStringLiteral("%1 %2").arg(number).arg(title));
        a->setCheckable(true);
        a->setChecked(w == current);
        const QPointer<QMdiSubWindow> target(w);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                mdiArea->setActiveSubWindow(target);
        });
        m_windowListActions << a;
    }
}

void TfrmMain::ComboBoxDeviceNameChange()
{
    // The download holds the device on Comm2.
    if (m_downloads.running())
        return;
    const QString text = ComboBoxDeviceName->currentText();
    const int index = ComboBoxDeviceName->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_monitor.changePort(text, index);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_downloads.running()) {
        // The download holds Comm2 and the store; close once it has ended.
        m_downloads.closeAfterDownload();
        event->ignore();
        return;
    }
    if (!m_workspace.documentsAgreeToClose()) {
        event->ignore();
        return;
    }
    m_monitor.suspend();
    m_downloads.closeDownloadPort();
    m_ctx.settings().PortIndex = m_monitor.portIndex();
    if (const Result<> saved = m_ctx.settings().SaveSettings(); !saved) {
        // The program keeps running, so live polling goes on.
        m_monitor.resume();
        event->ignore();
        m_ctx.prompter().notice(this, saved.message());
        return;
    }
    // Closed during the search: the splash goes with the window.
    if (m_splash)
        m_splash->close();
    event->accept();
}
