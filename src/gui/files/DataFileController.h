#pragma once

#include "core/report/ReportData.h"
#include "gui/download/TfrmScope.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class AppContext;
class FileJob;
class QFileDialog;
class QWidget;
class TfrmGraph;
class ViewArea;

// The single data file commands: a data view's chart saved as a graph, TXT or
// CSV file (with the range window "Save File" and the progress window "Saving
// Progress" for the text forms), and such a file opened into a new file view
// (with "Open Progress" while a text file is read). The reading and writing
// are core/files and core/chart's; this holds the flow and its windows.
class DataFileController : public QObject
{
    Q_OBJECT
public:
    // ctx and views must outlive the controller.
    DataFileController(AppContext &ctx, ViewArea &views, QObject *parent = nullptr);
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
    // A save has ended: written, or not (the message has been shown, and a
    // cancelled save left the earlier file as it was).
    void saveFinished(const QString &path, bool written);
    // What a save wrote, for the status bar ("720 lines written to PATH").
    void saveStatus(const QString &text);
    // An open has ended without a view (the message, if any, has been shown).
    void openFailed(const QString &path);

private:
    void openGraphFile(const QString &path);
    void openTextFile(const QString &path, QChar separator);
    void finishFileView(TfrmGraph &view);
    TfrmScope *createProgressWindow(const QString &caption);
    void closeProgressWindow(TfrmScope *window);
    FileJob *startJob(std::function<void(FileJob &)> work, bool writes);
    // Runs end on the window thread when the job has finished.
    void connectEnd(FileJob *job, std::function<void()> end);
    void fail(const QString &text);
    // The archived run a file view shows, if any, and the audit entry of a
    // file written from it.
    std::optional<ReportProvenance> archivedRunOf(const TfrmGraph &view);
    void recordExport(const std::optional<ReportProvenance> &run, const QString &path);

    AppContext &m_ctx;
    ViewArea &m_views;
    QPointer<TfrmScope> m_progress;
    // Reads and writes whose flow has not yet ended (its result not yet shown).
    int m_jobs = 0;
};
