#pragma once

#include "core/app/MainOptions.h"
#include "core/link/ConnectionMonitor.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/DownloadController.h"
#include "gui/download/DownloadSession.h"
#include "gui/files/DataFileController.h"
#include "gui/live/LiveReadings.h"
#include "gui/live/TfrmLCD.h"
#include "gui/print/PrintController.h"
#include "gui/setup/SetupController.h"
#include "gui/shell/PortBox.h"
#include "gui/shell/Workspace.h"

#include <QList>
#include <memory>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QFileDialog;
class QLabel;
class QMdiArea;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class TfrmAbout;

// The main window: a frame for the data view windows, with the tool bar, the
// menus, the port box and the status bar. It owns the connection monitor (the
// live port Comm1 and MainTimer), the workspace (the document area and its
// data views), the download session (the data sets and their collection
// files), the download controller (the download port Comm2) and the
// settings, and routes the commands to them.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // ctx (the prompter, folders, settings and port factory of this run) must
    // outlive the window.
    explicit TfrmMain(AppContext &ctx, const MainOptions &options = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The start-up splash; it shows the search's progress and is closed when
    // the search ends.
    void setSplash(TfrmAbout *splash);

    ConnectionMonitor &monitor() { return m_monitor; }
    // The decoded live readings and the flags they drive.
    LiveReadings &liveReadings() { return m_live; }
    // The LCD mirror; empty once the user has closed it.
    TfrmLCD *lcdMirror() const { return m_lcd; }
    Settings &settings() { return m_ctx.settings(); }
    QString userDataFolder() const { return m_workspace.userDataFolder(); }
    // The texts of the two status bar panels.
    QString statusPanelText(int panel) const;
    bool searchDone() const { return m_monitor.searchDone(); }

    // Tool bar.
    QToolBar *Panel1 = nullptr;
    QToolButton *btnOpen = nullptr;
    QToolButton *btnSave = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnDataLogger = nullptr;
    QToolButton *btnSetup = nullptr;
    QToolButton *btnArchive = nullptr;
    QToolButton *btnHelp = nullptr;
    PortBox *ComboBoxDeviceName = nullptr;

    // Menus.
    QMenu *File1 = nullptr;
    QMenu *View1 = nullptr;
    QMenu *Window1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *ImportArchive1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *PrinterSetup1 = nullptr;
    QAction *PrintPreview1 = nullptr;
    QAction *ExportReport1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *DataLogger1 = nullptr;
    QAction *Setup1 = nullptr;
    QAction *LCD1 = nullptr;
    QAction *Archive1 = nullptr;
    QAction *AuditTrail1 = nullptr;
    QAction *Cascade1 = nullptr;
    QAction *Tile1 = nullptr;
    QAction *Contents1 = nullptr;
    QAction *SaveTransferLog1 = nullptr;
    QAction *About1 = nullptr;

    QMdiArea *mdiArea = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // The file dialogs of the Open and Save commands.
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

    // The document area and its data views.
    Workspace &workspace() { return m_workspace; }
    // The data sets behind the download view and the collection files.
    DownloadSession &session() { return m_session; }
    // The download command.
    DownloadController &downloads() { return m_downloads; }
    // Printing, its printer and the PDF report.
    PrintController &printing() { return *m_print; }
    // The logger setup command.
    SetupController &setupCommand() { return m_setupCommand; }
    // The download view; nullptr while none is open.
    TfrmGraph *downloadView() const { return m_workspace.downloadView(); }

    // The single data file commands.
    void OpenDataFile();
    void SaveDataFile(TfrmGraph &view);
    DataFileController &dataFiles() { return m_dataFiles; }

Q_SIGNALS:
    // The start-up search has ended and the commands are enabled.
    void searchFinished();

public Q_SLOTS:
    void btnOpenClick();
    // Saves what the active data view shows.
    void Save1Click();
    void btnPrintClick();
    void PrinterSetup1Click();
    void btnDataLoggerClick();
    void btnSetupClick();
    // Opens the archive window (or brings it up).
    void Archive1Click();
    // File > Import into Archive...
    void ImportArchive1Click();
    void Contents1Click();
    void About1Click();
    void Exit1Click();
    void Cascade1Click();
    void Tile1Click();
    // The user chose an entry of the port box or edited its text.
    void ComboBoxDeviceNameChange();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createToolBar();
    void createMenus();
    void createStatusBar();
    void connectMonitor();
    void fillPortBox();
    // Reads the system's ports again and updates the box and the monitor.
    void refreshPortBox();
    QStringList currentPortEntries() const;
    QString panel0Text(const QString &devicePath) const;
    void FormShow();
    // The search has ended: the splash goes, the commands come.
    void meterSearched();
    // The files named on the command line, each as File > Open would.
    void openFiles(const QStringList &paths);
    void createLcdMirror();
    void setCommandsEnabled(bool enabled);
    void setStatus(const QString &devicePath, bool connected);
    void setSplashText(const QString &text);
    void Window1Popup();
    void createFileDialogs();
    void connectDownloads();
    void createPrinting();
    void saveDownloadView(TfrmGraph &view);
    // What Save1Click did with the active view.
    enum class SaveChoice { Nothing, Collection, SingleFile };
    SaveChoice saveActiveView();
    void setDownloadCommandsEnabled(bool running);

    AppContext &m_ctx;
    ConnectionMonitor m_monitor;
    LiveReadings m_live;
    QPointer<TfrmLCD> m_lcd;
    QPointer<TfrmAbout> m_splash;
    QLabel *m_panel0 = nullptr;
    QLabel *m_panel1 = nullptr;
    // What the last save wrote.
    QLabel *m_saveStatus = nullptr;
    QLabel *m_archivePanel = nullptr;
    // The site archive's outbox, sent in the background (when one is named).
    QLabel *m_sitePanel = nullptr;
    std::unique_ptr<class SiteForwarder> m_site;
    QList<QAction *> m_windowListActions;
    bool m_shown = false;
    MainOptions m_options;
    // Re-reads the port list every 2 s while no meter is connected.
    QTimer *m_portListTimer = nullptr;
    // The session is only stored by the workspace before it is made.
    Workspace m_workspace;
    DownloadSession m_session;
    // Declared after the monitor: it goes first, while the monitor it uses
    // still exists.
    DownloadController m_downloads;
    std::unique_ptr<PrintController> m_print;
    DataFileController m_dataFiles;
    SetupController m_setupCommand;
};
