#include "gui/files/DataFileController.h"

#include "chart/ChartWidget.h"
#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/DateTimeText.h"
#include "core/files/DataFile.h"
#include "core/files/TextDataFile.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/ArchivedRun.h"
#include "gui/dataview/PrepareChart.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/dataview/ViewArea.h"
#include "gui/download/TfrmScope.h"
#include "gui/files/FileJob.h"

#include <QLocale>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <memory>

namespace {

bool decimalComma()
{
    return QLocale::system().decimalPoint() == u',';
}

// What the reading thread hands back.
struct TextRead
{
    Result<> status;
    TextFileExtent extent;
    TextFilePoints points;
};

} // namespace

namespace {
QString undatedText(qint64 undated, qint64 lines)
{
    return QStringLiteral("%1 of %2 lines have a date that cannot be read with the regional format %3")
        .arg(undated)
        .arg(lines)
        .arg(QLocale().name());
}
} // namespace

DataFileController::DataFileController(AppContext &ctx, ViewArea &views, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_views(views)
{
}

// The jobs are children: each waits for its thread before it goes.
DataFileController::~DataFileController() = default;

bool DataFileController::busy() const
{
    return m_jobs > 0;
}

void DataFileController::fail(const QString &text)
{
    m_ctx.prompter().message(m_views.window(), QMessageBox::Critical, text, QMessageBox::Ok);
}

FileJob *DataFileController::startJob(std::function<void(FileJob &)> work, bool writes)
{
    auto *job = new FileJob(std::move(work), writes ? FileJob::OnDestroy::Complete : FileJob::OnDestroy::Cancel, this);
    ++m_jobs;
    connect(job, &FileJob::finished, job, &QObject::deleteLater);
    return job;
}

void DataFileController::connectEnd(FileJob *job, std::function<void()> end)
{
    // Busy until the result has been shown, not only until the thread ends.
    connect(job, &FileJob::finished, this, [this, end = std::move(end)] {
        end();
        --m_jobs;
    });
}

TfrmScope *DataFileController::createProgressWindow(const QString &caption)
{
    auto *window = new TfrmScope(m_views.window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->stayOnTop();
    window->setWindowTitle(caption);
    window->SText1->show();
    window->BitBtn2->show();
    m_progress = window;
    return window;
}

void DataFileController::closeProgressWindow(TfrmScope *window)
{
    if (window)
        window->close();
}

// Saving ---------------------------------------------------------------------

std::optional<ReportProvenance> DataFileController::archivedRunOf(const TfrmGraph &view)
{
    // The download view's data sets are archived as they arrive: a file of
    // one is a save of the download, not an export of an archived run.
    if (view.isDownloadView())
        return std::nullopt;
    std::optional<ReportData> run = ArchivedRun::shownBy(
        m_ctx, m_views.window(), view.shownSamples(),
        QStringLiteral("Whether the window shows a run of the archive cannot be told, so the file is not recorded in "
                       "the audit trail: %1"));
    if (!run || !run->archived)
        return std::nullopt;
    return run->archived;
}

void DataFileController::recordExport(const std::optional<ReportProvenance> &run, const QString &path)
{
    if (run)
        ArchivedRun::record(m_ctx, m_views.window(), QStringLiteral("export"), *run, QFileInfo(path).absoluteFilePath());
}

void DataFileController::SaveDataFile(TfrmGraph &view, QFileDialog &dialog)
{
    const QPointer<TfrmGraph> target(&view);
    const QStringList filters = DataFile::saveDialogFilters(decimalComma());
    dialog.setDirectory(m_views.dialogFolder());
    dialog.selectFile(QString());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(DataFile::defaultSuffix());
    // The dialog adds the chosen filter's extension to a bare name.
    QString suffix = DataFile::defaultSuffix();
    const QMetaObject::Connection follow
        = connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &suffix, filters](const QString &filter) {
              suffix = DataFile::suffixOfFilter(int(filters.indexOf(filter)));
              dialog.setDefaultSuffix(suffix);
          });
    QString path = m_ctx.prompter().chooseFile(dialog);
    disconnect(follow);
    if (path.isEmpty() || !target)
        return;
    // So do we, for names that reach here another way.
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    const bool semicolon = dialog.selectedNameFilter() == DataFile::semicolonFilter();
    const DataFile::Kind kind = DataFile::saveKindOf(path, decimalComma(), semicolon);
    switch (kind) {
    case DataFile::Kind::Graph:
        if (const Result<> saved = SaveGraphFile(target->PESGraph1->model(), path); saved) {
            recordExport(archivedRunOf(*target), path);
            Q_EMIT saveStatus(DataFile::graphWrittenText(path));
            Q_EMIT saveFinished(path, true);
        } else {
            fail(saved.message());
            Q_EMIT saveStatus(DataFile::nothingWrittenText(path, false));
            Q_EMIT saveFinished(path, false);
        }
        return;
    case DataFile::Kind::Text:
    case DataFile::Kind::Csv:
    case DataFile::Kind::CsvSemicolon:
        SaveTextFile(*target, path, DataFile::separatorOf(kind));
        return;
    case DataFile::Kind::None:
        // A name the program cannot write says why, and writes nothing.
        fail(DataFile::cannotSaveKindText(path, decimalComma()));
        Q_EMIT saveStatus(DataFile::nothingWrittenText(path, false));
        Q_EMIT saveFinished(path, false);
        return;
    }
}

