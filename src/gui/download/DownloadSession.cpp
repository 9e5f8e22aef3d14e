#include "gui/download/DownloadSession.h"

#include "core/data/CollectionFile.h"
#include "core/data/LoggerImage.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/ViewArea.h"

#include <QFileDialog>

DownloadSession::DownloadSession(AppContext &ctx, ViewArea &views, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_views(views)
{
    setObjectName(QStringLiteral("DownloadSession"));
}

bool DownloadSession::unsavedDownloadMayGo()
{
    // Closing the download view drops its download, so an unsaved one has
    // its view; the view asks as it does when it closes.
    TfrmGraph *view = m_views.downloadView();
    return !m_unsaved || !view || view->saveDownloadFirst();
}

Result<> DownloadSession::ParseLoggerImage(const QByteArray &image, qint64 expectedBytes)
{
    // The list to fill must exist, also when the user closed the view meanwhile.
    TfrmGraph &view = m_views.ensureDownloadView(false);
    Result<> result = m_store.load(image, expectedBytes);
    if (result)
        view.fillDataSetList(m_store);
    return result;
}

bool DownloadSession::SaveTempImage()
{
    const QString folder = CollectionFile::tempFolder(m_views.userDataFolder(), m_ctx.folders().programFolder());
    const Result<> written = CollectionFile::writeTempImage(m_store.lastImage(), folder);
    // Only a folder that cannot be made is said (with its path); a file that
    // cannot be written leaves the older one, and the download shows all the same.
    if (!written && written.code() == ErrorCode::NotFound)
        m_ctx.prompter().message(m_views.window(), QMessageBox::Critical, written.message(), QMessageBox::Ok);
    return written.ok();
}

void DownloadSession::showFirstDataSet()
{
    if (TfrmGraph *view = m_views.downloadView())
        view->showDataSet(m_store, 0);
}

QString DownloadSession::archivePath() const
{
    return Archive::defaultPath(m_ctx.folders().programFolder());
}

Result<ArchiveOutcome> DownloadSession::archiveDownload(const ArchiveDownload &download)
{
    Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath());
    Result<ArchiveOutcome> added = archive ? (*archive)->add(download) : Result<ArchiveOutcome>(archive.failure());
    if (!added)
        qCInfo(lcGui).noquote() << "download not archived:" << added.message();
    return added;
}

void DownloadSession::OpenCollectionFile(QFileDialog &dialog)
{
    if (m_downloadRunning || !unsavedDownloadMayGo())
        return;
    m_views.ensureDownloadView(true);
    dialog.setDefaultSuffix(QStringLiteral("518"));
    dialog.setNameFilters({QStringLiteral("Data Sets Collection (*.518) (*.518)")});
    const QString path = m_ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return;
    loadCollection(path);
}

bool DownloadSession::openCollectionPath(const QString &path)
{
    if (m_downloadRunning || !unsavedDownloadMayGo())
        return false;
    m_views.ensureDownloadView(true);
    return loadCollection(path);
}

bool DownloadSession::loadCollection(const QString &path)
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

bool DownloadSession::SaveCollectionFile(QFileDialog &dialog)
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
            CollectionFile::tempImagePath(m_views.userDataFolder(), m_ctx.folders().programFolder()));
        if (!earlier || earlier->isEmpty())
            return false;
        bytes = *earlier;
    }
    if (const Result<> written = CollectionFile::writeImage(path, bytes); !written) {
        m_ctx.prompter().message(m_views.window(), QMessageBox::Critical, written.message(), QMessageBox::Ok);
        return false;
    }
    m_unsaved = false;
    return true;
}
