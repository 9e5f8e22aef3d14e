#pragma once

#include "core/data/LoggerDownload.h"
#include "core/data/TDataSetStore.h"
#include "core/link/ComPort.h"
#include "gui/dataview/TfrmGraph.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class AppContext;
class ConnectionMonitor;
class QFileDialog;
class QWidget;
class TfrmErr;
class TfrmScope;
class WaitCursor;

// The logger's memory on screen: the download command (from "Download" to the
// first data set, with live polling handed back in every case) and the
// collection files, which load and save the same data sets. It owns the
// download port Comm2 and the store behind the download view; the view itself
// lives in the main window's document area and is reached through Window.
//
// The download runs from the event loop, one step after another (the pauses
// of the port hand-over are clock calls, the transfer is driven by the port),
// so the window answers throughout and a message box or dialog opened
// meanwhile does not stop the transfer.
class DownloadController : public QObject, public TfrmGraphHost
{
    Q_OBJECT
public:
    // What the controller needs of the main window.
    struct Window
    {
        // Parent of the progress window and of every message.
        QWidget *widget = nullptr;
        // Opens the download view when none is open, else brings it up; a new
        // one spans the document area when fullWidth.
        std::function<TfrmGraph *(bool fullWidth)> ensureView;
        // The open download view, or nullptr.
        std::function<TfrmGraph *()> view;
        // The Save command on view (the answer Yes to its close question).
        std::function<void(TfrmGraph &view)> saveView;
        // The folder of the temporary image; empty before the window is shown.
        std::function<QString()> userDataFolder;
    };

    DownloadController(AppContext &ctx, ConnectionMonitor &monitor, Window window, QObject *parent = nullptr);
    ~DownloadController() override;

    // The download port (no receive handler).
    ComPort Comm2;
    // A download is shown that has not been saved as a collection file.
    bool UnsavedDownload = false;

    // The data sets of the last download or collection open, for the whole run.
    TDataSetStore &store() { return m_store; }

    // The download command: copies the logger's memory into the store and
    // shows its first data set. Refused without a connection, while the
    // logger records, and while a download already runs; an unsaved download
    // is offered for saving first. Returns at once; finished() follows.
    void DownloadLoggerData();
    // Creates and shows this attempt's progress window.
    void ShowDownloadProgress();
    // A download is running: the commands that would disturb it refuse.
    bool running() const { return m_running; }
    // The progress window of the running attempt; empty between attempts.
    TfrmScope *progressWindow() const;
    // The main window asked to close while a download runs: closeRequested
    // follows the download's end.
    void closeAfterDownload() { m_closeAfterDownload = true; }

    // Loads a logger image into the store (the download view is opened when
    // missing) and fills the view's data set list. On a failure the store,
    // the list and the chart stay as they were.
    Result<> ParseLoggerImage(const QByteArray &image, qint64 expectedBytes);
    // Writes the image of the last load to "temp/DataSetsTemp.tmp" of the user
    // data folder. A folder that cannot be created is reported with its path;
    // the caller carries on. Returns whether the file was written.
    bool SaveTempImage();
    // After a successful load: data set 0 in the download view.
    void showFirstDataSet();

    // The collection file commands, through the main window's file dialogs;
    // SaveCollectionFile returns whether a file was written. An open offers
    // an unsaved download for saving first, and is refused while a download
    // runs.
    void OpenCollectionFile(QFileDialog &dialog);
    // Opens the collection file at path into the download view (a file given
    // on the command line); false, with nothing changed, when it cannot be
    // read as a collection. Asks about an unsaved download first.
    bool openCollectionPath(const QString &path);
    bool SaveCollectionFile(QFileDialog &dialog);

    // The data view's part in the unsaved download.
    const TDataSetStore &dataSets() const override { return m_store; }
    bool unsavedDownload() const override { return UnsavedDownload; }
    void saveDownload(TfrmGraph &view) override;
    void downloadViewClosed() override { UnsavedDownload = false; }

Q_SIGNALS:
    // A download starts (true) or has ended (false): the main window disables
    // or enables the commands that would disturb it.
    void runningChanged(bool running);
    // A download command has ended (whatever its result) and live polling
    // runs again.
    void finished();
    // The close held by closeAfterDownload() is due.
    void closeRequested();

private:
    // The download command's refusals; a running download is refused silently.
    bool downloadRefused();
    // The download view's save question before its unsaved download is
    // replaced; whether the command may go on.
    bool unsavedDownloadMayGo();
    // The steps of one attempt (LoadFromLogger): the hand-over of the device
    // from Comm1 to Comm2 with its two pauses, the transfer with its progress
    // window, the parse, and on success the temporary image and data set 0.
    void LoadFromLogger();
    void SwitchToDownloadPort(std::function<void()> then);
    void ReadLoggerImage();
    void imageRead(const LoggerDownloadResult &result);
    // What the attempt ended in: done, a message, or the error dialog that
    // may start the next attempt.
    void attemptEnded(const Result<> &result);
    // Comm2 closed, a pause, live polling back, finished().
    void endDownload();
    bool repairFaultySet();
    // Loads a collection file into the store and shows its first data set.
    bool loadCollection(const QString &path);
    void setRunning(bool running);
    void showDownloadStep(const DownloadProgress &progress);

    AppContext &m_ctx;
    ConnectionMonitor &m_monitor;
    Window m_window;
    TDataSetStore m_store;
    bool m_running = false;
    bool m_closeAfterDownload = false;
    LoggerDownload m_transfer;
    std::unique_ptr<WaitCursor> m_hourglass;
    // One error dialog for the whole command.
    QPointer<TfrmErr> m_err;
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