void DataFileController::SaveTextFile(TfrmGraph &view, const QString &path, QChar separator)
{
    const QPointer<TfrmGraph> target(&view);
    const int points = view.PESGraph1->model().points();
    TfrmScope range(m_views.window());
    range.setWindowTitle(QStringLiteral("Save File"));
    range.GroupBox1->show();
    range.BitBtn1->show();
    range.BitBtn2->show();
    range.edtSelFrom->setText(QStringLiteral("1"));
    range.edtSelTo->setText(QString::number(points));
    range.fitToControls();
    if (m_ctx.prompter().exec(range) != QDialog::Accepted)
        return;
    const std::optional<DataFile::PointRange> limits
        = DataFile::pointRange(range.radAll->isChecked(), range.edtSelFrom->text(), range.edtSelTo->text(), points);
    if (!limits) {
        m_ctx.prompter().notice(m_views.window(), QStringLiteral("invalid integer"));
        return;
    }
    if (!target)
        return;

    // Told now: the view may change or close meanwhile.
    const std::optional<ReportProvenance> run = archivedRunOf(*target);
    // The thread writes a copy, for the same reason.
    auto lines = std::make_shared<TextFilePoints>(
        DataFile::chartPoints(target->PESGraph1->model(), limits->first - 1, limits->last));
    auto result = std::make_shared<Result<TextWriteResult>>(TextWriteResult());
    const DateTimeText texts = target->texts();

    TfrmScope *window = createProgressWindow(QStringLiteral("Saving Progress"));
    window->SText1->setText(QStringLiteral("saving....."));
    window->Progress1->show();
    // A range of (0, 0) would turn the bar into a busy animation.
    window->Progress1->setRange(0, int(std::max<qint64>(1, limits->count())));
    window->Progress1->setValue(0);
    window->fitToControls();

    FileJob *job = startJob([lines, result, path, separator, texts](FileJob &self) {
        const qsizetype n = qsizetype(lines->x.size());
        *result = TextDataFile::save(path, lines->x, lines->humidity, lines->temperature, 0, n, separator, texts,
                                     [&self](qint64 count) { return self.report(count); });
    }, true);
    const QPointer<TfrmScope> shown(window);
    connect(window, &QDialog::rejected, job, &FileJob::cancel);
    connect(job, &FileJob::progressed, window, [shown](qint64 count) {
        if (shown)
            shown->Progress1->setValue(int(std::min<qint64>(count, shown->Progress1->maximum())));
    });
    connectEnd(job, [this, shown, result, path, run] {
        closeProgressWindow(shown);
        const bool written = result->ok() && !(*result)->cancelled;
        if (written)
            recordExport(run, path);
        if (!*result)
            fail(result->message());
        else if (written && (*result)->undated > 0)
            m_ctx.prompter().notice(m_views.window(), DataFile::undatedSkippedText(path, (*result)->undated));
        Q_EMIT saveStatus(written ? DataFile::linesWrittenText(path, (*result)->lines, (*result)->undated)
                                  : DataFile::nothingWrittenText(path, result->ok()));
        Q_EMIT saveFinished(path, written);
    });
    window->show();
    job->start();
}

// Opening --------------------------------------------------------------------

void DataFileController::OpenDataFile(QFileDialog &dialog)
{
    // The Open command has set the folder and an empty name.
    dialog.setNameFilters(DataFile::dialogFilters(decimalComma()));
    dialog.setDefaultSuffix(QString());
    const QString path = m_ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return;
    openDataFilePath(path);
}

