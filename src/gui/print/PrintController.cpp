#include "gui/print/PrintController.h"

#include "chart/ChartWidget.h"
#include "core/chart/ChartModel.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/ArchivedRun.h"
#include "gui/dataview/ViewArea.h"
#include "gui/print/ListingPrinter.h"
#include "gui/print/PrintWindowChoice.h"
#include "gui/print/PrintableView.h"
#include "gui/print/TfrmPrintOption.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace {

// Where a print goes: the file of a PDF printer, else the printer's name.
QString printTarget(const QPrinter &printer)
{
    return printer.outputFileName().isEmpty() ? printer.printerName()
                                              : QFileInfo(printer.outputFileName()).absoluteFilePath();
}

} // namespace

struct PrintController::ReportJob
{
    ReportData data;
    DateTimeText texts;
    ReportOptions options;
    QString path;
    QPageSize pageSize;
    Result<int> result = fail(ErrorCode::Cancelled, QString());
};

PrintController::PrintController(AppContext &ctx, const ViewArea &views, const TDataSetStore &store,
                                 std::function<bool()> meterHeld, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_views(views)
    , m_store(store)
    , m_meterHeld(std::move(meterHeld))
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
    , m_printSettings(ctx.folders().programFolder())
{
    m_printSettings.load();
}

PrintController::~PrintController()
{
    // A listing half sent is dropped, not left open on the printer.
    m_listing.reset();
    delete m_listingProgress.data();
    if (m_reportThread) {
        // The report stops after its current page; its file is discarded.
        m_cancelReport = true;
        m_reportThread->wait();
        delete m_reportThread;
    }
}

std::unique_ptr<PrintableView> PrintController::chosenView() const
{
    const TDataSetStore &store = m_store;
    QWidget *w = choosePrintWindow(m_views.documentArea(),
                                   [&store](QWidget *candidate) { return printableView(candidate, store) != nullptr; });
    return w ? printableView(w, store) : nullptr;
}

PrintController::Kind PrintController::askKind(PrintableView &view)
{
    view.chart().model().edit(
        [](ChartState &s) { s.looks.printStyleControl = PrintStyle::sgPrintDefaultMono; });
    TfrmPrintOption option(m_views.window());
    switch (m_ctx.prompter().exec(option)) {
    case TfrmPrintOption::PrintGraph:
        return Kind::Graph;
    case TfrmPrintOption::PrintText:
        return Kind::Text;
    default:
        return Kind::None;
    }
}

void PrintController::btnPrintClick()
{
    if (meterHeld() || listingRunning())
        return;
    const std::unique_ptr<PrintableView> view = chosenView();
    if (!view)
        return;
    // The window may close while the dialogs are open.
    const QPointer<QWidget> alive(view->widget());
    const Kind kind = askKind(*view);
    if (!alive)
        return;
    if (kind == Kind::Graph)
        printGraph(*view);
    else if (kind == Kind::Text)
        printText(*view);
}

void PrintController::orientFor(Kind kind, const ChartWidget &chart)
{
    m_lastKind = kind;
    const std::optional<bool> chosen = kind == Kind::Graph ? m_printSettings.graphLandscape
                                                           : m_printSettings.textLandscape;
    const bool landscape = chosen.value_or(kind == Kind::Graph && chart.model().state().looks.printLandscape);
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void PrintController::keepOrientation(Kind kind)
{
    const bool landscape = m_printer->pageLayout().orientation() == QPageLayout::Landscape;
    std::optional<bool> &kept = kind == Kind::Graph ? m_printSettings.graphLandscape : m_printSettings.textLandscape;
    if (kept == landscape)
        return;
    kept = landscape;
    // A preference that cannot be kept is no reason to stop the print.
    if (const Result<> saved = m_printSettings.save(); !saved)
        qCInfo(lcGui).noquote() << "print orientation not kept:" << saved.message();
}

void PrintController::printGraph(PrintableView &view)
{
    ChartWidget &chart = view.chart();
    orientFor(Kind::Graph, chart);
    const std::optional<ReportData> run = archivedRunOf(view);
    chart.setPrintFoot(run ? printFoot(*run, view.texts()) : QStringList());
    chart.setPrinter(m_printer.get());
    chart.setPEactions(ChartWidget::PEaction::sgPrintDialog);
    chart.setPrinter(nullptr);
    chart.setPrintFoot({});
    keepOrientation(Kind::Graph);
    if (run && chart.GetDialogResult() == 1)
        audit(QStringLiteral("print"), *run->archived, QStringLiteral("graph to %1").arg(printTarget(*m_printer)));
}

void PrintController::printText(PrintableView &view)
{
    orientFor(Kind::Text, view.chart());
    QStringList lines = ListingPrinter::linesOf(view);
    const std::optional<ReportData> run = archivedRunOf(view);
    QStringList foot = run ? printFoot(*run, view.texts()) : QStringList();
    QPrintDialog dialog(m_printer.get(), m_views.window());
    // The dialog offers the listing's pages, so a range can be chosen.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, std::max(1, ListingPrinter::pageCount(*m_printer, int(lines.size()), int(foot.size()))));
    m_printer->setPrintRange(QPrinter::AllPages);
    const QPointer<QWidget> alive(view.widget());
    if (m_ctx.prompter().exec(dialog) != QDialog::Accepted || !alive)
        return;
    keepOrientation(Kind::Text);
    m_listing = std::make_unique<ListingPrinter>(*m_printer, std::move(lines), std::move(foot));
    m_listingRun = run ? run->archived : std::nullopt;
    if (const Result<> started = m_listing->begin(); !started) {
        m_listing.reset();
        m_ctx.prompter().notice(m_views.window(), started.message());
        return;
    }
    m_listingPage = m_listing->firstPage();
    const int pages = m_listing->lastPage() - m_listing->firstPage() + 1;
    auto *progress = new QProgressDialog(QStringLiteral("Printing %1 pages").arg(std::max(pages, 0)),
                                         QStringLiteral("Cancel"), 0, std::max(pages, 0), m_views.window());
    progress->setObjectName(QStringLiteral("ListingProgress"));
    progress->setWindowTitle(QStringLiteral("Print Text"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    connect(progress, &QProgressDialog::canceled, this, [this] { endListing(false); });
    m_listingProgress = progress;
    progress->show();
    QTimer::singleShot(0, this, &PrintController::printNextListingPage);
}

void PrintController::printNextListingPage()
{
    if (!m_listing)
        return;
    if (m_listingPage > m_listing->lastPage()) {
        endListing(true);
        return;
    }
    m_listing->printPage(m_listingPage);
    ++m_listingPage;
    if (m_listingProgress) {
        const int done = m_listingPage - m_listing->firstPage();
        m_listingProgress->setValue(done);
        m_listingProgress->setLabelText(QStringLiteral("Printed page %1 of %2")
                                            .arg(m_listingPage)
                                            .arg(m_listing->lastPage() + 1));
    }
    QTimer::singleShot(0, this, &PrintController::printNextListingPage);
}

void PrintController::endListing(bool completed)
{
    if (!m_listing)
        return;
    if (completed)
        m_listing->end();
    else
        m_listing->abort();
    m_listing.reset();
    if (completed && m_listingRun)
        audit(QStringLiteral("print"), *m_listingRun,
              QStringLiteral("text listing to %1").arg(printTarget(*m_printer)));
    m_listingRun.reset();
    if (m_listingProgress)
        m_listingProgress->deleteLater();
}

void PrintController::PrinterSetup1Click()
{
    if (meterHeld() || listingRunning())
        return;
    // Paper, margins and the orientation of the kind printed last; no
    // printing from here.
    const std::optional<bool> chosen = m_lastKind == Kind::Graph ? m_printSettings.graphLandscape
                                                                 : m_printSettings.textLandscape;
    m_printer->setPageOrientation(chosen.value_or(m_lastKind == Kind::Graph) ? QPageLayout::Landscape
                                                                             : QPageLayout::Portrait);
    QPageSetupDialog dialog(m_printer.get(), m_views.window());
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    if (m_ctx.prompter().exec(dialog) == QDialog::Accepted)
        keepOrientation(m_lastKind);
}

void PrintController::PrintPreviewClick()
{
    if (meterHeld() || listingRunning())
        return;
    const std::unique_ptr<PrintableView> view = chosenView();
    if (!view)
        return;
    const QPointer<QWidget> alive(view->widget());
    const Kind kind = askKind(*view);
    if (alive && kind != Kind::None)
        preview(*view, kind);
}

void PrintController::preview(PrintableView &view, Kind kind)
{
    orientFor(kind, view.chart());
    // The preview shows every page; a range is chosen when printing.
    m_printer->setPrintRange(QPrinter::AllPages);
    QPrintPreviewDialog dialog(m_printer.get(), m_views.window());
    const QPointer<QWidget> alive(view.widget());
    const std::optional<ReportData> run = archivedRunOf(view);
    const QStringList foot = run ? printFoot(*run, view.texts()) : QStringList();
    // The pages come from the very functions that print them.
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&view, kind, alive, foot](QPrinter *printer) {
        if (!alive)
            return;
        if (kind == Kind::Graph) {
            view.chart().setPrintFoot(foot);
            view.chart().printTo(*printer);
            view.chart().setPrintFoot({});
        } else {
            ListingPrinter::printAll(*printer, view, foot);
        }
    });
    m_ctx.prompter().exec(dialog);
    keepOrientation(kind);
}

void PrintController::ExportReportClick()
{
    if ((meterHeld()) || m_reportThread)
        return;
    const std::unique_ptr<PrintableView> view = chosenView();
    if (!view)
        return;
    ReportData data = view->reportData();
    const DateTimeText texts = view->texts();
    ReportOptions options = view->reportOptions();
    takeArchivedRun(*view, data, options);

    QFileDialog dialog(m_views.window(), QStringLiteral("Export Report (PDF)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("PDF file (*.pdf *.PDF)")});
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setDirectory(m_ctx.folders().userDataFolder().isEmpty() ? QDir::homePath()
                                                                   : m_ctx.folders().userDataFolder());
    const QString stem = QFileInfo(data.fileName).completeBaseName();
    dialog.selectFile(data.setNumber > 0 ? QStringLiteral("%1-set%2.pdf").arg(stem).arg(data.setNumber)
                                         : stem + QStringLiteral(".pdf"));
    const QString path = m_ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return;
    startReport(data, texts, options, path);
}

void PrintController::startReport(const ReportData &data, const DateTimeText &texts, const ReportOptions &options,
                                  const QString &path)
{
    m_job = std::make_shared<ReportJob>(
        ReportJob{data, texts, options, path, ReportWriter::pageSizeFor(texts.locale()), fail(ErrorCode::Cancelled, QString())});
    m_cancelReport = false;
    const int pages = ReportLayout(m_job->data, m_job->texts, m_job->options).pageCount();

    // Not modal: the data is a copy, so the program may go on meanwhile.
    m_progress = new QProgressDialog(QStringLiteral("Writing the report ..."), QStringLiteral("Cancel"), 0, pages,
                                     m_views.window());
    m_progress->setObjectName(QStringLiteral("ReportProgress"));
    m_progress->setWindowTitle(QStringLiteral("Export Report (PDF)"));
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setValue(0);
    m_progress->show();
    connect(m_progress, &QProgressDialog::canceled, this, [this] { m_cancelReport = true; });

    const std::shared_ptr<ReportJob> job = m_job;
    m_reportThread = QThread::create([this, job] {
        const ReportLayout layout(job->data, job->texts, job->options);
        job->result = ReportWriter::write(layout, job->path, job->pageSize, [this](int done, int) {
            QMetaObject::invokeMethod(
                this, [this, done] {
                    if (m_progress)
                        m_progress->setValue(done);
                },
                Qt::QueuedConnection);
            return !m_cancelReport.load();
        });
    });
    connect(m_reportThread, &QThread::finished, this, &PrintController::finishReport);
    m_reportThread->start();
}

void PrintController::finishReport()
{
    if (!m_reportThread)
        return;
    m_reportThread->wait();
    delete m_reportThread;
    m_reportThread = nullptr;
    delete m_progress;
    const Result<int> result = m_job->result;
    const std::optional<ReportProvenance> run = m_job->data.archived;
    const QString path = m_job->path;
    m_job.reset();
    if (!result && result.code() != ErrorCode::Cancelled)
        m_ctx.prompter().notice(m_views.window(), result.message());
    if (result && run)
        audit(QStringLiteral("report"), *run, QFileInfo(path).absoluteFilePath());
    emit reportFinished(result.ok());
}

std::optional<ReportData> PrintController::archivedRunOf(const PrintableView &view) const
{
    if (view.showsDownload())
        return std::nullopt;
    return ArchivedRun::shownBy(m_ctx, m_views.window(), view.reportData(),
                                QStringLiteral("Whether the window shows a run of the archive cannot be told, so its "
                                               "fingerprint is left out: %1"));
}

void PrintController::takeArchivedRun(const PrintableView &view, ReportData &data, ReportOptions &options) const
{
    std::optional<ReportData> run = archivedRunOf(view);
    if (!run)
        return;
    data = std::move(*run);
    // The limits every view shows, in the run's own unit.
    for (int c = 0; c < 2; ++c)
        options.limits[c] = m_ctx.alarmLimits().settings().limitsFor(c, data.temperatureUnit());
}

void PrintController::audit(const QString &kind, const ReportProvenance &run, const QString &value) const
{
    ArchivedRun::record(m_ctx, m_views.window(), kind, run, value);
}

QStringList PrintController::printFoot(const ReportData &run, const DateTimeText &texts)
{
    const ReportLayout layout(run, texts);
    return layout.signatureLines() << layout.fingerprint();
}
