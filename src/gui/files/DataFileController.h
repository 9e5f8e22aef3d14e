#pragma once

#include "gui/download/TfrmScope.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class AppContext;
class FileJob;
class QFileDialog;
class QWidget;
class TfrmGraph;
class TfrmGraphHost;

// The single data file commands: a data view's chart saved as a graph, TXT or
// CSV file (with the range window "Save File" and the progress window "Saving
// Progress" for the text forms), and such a file opened into a new file view
// (with "Open Progress" while a text file is read). The reading and writing
// are core/files and core/chart's; this holds the flow and its windows.
class DataFileController : public QObject
{
    Q_OBJECT
public:
    // What the flow needs from the main window.
    struct Window
    {
        // The parent of the dialogs and progress windows.
        std::function<QWidget *()> parent;
        // Places a new file view in the document area: top left, the main
        // window's width, its client height less 50.
        std::function<void(TfrmGraph &view)> addFileView;
        // Where the save dialog starts: the user data folder, or the program
        // folder when there is none.
        std::function<QString()> saveFolder;
    };

    // host is the data views' host (the download controller); ctx and host
    // must outlive the controller.
    DataFileController(AppContext &ctx, TfrmGraphHost *host, Window window, QObject *parent = nullptr);
    ~DataFileController() override;

    // Asks for a name and saves the view's chart in the form its extension names.
    void SaveDataFile(TfrmGraph &view, QFileDialog &dialog);
    // The range window, then the points written in the background.
    void SaveTextFile(TfrmGraph &view, const QString &path, QChar separator);
    // Asks for a data file and opens it into a new file view. A file that
    // cannot be read is said so in one message, and no window opens.
    void OpenDataFile(QFileDialog &dialog);
    // Opens the data file at path as OpenDataFile does once a name is chosen
    // (a file named on the command line).
    void openDataFilePath(const QString &path);

    // A text file is being read or written.
    bool busy() const;
    // The progress window of the running read or write (the last started).
    TfrmScope *progressWindow() const { return m_progress; }

Q_SIGNALS:
    // A file view has been filled and shown.
    void fileOpened(TfrmGraph *view);
    // A save has ended: written, or not (the message has been shown).
    void saveFinished(const QString &path, bool written);
    // An open has ended without a view (the message, if any, has been shown).
    void openFailed(const QString &path);

private:
    void openGraphFile(const QString &path);
    void openTextFile(const QString &path, QChar separator);
    TfrmGraph *createFileView(const QString &path);
    void finishFileView(TfrmGraph &view);
    TfrmScope *createProgressWindow(const QString &caption);
    void closeProgressWindow(TfrmScope *window);
    FileJob *startJob(std::function<void(FileJob &)> work, bool writes);
    // Runs end on the window thread when the job has finished.
    void connectEnd(FileJob *job, std::function<void()> end);
    void fail(const QString &text);

    AppContext &m_ctx;
    TfrmGraphHost *m_host;
    Window m_window;
    QPointer<TfrmScope> m_progress;
    // Reads and writes whose flow has not yet ended (its result not yet shown).
    int m_jobs = 0;
};