void DataFileController::openDataFilePath(const QString &path)
{
    switch (const DataFile::Kind kind = DataFile::kindOf(path)) {
    case DataFile::Kind::Graph:
        openGraphFile(path);
        return;
    case DataFile::Kind::Text:
    case DataFile::Kind::Csv:
    case DataFile::Kind::CsvSemicolon:
        openTextFile(path, DataFile::separatorOf(kind));
        return;
    case DataFile::Kind::None:
        fail(DataFile::notADataFileText(path));
        Q_EMIT openFailed(path);
        return;
    }
}

void DataFileController::openGraphFile(const QString &path)
{
    // Read aside first: a file that fails opens no window.
    ChartModel chart;
    if (const Result<> loaded = LoadGraphFile(chart, path); !loaded) {
        fail(loaded.message());
        Q_EMIT openFailed(path);
        return;
    }
    TfrmGraph *view = &m_views.addFileView(path);
    // A graph file keeps its own looks and scales: it is not prepared.
    view->PESGraph1->model().setState(chart.state());
    finishFileView(*view);
}

void DataFileController::openTextFile(const QString &path, QChar separator)
{
    auto read = std::make_shared<TextRead>();
    const DateTimeText texts;
    TfrmScope *window = createProgressWindow(QStringLiteral("Open Progress"));
    window->SText1->setText(QStringLiteral("0"));
    window->fitToControls();

    FileJob *job = startJob([read, path, separator, texts](FileJob &self) {
        read->status = TextDataFile::read(path, separator, texts, read->extent, read->points,
                                          [&self](qint64 count) { return self.report(count); });
    }, false);
    const QPointer<TfrmScope> shown(window);
    connect(window, &QDialog::rejected, job, &FileJob::cancel);
    connect(job, &FileJob::progressed, window, [shown](qint64 count) {
        if (shown)
            shown->SText1->setText(QString::number(count));
    });
    connectEnd(job, [this, shown, read, path] {
        closeProgressWindow(shown);
        // A cancel keeps the points read so far, and one before the first
        // point needs no message. Lines of which not one has a date (a
        // heading, text of another kind) are no data.
        QString error;
        if (!read->status && read->status.code() != ErrorCode::Cancelled)
            error = read->status.message();
        else if (read->status && !DataFile::hasData(read->points))
            error = DataFile::noDataLineText(path);
        if (!error.isEmpty() || !DataFile::hasData(read->points)) {
            if (!error.isEmpty())
                fail(error);
            Q_EMIT openFailed(path);
            return;
        }
        TfrmGraph *view = &m_views.addFileView(path);
        ChartWidget &chart = *view->PESGraph1;
        PrepareChartArgs args;
        args.xMax = read->extent.xMax;
        args.xMin = read->extent.xMin;
        args.points = int(read->extent.rows);
        // The points follow at once, and the finish redraws.
        PrepareChartUndrawn(m_ctx, chart, args);
        // The range from the first two lines misses the data when the times are
        // irregular; X always fits the file's own points.
        chart.model().edit([](ChartState &s) { s.xAxis.scaleControl = ScaleControl::sgAutoScale; });
        DataFile::setTextPoints(chart.model(), read->points);
        finishFileView(*view);
        // Such points still load, at time 0; the user hears of them once.
        if (read->points.undated > 0)
            m_ctx.prompter().notice(view, undatedText(read->points.undated, read->points.filled));
    });
    window->show();
    job->start();
}

void DataFileController::finishFileView(TfrmGraph &view)
{
    ChartWidget &chart = *view.PESGraph1;
    ChartModel &m = chart.model();
    view.UpdateStatistics();
    chart.setPEactions(ChartWidget::PEaction::sgReinitAndReset);
    // Notes and crosses only on one shared axis.
    const bool oneAxis = m.multiAxesProportions(0) == 1.0;
    view.ToolButton5->setEnabled(oneAxis);
    view.ToolButton9->setEnabled(oneAxis);
    // Settings that change nothing drawn, set before the last redraw (that
    // of SelectPoint) rather than after it, so a large chart is drawn once less.
    m.recordSetUp(ChartModel::SetUp::FileView);
    // A graph file saved before notes answered double clicks still gets them.
    m.edit([](ChartState &s) { s.looks.allowGraphAnnotHotSpots = true; });
    view.FillDataList();
    view.selectDataListRow(0);
    view.SelectPoint(0);
    Q_EMIT fileOpened(&view);
}
