#pragma once

#include "core/app/PrintSettings.h"
#include "core/report/ReportLayout.h"
#include "report/ReportWriter.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class AppContext;
class ChartWidget;
class ListingPrinter;
class PrintableView;
class QPrinter;
class QThread;
class QWidget;
class TDataSetStore;
class ViewArea;

// Printing and the PDF report of the main window: the one printer both kinds
// of printing use (chosen with Printer Setup), the choice of the window to
// print, the "Print Option" window, the graph through the chart's own print
// dialog, the sample table as text lines, the preview of either, and the
// report written on a worker thread with its progress window.
class PrintController : public QObject
{
    Q_OBJECT
public:
    // views gives the document windows and the parent of every dialog;
    // store holds the data sets behind the download view; meterHeld says
    // whether a flow that holds the meter runs (a download, the logger
    // setup): printing waits for it to end. ctx, views and store must outlive
    // the controller.
    PrintController(AppContext &ctx, const ViewArea &views, const TDataSetStore &store,
                    std::function<bool()> meterHeld, QObject *parent = nullptr);
    ~PrintController() override;

    QPrinter &printer() { return *m_printer; }

    // The commands.
    void btnPrintClick();
    void PrinterSetup1Click();
    void PrintPreviewClick();
    void ExportReportClick();

    // The window the commands act on now, or nullptr.
    std::unique_ptr<PrintableView> chosenView() const;
    bool reportRunning() const { return m_reportThread != nullptr; }
    // A text listing is going to the printer, page by page.
    bool listingRunning() const { return m_listing != nullptr; }
    QProgressDialog *listingProgress() const { return m_listingProgress; }
    // The progress window of the running report.
    QProgressDialog *reportProgress() const { return m_progress; }

Q_SIGNALS:
    // A report export has ended: written, cancelled or failed (reported).
    void reportFinished(bool written);

private:
    enum class Kind { None, Graph, Text };
    // Puts the chart in its print style and asks "Print Option".
    Kind askKind(PrintableView &view);
    void printGraph(PrintableView &view);
    void printText(PrintableView &view);
    void preview(PrintableView &view, Kind kind);
    // Each kind prints in the orientation the user last chose for it (kept
    // across runs); a graph never chosen takes its chart's stored one, a
    // text listing portrait. keep stores what the printer holds now.
    void orientFor(Kind kind, const ChartWidget &chart);
    void keepOrientation(Kind kind);
    // The listing's pages, one per turn of the event loop, with progress.
    void printNextListingPage();
    void endListing(bool completed);
    void startReport(const ReportData &data, const DateTimeText &texts, const ReportOptions &options,
                     const QString &path);
    void finishReport();
    // A window that shows exactly a run of the archive (not the download
    // view) reports that run: data and options become the run's own, with
    // its fingerprint, signatures and history. When the archive cannot be
    // read the user is told and the window's data stays as it is.
    void takeArchivedRun(const PrintableView &view, ReportData &data, ReportOptions &options) const;
    // The archived run a window shows, or nothing.
    std::optional<ReportData> archivedRunOf(const PrintableView &view) const;
    // Records a step on an archived run in the audit trail; tells the user
    // when it cannot be recorded.
    void audit(const QString &kind, const ReportProvenance &run, const QString &value) const;
    // The foot of every printed page of an archived run: its signatures and fingerprint.
    static QStringList printFoot(const ReportData &run, const DateTimeText &texts);

    bool meterHeld() const { return m_meterHeld && m_meterHeld(); }

    AppContext &m_ctx;
    const ViewArea &m_views;
    const TDataSetStore &m_store;
    std::function<bool()> m_meterHeld;
    std::unique_ptr<QPrinter> m_printer;
    PrintSettings m_printSettings;
    // The kind printed last: Printer Setup's orientation is its.
    Kind m_lastKind = Kind::Graph;
    std::unique_ptr<ListingPrinter> m_listing;
    int m_listingPage = 0;
    QPointer<QProgressDialog> m_listingProgress;
    // The archived run the listing going out shows.
    std::optional<ReportProvenance> m_listingRun;

    struct ReportJob;
    std::shared_ptr<ReportJob> m_job;
    QThread *m_reportThread = nullptr;
    QPointer<QProgressDialog> m_progress;
    std::atomic_bool m_cancelReport = false;
};
