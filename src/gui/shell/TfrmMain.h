#pragma once

#include "core/app/MainOptions.h"
#include "core/app/Settings.h"
#include "core/data/TDataSetStore.h"
#include "core/link/ComPort.h"
#include "core/link/ConnectionMonitor.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/TfrmScope.h"
#include "gui/live/LiveReadings.h"
#include "gui/live/TfrmLCD.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QFileDialog;
class QLabel;
class QMdiArea;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class TfrmAbout;

struct DownloadProgress;

// The main window: a frame for the data view windows, with the tool bar, the
// menus, the port box and the status bar. It owns the connection monitor (the
// live port Comm1 and MainTimer), the download port Comm2 and the settings.
class TfrmMain : public QMainWindow, public TfrmGraphHost
{
    Q_OBJECT
public:
    explicit TfrmMain(const MainOptions &options = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The start-up splash; it shows the search's progress and is closed when
    // the search ends.
    void setSplash(TfrmAbout *splash);

    ConnectionMonitor &monitor() { return m_monitor; }
    // The decoded live readings and the flags they drive.
    LiveReadings &liveReadings() { return m_live; }
    // The LCD mirror; empty once the user has closed it.
    TfrmLCD *lcdMirror() const { return m_lcd; }
    Settings &settings() { return m_settings; }
    QString userDataFolder() const { return m_userDataFolder; }
    // The texts of the two status bar panels.
    QString statusPanelText(int panel) const;
    bool searchDone() const { return m_searchDone; }

    // Tool bar.
    QToolBar *Panel1 = nullptr;
    QToolButton *btnOpen = nullptr;
    QToolButton *btnSave = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnDataLogger = nullptr;
    QToolButton *btnSetup = nullptr;
    QToolButton *btnHelp = nullptr;
    QComboBox *ComboBoxDeviceName = nullptr;

    // Menus.
    QMenu *File1 = nullptr;
    QMenu *View1 = nullptr;
    QMenu *Window1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *Print1 = nullptr;
    QAction *PrinterSetup1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *DataLogger1 = nullptr;
    QAction *Setup1 = nullptr;
    QAction *LCD1 = nullptr;
    QAction *Cascade1 = nullptr;
    QAction *Tile1 = nullptr;
    QAction *Contents1 = nullptr;
    QAction *About1 = nullptr;

    QMdiArea *mdiArea = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // The download port (no receive handler).
    ComPort Comm2;

    // The file dialogs of the Open and Save commands.
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

    // The data sets of the last download or collection open, for the whole run.
    TDataSetStore &store() { return m_store; }
    // The download view; empty while none is open.
    QPointer<TfrmGraph> DownloadView;
    // A download is shown that has not been saved as a collection file.
    bool UnsavedDownload = false;

    // Opens the download view with an empty chart (at the end of the show
    // step, and when a load finds none open).
    void CreateDownloadView();
    // Loads a logger image into the store (the download view is opened when
    // missing) and fills the view's data set list. On any result but lrOk the
    // store, the list and the chart stay as they were.
    TLoadResult ParseLoggerImage(const QByteArray &image, qint64 expectedBytes);
    // Writes the image of the last load to "temp/DataSetsTemp.tmp" of the user
    // data folder. A folder that cannot be created is reported with its path;
    // the caller carries on. Returns whether the file was written.
    bool SaveTempImage();
    // After a successful load: data set 0 in the download view.
    void showFirstDataSet();
    // The collection file commands; SaveCollectionFile returns whether a file
    // was written.
    void OpenCollectionFile();
    bool SaveCollectionFile();
    // The single data file commands.
    void OpenDataFile();
    void SaveDataFile(TfrmGraph &view);

    // The download command: copies the logger's memory into the store and
    // shows its first data set. Refused without a connection, while the
    // logger records, and while a download already runs.
    void DownloadLoggerData();
    // One attempt: the transfer, the parse, and on success the temporary
    // image and data set 0 on screen.
    TLoadResult LoadFromLogger();
    // Moves the serial device from Comm1 to Comm2 (MainTimer stopped).
    void SwitchToDownloadPort();
    // The exchange on Comm2 with its progress window; lrOk or lrReadError.
    TLoadResult ReadLoggerImage(QByteArray &image, qint64 &expectedBytes);
    // Creates and shows this attempt's progress window.
    void ShowDownloadProgress();
    // A download is running: the commands that would disturb it refuse.
    bool downloadRunning() const { return m_downloadRunning; }
    // The progress window of the running attempt; empty between attempts.
    TfrmScope *downloadProgress() const { return m_progress; }

Q_SIGNALS:
    // The start-up search has ended and the commands are enabled.
    void searchFinished();
    // A download command has ended (whatever its result) and live polling
    // runs again.
    void downloadFinished();

public Q_SLOTS:
    void btnOpenClick();
    // Saves what the active data view shows.
    void Save1Click();
    void btnPrintClick();
    void PrinterSetup1Click();
    void btnDataLoggerClick();
    void btnSetupClick();
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
    void fillPortBox(const MainOptions &options);
    void FormShow();
    void createLcdMirror();
    void setCommandsEnabled(bool enabled);
    void setStatus(const QString &devicePath, bool connected);
    void setSplashText(const QString &text);
    void Window1Popup();
    bool documentWindowsAgreeToClose();
    void createFileDialogs();
    QString fileDialogFolder() const;
    TfrmGraph *activeDataView() const;
    void ensureDownloadView(bool fullWidth);
    void runDownload();
    void downloadAttempts();
    bool repairFaultySet();
    void setDownloadRunning(bool running);
    void showDownloadStep(const DownloadProgress &progress);

    // The data view's part in the unsaved download.
    const TDataSetStore &dataSets() const override { return m_store; }
    bool unsavedDownload() const override { return UnsavedDownload; }
    void saveDownload(TfrmGraph &view) override;
    void downloadViewClosed() override { UnsavedDownload = false; }

    TDataSetStore m_store;
    ConnectionMonitor m_monitor;
    LiveReadings m_live;
    QPointer<TfrmLCD> m_lcd;
    Settings m_settings;
    QString m_userDataFolder;
    QPointer<TfrmAbout> m_splash;
    QLabel *m_panel0 = nullptr;
    QLabel *m_panel1 = nullptr;
    QList<QAction *> m_windowListActions;
    bool m_shown = false;
    bool m_searching = false;
    bool m_searchDone = false;
    bool m_closeAfterSearch = false;

    bool m_downloadRunning = false;
    bool m_closeAfterDownload = false;
    QPointer<TfrmScope> m_progress;
    // The image of an attempt that ended in a data error, for the repair that
    // keeps the data sets before the faulty one.
    struct FaultyImage
    {
        QByteArray image;
        qint64 expectedBytes = 0;
        int faultySet = -1;
    } m_faulty;
};
