// The download command of the main window: from the "Download" button to the
// first data set on screen, with live polling handed back in every case.
#include "gui/shell/TfrmMain.h"

#include "core/data/LoggerDownload.h"
#include "core/data/LoggerImage.h"
#include "core/link/Delay.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/download/TfrmErr.h"
#include "gui/download/TfrmScope.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

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
QString readErrorText() { return QStringLiteral("There was error when reading data from meter"); }
} // namespace

void TfrmMain::btnDataLoggerClick()
{
    DownloadLoggerData();
}

void TfrmMain::DownloadLoggerData()
{
    if (m_downloadRunning)
        return;
    if (!m_monitor.isConnected()) {
        Prompter::notice(this, noConnectionText());
        return;
    }
    if (m_monitor.loggerRecording()) {
        Prompter::notice(this, recordingText());
        return;
    }
    setDownloadRunning(true);
    ensureDownloadView(false);
    // The poll or the live receive handler may be paused beneath this click;
    // the transfer starts from the event loop once both have finished.
    m_monitor.runWhenQuiet(this, [this] { runDownload(); });
}

void TfrmMain::runDownload()
{
    downloadAttempts();
    // Live polling comes back whatever the attempts ended in.
    Comm2.close();
    Delay(300);
    m_monitor.resume();
    setDownloadRunning(false);
    Q_EMIT downloadFinished();
    if (m_closeAfterDownload) {
        m_closeAfterDownload = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TfrmMain::downloadAttempts()
{
    // One error dialog for the whole command.
    QPointer<TfrmErr> err = new TfrmErr(this);
    auto cleanUp = qScopeGuard([this, err] {
        delete err.data();
        m_faulty = {};
    });
    while (true) {
        const TLoadResult r = LoadFromLogger();
        switch (r) {
        case TLoadResult::lrOk:
            UnsavedDownload = true;
            return;
        case TLoadResult::lrMemoryError:
            Prompter::notice(this, QStringLiteral("Memory error!"));
            return;
        case TLoadResult::lrNoData:
            Prompter::notice(this, QStringLiteral("There is not any recorded data in memory!"));
            return;
        case TLoadResult::lrDataError:
            err->Button1->show();
            err->Label1->setText(dataErrorText());
            break;
        case TLoadResult::lrReadError:
            err->Button1->hide();
            err->Label1->setText(readErrorText());
            break;
        }
        const int answer = Prompter::instance().exec(*err);
        if (!err)
            return;
        if (answer == TfrmErr::Retry)
            continue;
        if (answer == TfrmErr::OK && r == TLoadResult::lrDataError && repairFaultySet())
            UnsavedDownload = true;
        return;
    }
}

bool TfrmMain::repairFaultySet()
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
    if (ParseLoggerImage(*image, m_faulty.expectedBytes) != TLoadResult::lrOk)
        return false;
    hourglass.restore();
    SaveTempImage();
    showFirstDataSet();
    return true;
}

TLoadResult TfrmMain::LoadFromLogger()
{
    m_faulty = {};
    WaitCursor hourglass;
    // The bytes arrive in a buffer of this attempt only; the store changes at
    // the parse, all at once or not at all.
    QByteArray image;
    qint64 expectedBytes = 0;
    TLoadResult r = ReadLoggerImage(image, expectedBytes);
    if (r != TLoadResult::lrOk)
        return r;
    r = ParseLoggerImage(image, expectedBytes);
    if (r == TLoadResult::lrDataError)
        m_faulty = {image, expectedBytes, m_store.faultySet()};
    if (r != TLoadResult::lrOk)
        return r;
    hourglass.restore();
    // A temporary folder that cannot be made is reported there; the download
    // is shown all the same.
    SaveTempImage();
    showFirstDataSet();
    return r;
}

void TfrmMain::SwitchToDownloadPort()
{
    // The quiet moment has been awaited by the caller (runWhenQuiet): nothing
    // can be polling or receiving now.
    m_monitor.suspend();
    Comm2.close();
    Delay(200);
    Comm2.setDeviceName(m_monitor.comm1().deviceName());
    Comm2.setBaudRate(m_monitor.comm1().baudRate());
    Delay(300);
    // Comm2 never has a receive handler: the exchange polls it. A device that
    // does not open leaves it closed and the exchange receives nothing.
    Comm2.open();
}

TLoadResult TfrmMain::ReadLoggerImage(QByteArray &image, qint64 &expectedBytes)
{
    SwitchToDownloadPort();
    ShowDownloadProgress();
    LoggerDownloadOptions options;
    options.progress = [this](const DownloadProgress &progress) {
        if (progress.step == PacketStep::Accepted)
            showDownloadStep(progress);
        QCoreApplication::processEvents();
    };
    // The window keeps answering while the meter is silent, the closing 3 s included.
    options.idle = [] { QCoreApplication::processEvents(); };
    LoggerDownloadResult result = DownloadLoggerImage(Comm2, options);
    delete m_progress.data();
    image = std::move(result.image);
    expectedBytes = result.expectedBytes;
    return result.result;
}

void TfrmMain::ShowDownloadProgress()
{
    delete m_progress.data();
    auto *scope = new TfrmScope(this);
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
    repaint();
    QCoreApplication::processEvents();
}

void TfrmMain::showDownloadStep(const DownloadProgress &progress)
{
    if (!m_progress)
        return;
    m_progress->lblBytesReceived->setText(QString::number(progress.received));
    m_progress->lblTotalBytes->setText(QString::number(progress.total));
    m_progress->Progress1->setRange(0, progress.barMaximum());
    m_progress->Progress1->setValue(progress.barValue());
}

void TfrmMain::setDownloadRunning(bool running)
{
    m_downloadRunning = running;
    for (QWidget *w : {static_cast<QWidget *>(btnDataLogger), static_cast<QWidget *>(btnSetup),
                       static_cast<QWidget *>(btnOpen), static_cast<QWidget *>(btnSave),
                       static_cast<QWidget *>(ComboBoxDeviceName)})
        w->setEnabled(!running);
    for (QAction *a : {Setup1, Open1, Save1})
        a->setEnabled(!running);
    // A lost connection keeps the menu entry off, as the poll left it.
    DataLogger1->setEnabled(!running && m_monitor.isConnected());
}
