#include "gui/download/DownloadController.h"

#include "core/data/LoggerDownload.h"
#include "core/data/LoggerImage.h"
#include "core/link/ConnectionMonitor.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/dataview/ViewArea.h"
#include "gui/download/DownloadSession.h"
#include "gui/download/TfrmErr.h"
#include "gui/download/TfrmScope.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

QString noConnectionText() { return QStringLiteral("There is no connection with Logger !"); }
QString recordingText()
{
    return QStringLiteral("The Logger is recording data, please stop recording before loading data.");
}
QString dataErrorText()
{
    return QStringLiteral("Data error ! Choose Try Again to reload or Fix Error to delete the error data set.");
}
QString readErrorText() { return LoggerDownloadResult::readErrorText(); }
} // namespace

DownloadController::DownloadController(AppContext &ctx, ConnectionMonitor &monitor, ViewArea &views,
                                       DownloadSession &session, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_monitor(monitor)
    , m_views(views)
    , m_session(session)
{
    setObjectName(QStringLiteral("DownloadController"));
    Comm2.setObjectName(QStringLiteral("Comm2"));
    Comm2.setPortFactory(&ctx.ports());
}

DownloadController::~DownloadController()
{
    delete m_progress.data();
    delete m_err.data();
    // Destroyed in the middle of a download (the main window going): the
    // device goes back to the live port now, not on a clock call that will
    // never come.
    if (m_running && m_monitor.isSuspended()) {
        Comm2.close();
        m_monitor.resume();
    }
}

void DownloadController::guarded(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &e) {
        qCWarning(lcGui) << "download step failed:" << e.what();
        m_hourglass.reset();
        delete m_progress.data();
        if (m_running && !m_handingBack)
            endDownload();
    }
}

void DownloadController::DownloadLoggerData()
{
    if (downloadRefused())
        return;
    // Asked before the command counts as running: the save behind Yes is one
    // of the commands a running download refuses.
    if (!m_session.unsavedDownloadMayGo())
        return;
    // The question and the save keep the event loop turning: the meter may
    // have gone or started recording meanwhile.
    if (downloadRefused())
        return;
    setRunning(true);
    m_attempts = 0;
    m_views.ensureDownloadView(false);
    // The poll or the live receive handler may be paused beneath this click;
    // the transfer starts from the event loop once both have finished.
    m_monitor.runWhenQuiet(this, [this] { guarded([this] { LoadFromLogger(); }); });
}

bool DownloadController::downloadRefused()
{
    if (m_running)
        return true;
    if (!m_monitor.isConnected()) {
        m_ctx.prompter().notice(m_views.window(), noConnectionText());
        return true;
    }
    if (m_monitor.loggerRecording()) {
        m_ctx.prompter().notice(m_views.window(), recordingText());
        return true;
    }
    return false;
}

void DownloadController::LoadFromLogger()
{
    m_faulty = {};
    ++m_attempts;
    m_hourglass = std::make_unique<WaitCursor>();
    SwitchToDownloadPort([this] { guarded([this] { ReadLoggerImage(); }); });
}

void DownloadController::SwitchToDownloadPort(std::function<void()> then)
{
    // The quiet moment has been awaited (runWhenQuiet): nothing is polling
    // or receiving now.
    Comm2.close();
    m_monitor.handOver(this, [this, then = std::move(then)] {
        Comm2.setDeviceName(m_monitor.comm1().deviceName());
        Comm2.setBaudRate(m_monitor.comm1().baudRate());
        // A device that does not open leaves Comm2 closed, and the
        // transfer ends at once with nothing received.
        Comm2.open();
        then();
    });
}

void DownloadController::ReadLoggerImage()
{
    ShowDownloadProgress();
    LoggerDownloadOptions options;
    m_packets = 0;
    options.progress = [this](const DownloadProgress &progress) {
        if (progress.step == PacketStep::Accepted) {
            ++m_packets;
            showDownloadStep(progress);
        }
    };
    // The bytes arrive in a buffer of this attempt only; the store changes at
    // the parse, all at once or not at all.
    m_transfer.start(Comm2, std::move(options),
                     [this](const LoggerDownloadResult &r) { guarded([this, &r] { imageRead(r); }); });
}

void DownloadController::imageRead(const LoggerDownloadResult &result)
{
    delete m_progress.data();
    if (!result.result) {
        attemptEnded(result.result);
        return;
    }
    const Result<> r = m_session.ParseLoggerImage(result.image, result.expectedBytes);
    if (!r && r.code() == ErrorCode::Damaged)
        m_faulty = {result.image, result.expectedBytes, m_session.store().faultySet()};
    if (r) {
        m_hourglass.reset();
        // A temporary folder that cannot be made is reported there; the
        // download is shown all the same.
        const bool tempImageKept = m_session.SaveTempImage();
        archiveDownload(result, tempImageKept);
    }
    attemptEnded(r);
}

