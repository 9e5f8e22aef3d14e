#pragma once

#include "link/ComPort.h"
#include "link/ConnectionMonitor.h"
#include "live/LiveReadings.h"
#include "live/TfrmLCD.h"
#include "shell/MainOptions.h"
#include "shell/Settings.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class TfrmAbout;

// The main window: a frame for the data view windows, with the tool bar, the
// menus, the port box and the status bar. It owns the connection monitor (the
// live port Comm1 and MainTimer), the download port Comm2 and the settings.
class TfrmMain : public QMainWindow
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

Q_SIGNALS:
    // The start-up search has ended and the commands are enabled.
    void searchFinished();

public Q_SLOTS:
    void btnOpenClick();
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
    void CreateDownloadView();
    void setCommandsEnabled(bool enabled);
    void setStatus(const QString &devicePath, bool connected);
    void setSplashText(const QString &text);
    void Window1Popup();
    bool documentWindowsAgreeToClose();

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
};
