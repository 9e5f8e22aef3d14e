#pragma once

#include "core/data/LoggerDownload.h"
#include "core/link/ComPort.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class AppContext;
class ConnectionMonitor;
class DownloadSession;
class QWidget;
class TfrmErr;
class TfrmScope;
class ViewArea;
class WaitCursor;

// The download command: from "Download" to the first data set, with live
// polling handed back in every case. It owns the download port Comm2 and
// fills the DownloadSession's store; the download view lives in the document
// area and is reached through the ViewArea.
//
// The download runs from the event loop, one step after another (the pauses
// of the port hand-over are clock calls, the transfer is driven by the port),
// so the window answers throughout and a message box or dialog opened
// meanwhile does not stop the transfer.
class DownloadController : public QObject
{
    Q_OBJECT
public:
    // ctx, monitor, views and session must outlive the controller.
    DownloadController(AppContext &ctx, ConnectionMonitor &monitor, ViewArea &views, DownloadSession &session,
                       QObject *parent = nullptr);
    ~DownloadController() override;

    // The download port (no receive handler); open only while a transfer runs.
    const ComPort &downloadPort() const { return Comm2; }
    // Closes the download port (the main window goes).
    void closeDownloadPort() { Comm2.close(); }

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

Q_SIGNALS:
    // A download starts (true) or has ended (false): the main window disables
    // or enables the commands that would disturb it.
    void runningChanged(bool running);
    // A download command has ended (whatever its result) and live polling
    // runs again.
    void finished();
    // The close held by closeAfterDownload() is due.
    void closeRequested();
    // A download was archived: what became of its data sets, for the status bar.
    void archived(const QString &summary);

private:
    // The download command's refusals; a running download is refused silently.
    bool downloadRefused();
    // The steps of one attempt (LoadFromLogger): the hand-over of the device
    // from Comm1 to Comm2 with its two pauses, the transfer with its progress
    // window, the parse, and on success the temporary image and data set 0.
    void LoadFromLogger();
    void SwitchToDownloadPort(std::function<void()> then);
    void ReadLoggerImage();
    void imageRead(const LoggerDownloadResult &result);
    // Archives a download that loaded; says once when it cannot.
    void archiveDownload(const LoggerDownloadResult &result, bool tempImageKept);
    // What the attempt ended in: done, a message, or the error dialog that
    // may start the next attempt.
    void attemptEnded(const Result<> &result);
    // Comm2 closed, a pause, live polling back, finished().
    void endDownload();
    // Runs one step of the flow; a step that throws ends the download as a
    // failed one would, so the live port, MainTimer and the commands come back.
    void guarded(const std::function<void()> &step);
    bool repairFaultySet();
    void setRunning(bool running);
    void showDownloadStep(const DownloadProgress &progress);

    AppContext &m_ctx;
    ConnectionMonitor &m_monitor;
    ViewArea &m_views;
    DownloadSession &m_session;
    // The download port (no receive handler).
    ComPort Comm2;
    bool m_running = false;
    bool m_handingBack = false; // endDownload has run; live polling is on its way back
    bool m_closeAfterDownload = false;
    // The figures of the command's transfer that the archive records.
    int m_attempts = 0;
    int m_packets = 0;
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
