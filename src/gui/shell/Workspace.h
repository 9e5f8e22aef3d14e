#pragma once

#include "gui/archive/TfrmArchive.h"
#include "gui/dataview/ViewArea.h"

#include <QObject>
#include <QPointer>
#include <QString>

class AppContext;
class DownloadSession;
class QMdiArea;
class QWidget;
class TfrmGraph;

// The main window's document area and the data views in it: the one
// download view, the file views, which of them is active, and the question
// each answers before the main window closes. The flows reach the area
// through it (as a ViewArea) instead of through the main window.
class Workspace : public QObject, public ViewArea
{
    Q_OBJECT
public:
    // area and window (the main window, parent of the dialogs) are the main
    // window's; session is the host of the data views. All must outlive the
    // workspace; session is only stored here, not used.
    Workspace(AppContext &ctx, QMdiArea &area, QWidget &window, DownloadSession &session, QObject *parent = nullptr);

    QWidget *window() const override { return &m_window; }
    TfrmGraph *downloadView() const override { return m_downloadView; }
    TfrmGraph &ensureDownloadView(bool fullWidth) override;
    TfrmGraph &addFileView(const QString &path) override;
    TfrmGraph *activeDataView() const override;
    const QMdiArea &documentArea() const override { return m_area; }
    QString userDataFolder() const override { return m_userDataFolder; }
    QString dialogFolder() const override;

    // Set when the main window is first shown.
    void setUserDataFolder(const QString &folder) { m_userDataFolder = folder; }
    // Opens the download view with an empty chart (at the end of the start-up
    // search, and when a load finds none open).
    TfrmGraph &createDownloadView();
    // Makes view's document window the active one.
    void activate(TfrmGraph &view);
    // Opens the archive window on the archive at path when none is open,
    // else brings it up; either way made the active window.
    TfrmArchive &showArchiveWindow(const QString &path);
    // The open archive window, or nullptr.
    TfrmArchive *archiveWindow() const { return m_archiveWindow; }
    // Asks every document window whether it may close; false at the first no.
    bool documentsAgreeToClose();

private:
    AppContext &m_ctx;
    QMdiArea &m_area;
    QWidget &m_window;
    DownloadSession &m_session;
    QPointer<TfrmGraph> m_downloadView;
    QPointer<TfrmArchive> m_archiveWindow;
    QString m_userDataFolder;
};
