#pragma once

#include <QString>

class QMdiArea;
class QWidget;
class TfrmGraph;

// The document area as the flows see it (the download, the data files,
// printing): the download view, the file views, and the folders and the
// window their dialogs start from. The main window's Workspace implements it.
class ViewArea
{
public:
    virtual ~ViewArea() = default;

    // The main window: the parent of every dialog and progress window.
    virtual QWidget *window() const = 0;
    // The open download view, or nullptr.
    virtual TfrmGraph *downloadView() const = 0;
    // Opens the download view when none is open, else brings it up; a new
    // one spans the document area when fullWidth.
    virtual TfrmGraph &ensureDownloadView(bool fullWidth) = 0;
    // A new file view for the file at path, placed in the document area and
    // made the active window.
    virtual TfrmGraph &addFileView(const QString &path) = 0;
    // The data view of the active document window, or nullptr.
    virtual TfrmGraph *activeDataView() const = 0;
    // The document windows.
    virtual const QMdiArea &documentArea() const = 0;
    // The user data folder; empty before the main window is shown.
    virtual QString userDataFolder() const = 0;
    // Where file dialogs start: the user data folder, or the program folder
    // when there is none.
    virtual QString dialogFolder() const = 0;
};
