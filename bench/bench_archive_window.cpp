// The archive window: its run list over 10,000 runs (list, then filter by
// date and by text; target <= 50 ms each), and an archived run of a million
// samples opened from it into a data view (target < 1 s, < 150 MB added).
#include "BenchReport.h"
#include "WindowBench.h"

#include "chart/ChartWidget.h"
#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/chart/DataListModel.h"
#include "Harness.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"

#include <QDir>
#include <QLineEdit>
#include <QTableView>

#include <cstdio>

namespace {

constexpr int kRuns = 10'000;

// Runs of a logger used for years: a run every few hours, each an hour to
// two days long, Celsius and Fahrenheit, some grown over several downloads.
QList<ArchiveRunInfo> manyRuns()
{
    QList<ArchiveRunInfo> runs;
    runs.reserve(kRuns);
    const QDateTime first(QDate(2020, 1, 1), QTime(8, 0));
    for (int i = 0; i < kRuns; ++i) {
        ArchiveRunInfo r;
        r.id = i + 1;
        const QDateTime start = first.addSecs(qint64(i) * 5 * 3600);
        const qint64 samples = 60 + (i * 37) % 2800;
        r.intervalSeconds = 60;
        r.start = start.toString(Qt::ISODate);
        r.firstSample = r.start;
        r.lastSample = start.addSecs((samples - 1) * r.intervalSeconds).toString(Qt::ISODate);
        r.unit = i % 7 == 0 ? QStringLiteral("F") : QStringLiteral("C");
        r.samples = samples;
        r.versions = 1 + i % 3;
        r.humidityMin = 20.0f + float(i % 30);
        r.humidityMax = 60.0f + float(i % 30);
        r.temperatureMin = -5.0f + float(i % 20);
        r.temperatureMax = 25.0f + float(i % 20);
        r.firstDownloadUtc = start.addDays(2).toUTC();
        r.lastDownloadUtc = start.addDays(3).toUTC();
        r.firstDownloadUtcOffset = 3600;
        runs.append(r);
    }
    return runs;
}

// The rows a window shows at once, every column asked for as a view does.
void paintRows(const ArchiveRunModel &model, int rows)
{
    for (int r = 0; r < qMin(rows, model.rowCount()); ++r)
        for (int c = 0; c < ArchiveRunModel::ColumnCount; ++c)
            (void)model.data(model.index(r, c));
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    BenchReport report;

    const QList<ArchiveRunInfo> runs = manyRuns();
    ArchiveRunModel model;
    const double listMs = timedMs([&] {
        model.setRuns(runs);
        paintRows(model, 40);
    });
    report.figure("list 10,000 runs (sort, first 40 rows formatted)", listMs, "ms", 50, BenchReport::Goal::AtMost);
    const double dateMs = timedMs([&] {
        model.setDateRange(QDate(2023, 1, 1), QDate(2023, 12, 31));
        paintRows(model, 40);
    });
    std::printf("runs in 2023: %d\n", model.rowCount());
    report.figure("filter 10,000 runs by a date range", dateMs, "ms", 50, BenchReport::Goal::AtMost);
    model.setDateRange({}, {});
    const double textMs = timedMs([&] {
        model.setTextFilter(QStringLiteral("\u00b0F"));
        paintRows(model, 40);
    });
    std::printf("runs in Fahrenheit: %d\n", model.rowCount());
    report.figure("filter 10,000 runs by text (the first filter)", textMs, "ms", 50, BenchReport::Goal::AtMost);
    const double againMs = timedMs([&] {
        model.setTextFilter(QStringLiteral("2800"));
        paintRows(model, 40);
    });
    report.info("filter by another text", againMs, "ms");

    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    {
        QDir().mkpath(folder.ctx().folders().programFolder());
        Result<std::unique_ptr<Archive>> archive = Archive::open(Archive::defaultPath(folder.ctx().folders().programFolder()));
        Result<ArchiveOutcome> added =
            archive ? (*archive)->add(ArchiveDownload::here(millionSampleImage(), ArchiveSource::Import))
                    : Result<ArchiveOutcome>(archive.failure());
        if (!added) {
            report.unmeasured("open an archived run of 1,000,000 samples", qPrintable(added.message()));
            return report.exitCode();
        }
    }
    auto main = Harness::startMainWindow(folder.ctx(), Harness::testMainOptions(), QSize(1366, 860), 60000);
    TfrmMain &w = *main;
    w.Archive1Click();
    processEvents();
    TfrmArchive *window = w.workspace().archiveWindow();
    if (!window || window->model().rowCount() != 1) {
        report.unmeasured("open an archived run of 1,000,000 samples", "the archive window lists no run");
        return report.exitCode();
    }
    window->selectRow(0);
    processEvents();
    const long before = rssKiB();
    TfrmGraph *view = nullptr;
    const double openMs = timedMs([&] { view = window->openSelectedRun(); });
    const long after = rssKiB();
    if (!view) {
        report.unmeasured("open an archived run of 1,000,000 samples", "no data view opened");
        return report.exitCode();
    }
    std::printf("archived run of %d samples: chart %d points, data list %d rows, Data No. %s, AVG %s\n",
                kMillionSamples, view->PESGraph1->model().points(), view->dataListModel->rowCount(),
                qPrintable(view->txtDataNo->text()), qPrintable(view->panel()->txtT1Avg->text()));
    report.figure("open an archived run of 1,000,000 samples", openMs, "ms", 1000);
    if (before < 0 || after < 0)
        report.unmeasured("memory added by the open", "no VmRSS in /proc");
    else
        report.figure("memory added by the open", double(after - before) / 1024.0, "MB", 150);
    return report.exitCode();
}
