#include "gui/download/DownloadController.h"

#include "core/data/CollectionFile.h"
#include "core/data/LoggerDownload.h"
#include "core/data/LoggerImage.h"
#include "core/link/ConnectionMonitor.h"
#include "core/link/MonotonicClock.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/download/TfrmErr.h"
#include "gui/download/TfrmScope.h"

#include <QDir>
#include <QFileDialog>
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

DownloadController::DownloadController(AppContext &ctx, ConnectionMonitor &monitor, Window window,
                                       QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_monitor(monitor)
    , m_window(std::move(window))
{
    setObjectName(QStringLiteral("DownloadController"));
    Comm2.setObjectName(QStringLiteral("Comm2"));
    Comm2.setPortFactory(&ctx.ports());
}

DownloadController::~DownloadController()
{
    delete m_progress.data();
    delete m_err.data();
}

void DownloadController::DownloadLoggerData()
{
    if (downloadRefused())
        return;
    // Asked before the command counts as running: the save behind Yes is one
    // of the commands a running download refuses.
    if (!unsavedDownloadMayGo())
        return;
    // The question and the save keep the event loop turning: the meter may
    // have gone or started recording meanwhile.
    if (downloadRefused())
        return;
    setRunning(true);
    m_window.ensureView(false);
    // The poll or the live receive handler may be paused beneath this click;
    // the transfer starts from the event loop once both have finished.
    m_monitor.runWhenQuiet(this, [this] { LoadFromLogger(); });
}

bool DownloadController::downloadRefused()
{
    if (m_running)
        return true;
    if (!m_monitor.isConnected()) {
        m_ctx.prompter().notice(m_window.widget, noConnectionText());
        return true;
    }
    if (m_monitor.loggerRecording()) {
        m_ctx.prompter().notice(m_window.widget, recordingText());
        return true;
    }
    return false;
}

bool DownloadController::unsavedDownloadMayGo()
{
    // Closing the download view drops its download, so an unsaved one has
    // its view; the view asks as it does when it closes.
    TfrmGraph *view = m_window.view();
    return !UnsavedDownload || !view || view->saveDownloadFirst();
}

void DownloadController::LoadFromLogger()
{
    m_faulty = {};
    m_hourglass = std::make_unique<WaitCursor>();
    SwitchToDownloadPort([this] { ReadLoggerImage(); });
}

void DownloadController::SwitchToDownloadPort(std::function<void()> then)
{
    // The quiet moment has been awaited (runWhenQuiet): nothing is polling
    // or receiving now.
    m_monitor.suspend();
    Comm2.close();
    const MonotonicClock &clock = MonotonicClock::system();
    clock.callAfter(200, this, [this, &clock, then = std::move(then)] {
        Comm2.setDeviceName(m_monitor.comm1().deviceName());
        Comm2.setBaudRate(m_monitor.comm1().baudRate());
        clock.callAfter(300, this, [this, then] {
            // A device that does not open leaves Comm2 closed, and the
            // transfer ends at once with nothing received.
            Comm2.open();
            then();
        });
    });
}

void DownloadController::ReadLoggerImage()
{
    ShowDownloadProgress();
    LoggerDownloadOptions options;
    options.progress = [this](const DownloadProgress &progress) {
        if (progress.step == PacketStep::Accepted)
            showDownloadStep(progress);
    };
    // The bytes arrive in a buffer of this attempt only; the store changes at
    // the parse, all at once or not at all.
    m_transfer.start(Comm2, std::move(options), [this](const LoggerDownloadResult &r) { imageRead(r); });
}

void DownloadController::imageRead(const LoggerDownloadResult &result)
{
    delete m_progress.data();
    if (!result.result) {
        attemptEnded(result.result);
        return;
    }
    const Result<> r = ParseLoggerImage(result.image, result.expectedBytes);
    if (!r && r.code() == ErrorCode::Damaged)
        m_faulty = {result.image, result.expectedBytes, m_store.faultySet()};
    if (r) {
        m_hourglass.reset();
        // A temporary folder that cannot be made is reported there; the
        // download is shown all the same.
        SaveTempImage();
        showFirstDataSet();
    }
    attemptEnded(r);
}

void DownloadController::attemptEnded(const Result<> &r)
{
    m_hourglass.reset();
    if (r) {
        UnsavedDownload = true;
        endDownload();
        return;
    }
    qCInfo(lcGui).noquote() << "download attempt failed:" << r.message();
    // A directory no logger writes, or none recorded: said, and done.
    if (r.code() == ErrorCode::NotData || r.code() == ErrorCode::NoData) {
        m_ctx.prompter().notice(m_window.widget, r.message());
        endDownload();
        return;
    }
    const bool dataError = r.code() == ErrorCode::Damaged;
    if (!m_err)
        m_err = new TfrmErr(m_ctx, m_window.widget);
    m_err->Button1->setVisible(dataError);
    m_err->Label1->setText(dataError ? dataErrorText() : readErrorText());
    const int answer = m_ctx.prompter().exec(*m_err);
    if (answer == TfrmErr::Retry) {
        LoadFromLogger();
        return;
    }
    if (answer == TfrmErr::OK && dataError && repairFaultySet())
        UnsavedDownload = true;
    endDownload();
}

void DownloadController::endDownload()
{
    delete m_err.data();
    m_faulty = {};
    // Live polling comes back whatever the attempts ended in.
    Comm2.close();
    MonotonicClock::system().callAfter(300, this, [this] {
        m_monitor.resume();
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
    if (!ParseLoggerImage(*image, m_faulty.expectedBytes))
        return false;
    hourglass.restore();
    SaveTempImage();
    showFirstDataSet();
    return true;
}

void DownloadController::ShowDownloadProgress()
{
    delete m_progress.data();
    auto *scope = new TfrmScope(m_window.widget);
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
    Q_EMIT runningChanged(running);
}

Result<> DownloadController::ParseLoggerImage(const QByteArray &image, qint64 expectedBytes)
{
    // The list to fill must exist, also when the user closed the view meanwhile.
    TfrmGraph *view = m_window.ensureView(false);
    Result<> result = m_store.load(image, expectedBytes);
    if (result)
        view->fillDataSetList(m_store);
    return result;
}

bool DownloadController::SaveTempImage()
{
    const QString folder = CollectionFile::tempFolder(m_window.userDataFolder(), m_ctx.folders().programFolder());
    const Result<> written = CollectionFile::writeTempImage(m_store.lastImage(), folder);
    // Only a folder that cannot be made is said (with its path); a file that
    // cannot be written leaves the older one, and the download shows all the same.
    if (!written && written.code() == ErrorCode::NotFound)
        m_ctx.prompter().message(m_window.widget, QMessageBox::Critical, written.message(), QMessageBox::Ok);
    return written.ok();
}

void DownloadController::showFirstDataSet()
{
    if (TfrmGraph *view = m_window.view())
        view->showDataSet(m_store, 0);
}

void DownloadController::OpenCollectionFile(QFileDialog &dialog)
{
    if (m_running || !unsavedDownloadMayGo())
        return;
    m_window.ensureView(true);
    dialog.setDefaultSuffix(QStringLiteral("518"));
    dialog.setNameFilters({QStringLiteral("Data Sets Collection (*.518) (*.518)")});
    const QString path = m_ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return;
    loadCollection(path);
}

bool DownloadController::openCollectionPath(const QString &path)
{
    if (m_running || !unsavedDownloadMayGo())
        return false;
    m_window.ensureView(true);
    return loadCollection(path);
}

bool DownloadController::loadCollection(const QString &path)
{
    qint64 size = 0;
    const Result<QByteArray> image = CollectionFile::readImage(path, &size);
    // Unreadable, too large, empty, or too short for a directory: nothing is loaded.
    if (!image || image->size() < LoggerImage::DirectoryEnd) {
        qCInfo(lcGui).noquote() << "collection not opened:" << path;
        return false;
    }
    if (const Result<> loaded = ParseLoggerImage(*image, size); !loaded) {
        qCInfo(lcGui).noquote() << "collection not opened:" << path << "-" << loaded.message();
        return false;
    }
    SaveTempImage();
    showFirstDataSet();
    return true;
}

bool DownloadController::SaveCollectionFile(QFileDialog &dialog)
{
    dialog.setDefaultSuffix(QStringLiteral("518"));
    dialog.setNameFilters({QStringLiteral("Data Set Collection file(*.518,only for KV518) (*.518)")});
    const QString path = m_ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return false;
    // The image loaded in this run is written from memory; only without one
    // does an earlier run's temporary file stand in.
    QByteArray bytes = m_store.lastImage();
    if (bytes.isEmpty()) {
        const Result<QByteArray> earlier = CollectionFile::readImage(
            CollectionFile::tempImagePath(m_window.userDataFolder(), m_ctx.folders().programFolder()));
        if (!earlier || earlier->isEmpty())
            return false;
        bytes = *earlier;
    }
    if (const Result<> written = CollectionFile::writeImage(path, bytes); !written) {
        m_ctx.prompter().message(m_window.widget, QMessageBox::Critical, written.message(), QMessageBox::Ok);
        return false;
    }
    UnsavedDownload = false;
    return true;
}

void DownloadController::saveDownload(TfrmGraph &view)
{
    m_window.saveView(view);
}
