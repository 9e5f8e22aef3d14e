#pragma once

#include "core/archive/Archive.h"
#include "core/base/Result.h"
#include "core/data/TDataSetStore.h"
#include "gui/dataview/TfrmGraph.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class AppContext;
class QFileDialog;
class ViewArea;

// The data sets behind the download view, for the whole run: the store the
// last download or collection open filled, whether that download has been
// saved, and the collection files that load and save it. The download view
// sees it as its host; the transfer itself is the DownloadController's.
class DownloadSession : public QObject, public TfrmGraphHost
{
    Q_OBJECT
public:
    // ctx and views must outlive the session.
    DownloadSession(AppContext &ctx, ViewArea &views, QObject *parent = nullptr);

    TDataSetStore &store() { return m_store; }

    // A download (or its repair) is shown and not yet saved as a collection file.
    void markUnsaved() { m_unsaved = true; }
    // The unsaved download is given up: closing its view asks nothing.
    void discardUnsaved() { m_unsaved = false; }
    // A download runs: collection opens refuse meanwhile.
    void setDownloadRunning(bool running) { m_downloadRunning = running; }

    // The download view's save question before its unsaved download is
    // replaced; whether the command may go on.
    bool unsavedDownloadMayGo();
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
    // Archives a download into the archive of the program data folder,
    // whole or not at all; the store and the temporary image are not touched.
    Result<ArchiveOutcome> archiveDownload(const ArchiveDownload &download);
    // The archive every download goes to.
    QString archivePath() const;

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
    bool unsavedDownload() const override { return m_unsaved; }
    void saveDownload(TfrmGraph &view) override { Q_EMIT saveAsked(view); }
    void downloadViewClosed() override { m_unsaved = false; }

Q_SIGNALS:
    // The download view's close question was answered Yes: the main window
    // runs its Save command on view (connected directly; the flag says after
    // it whether the download was written).
    void saveAsked(TfrmGraph &view);

private:
    // Loads a collection file into the store and shows its first data set.
    bool loadCollection(const QString &path);

    AppContext &m_ctx;
    ViewArea &m_views;
    TDataSetStore m_store;
    bool m_unsaved = false;
    bool m_downloadRunning = false;
};