void DownloadController::archiveDownload(const LoggerDownloadResult &result, bool tempImageKept)
{
    ArchiveDownload d = ArchiveDownload::here(result.image, ArchiveSource::Download);
    d.expectedBytes = result.expectedBytes;
    d.port = Comm2.deviceName();
    d.packets = m_packets;
    d.naks = result.retries;
    d.attempts = m_attempts;
    // Archived before the view shows it; a failure never holds the download back.
    const Result<ArchiveOutcome> archived = m_session.archiveDownload(d);
    m_session.showFirstDataSet();
    if (archived) {
        Q_EMIT this->archived(archived->summary());
        return;
    }
    QString text = QStringLiteral("The download is not archived: %1").arg(archived.message());
    if (tempImageKept)
        text += QStringLiteral("\nIt is shown, and kept in the temporary image file.");
    m_ctx.prompter().notice(m_views.window(), text);
}

void DownloadController::attemptEnded(const Result<> &r)
{
    m_hourglass.reset();
    if (r) {
        m_session.markUnsaved();
        endDownload();
        return;
    }
    qCInfo(lcGui).noquote() << "download attempt failed:" << r.message();
    // A directory no logger writes, or none recorded: said, and done.
    if (r.code() == ErrorCode::NotData || r.code() == ErrorCode::NoData) {
        m_ctx.prompter().notice(m_views.window(), r.message());
        endDownload();
        return;
    }
    const bool dataError = r.code() == ErrorCode::Damaged;
    if (!m_err)
        m_err = new TfrmErr(m_ctx, m_views.window());
    m_err->Button1->setVisible(dataError);
    m_err->Label1->setText(dataError ? dataErrorText() : readErrorText());
    m_err->lblCause->setText(r.message());
    const int answer = m_ctx.prompter().exec(*m_err);
    if (answer == TfrmErr::Retry) {
        LoadFromLogger();
        return;
    }
    if (answer == TfrmErr::OK && dataError && repairFaultySet())
        m_session.markUnsaved();
    endDownload();
}

void DownloadController::endDownload()
{
    delete m_err.data();
    m_faulty = {};
    // Live polling comes back whatever the attempts ended in.
    Comm2.close();
    m_handingBack = true;
    m_monitor.handBack(this, ConnectionMonitor::Settle::No, [this] {
        m_handingBack = false;
        setRunning(false);
        Q_EMIT finished();
        if (m_closeAfterDownload) {
            m_closeAfterDownload = false;
            Q_EMIT closeRequested();
        }
    });
}

bool DownloadController::repairFaultySet()
{
    // Only the data sets before the faulty entry are sound; with none of them
    // there is nothing to keep. The meter itself is never touched.
    if (m_faulty.faultySet <= 0)
        return false;
    // The image saved from here reopens to the same data sets.
    const std::optional<QByteArray> image = LoggerImage::truncateDirectoryAt(m_faulty.image, m_faulty.faultySet);
    if (!image)
        return false;
    WaitCursor hourglass;
    if (!m_session.ParseLoggerImage(*image, m_faulty.expectedBytes))
        return false;
    hourglass.restore();
    m_session.SaveTempImage();
    m_session.showFirstDataSet();
    return true;
}

void DownloadController::ShowDownloadProgress()
{
    delete m_progress.data();
    auto *scope = new TfrmScope(m_views.window());
    scope->setAttribute(Qt::WA_DeleteOnClose);
    scope->stayOnTop();
    scope->setWindowTitle(QStringLiteral("Data Retriving Progress"));
    for (QWidget *w : {static_cast<QWidget *>(scope->Progress1), static_cast<QWidget *>(scope->lblTotalBytes),
                       static_cast<QWidget *>(scope->lblBytesReceived), static_cast<QWidget *>(scope->SText1),
                       static_cast<QWidget *>(scope->SText2)})
        w->show();
    scope->fitToControls();
    m_progress = scope;
    showDownloadStep({});
    scope->show();
}

TfrmScope *DownloadController::progressWindow() const
{
    return m_progress;
}

void DownloadController::showDownloadStep(const DownloadProgress &progress)
{
    if (!m_progress)
        return;
    m_progress->lblBytesReceived->setText(QString::number(progress.received));
    m_progress->lblTotalBytes->setText(QString::number(progress.total));
    m_progress->Progress1->setRange(0, progress.barMaximum());
    m_progress->Progress1->setValue(progress.barValue());
}

void DownloadController::setRunning(bool running)
{
    m_running = running;
    m_session.setDownloadRunning(running);
    Q_EMIT runningChanged(running);
}
