// Single data files in the main window: a text file of a million lines opened
// into a file view until it is on screen (target < 1 s) and the memory that
// adds (target < 150 MB); the million points saved as TXT through the range
// window (target < 1 s); and PrepareChart on a chart of 4 million samples
// after a customization, with a template that holds the data (as templates
// were written before) and with one that holds the looks only.
#include "BenchReport.h"
#include "WindowBench.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/chart/DataListModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/files/DataFileController.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <vector>

namespace {

constexpr int kLines = 1'000'000;
constexpr int kLargeSet = 4'000'000;

// CPU time of the whole process (every thread), in ms: on a machine shared
// with other work the wall time says more about the others than about us.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3
            + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
}

// Waits for a signal (or 30 s).
template <typename Sender, typename Signal> void waitFor(Sender *sender, Signal signal)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
}

// Chooses "single data file", accepts the range window, and names the files queued.
class FilePrompter : public WidgetPrompter
{
public:
    std::deque<QString> files;
    int exec(QDialog &dialog) override
    {
        return qobject_cast<TfrmOpenSave *>(&dialog) ? int(TfrmOpenSave::No) : int(QDialog::Accepted);
    }
    QString chooseFile(QFileDialog &) override
    {
        const QString f = files.empty() ? QString() : files.front();
        if (!files.empty())
            files.pop_front();
        return f;
    }
    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &text,
                                        QMessageBox::StandardButtons) override
    {
        std::printf("message: %s\n", qPrintable(text));
        return QMessageBox::Ok;
    }
};

bool writeMillionLines(const QString &path)
{
    std::vector<double> x(kLines);
    std::vector<float> h(kLines);
    std::vector<float> t(kLines);
    const double start = FrameworkTime::fromDateTime(QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
    for (int i = 0; i < kLines; ++i) {
        x[size_t(i)] = start + double(i) / FrameworkTime::SecondsPerDay;
        h[size_t(i)] = float(std::lround(500 + 150 * std::sin(i / 5000.0))) / 10.0f;
        t[size_t(i)] = float(std::lround(220 + 40 * std::cos(i / 7000.0))) / 10.0f;
    }
    return TextDataFile::save(path, x, h, t, 0, kLines, u'\t', DateTimeText()).ok();
}

// A chart of n samples as the data view holds one.
void fillLarge(ChartModel &m, const PrepareChartArgs &args)
{
    std::vector<double> x(2 * size_t(args.points));
    std::vector<float> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = args.xMin + double(i / 2) / FrameworkTime::SecondsPerDay;
        y[i] = float(i % 1000) / 10.0f;
    }
    m.setXDataIIArray(x);
    m.setYDataArray(y);
}

double prepareMs(ChartModel &chart, const PrepareChartArgs &args, const PrepareChartContext &context)
{
    QElapsedTimer t;
    t.start();
    prepareChartModel(chart, args, context);
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    QTemporaryDir folder;
    const QString text = folder.filePath(QStringLiteral("million.txt"));
    if (!writeMillionLines(text))
        return 1;
    FilePrompter prompter;
    AppContext ctx(prompter, AppFolders(folder.filePath(QStringLiteral("program")), folder.filePath(QStringLiteral("user/"))));
    BenchReport report;

    {
        MainOptions options;
        options.listSystemPorts = false;
        TfrmMain w(ctx, options);
        w.resize(1366, 860);
        w.show();
        if (!w.searchDone())
            waitFor(&w, &TfrmMain::searchFinished);
        processEvents();

        const long before = rssKiB();
        prompter.files.push_back(text);
        QElapsedTimer t;
        t.start();
        double cpu = cpuMs();
        TfrmGraph *view = nullptr;
        QObject::connect(&w.dataFiles(), &DataFileController::fileOpened, [&](TfrmGraph *v) { view = v; });
        w.btnOpenClick();
        if (!view)
            waitFor(&w.dataFiles(), &DataFileController::fileOpened);
        processEvents();
        const double openMs = double(t.nsecsElapsed()) / 1e6;
        const double openCpu = cpuMs() - cpu;
        const long after = rssKiB();
        if (!view) {
            report.unmeasured("open a million-line TXT until the view is shown", "no view opened");
            return report.exitCode();
        }
        std::printf("text file of %d lines: chart %d points, data list %d rows, Data No. %s, AVG %s\n", kLines,
                    view->PESGraph1->model().points(), view->dataListModel->rowCount(),
                    qPrintable(view->txtDataNo->text()), qPrintable(view->panel()->txtT1Avg->text()));
        report.figure("open a million-line TXT until the view is shown", openMs, "ms", 1000);
        report.info("  the same, program CPU time (all threads)", openCpu, "ms");
        report.figure("memory added while the view is open", double(after - before) / 1024.0, "MB", 150);

        const QString saved = folder.filePath(QStringLiteral("saved.txt"));
        prompter.files.push_back(saved);
        t.restart();
        cpu = cpuMs();
        w.Save1Click();
        if (w.dataFiles().busy())
            waitFor(&w.dataFiles(), &DataFileController::saveFinished);
        const double saveMs = double(t.nsecsElapsed()) / 1e6;
        report.figure("save the million points as TXT (range window: All)", saveMs, "ms", 1000);
        report.info("  the same, program CPU time (all threads)", cpuMs() - cpu, "ms");
        if (QFileInfo(saved).size() != QFileInfo(text).size())
            std::printf("the saved file differs in size from the opened one\n");
    }

    // PrepareChart after a customization of a view showing 4 million samples.
    PrepareChartContext context;
    context.programFolder = folder.filePath(QStringLiteral("large"));
    PrepareChartArgs args;
    args.xMin = FrameworkTime::fromDateTime(QDateTime(QDate(2024, 3, 1), QTime(8, 0)));
    args.xMax = args.xMin + double(kLargeSet) / FrameworkTime::SecondsPerDay;
    args.points = kLargeSet;
    ChartModel chart;
    prepareChartModel(chart, args, context);
    fillLarge(chart, args);
    QDir().mkpath(graphTemplateFolder(context.programFolder));
    const QString templ = graphTemplatePath(context.programFolder);
    double best[2] = {1e18, 1e18};
    qint64 sizes[2] = {0, 0};
    for (int form = 0; form < 2; ++form) {
        ChartModel custom = chart;
        // Templates were written with their data before.
        const Result<> written = form == 0 ? SaveGraphFile(custom, templ)
                                           : writeGraphTemplate(custom, context.programFolder);
        if (!written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.message()));
            return 1;
        }
        sizes[form] = QFileInfo(templ).size();
        for (int i = 0; i < 3; ++i) {
            ChartModel next = chart;
            best[form] = std::min(best[form], prepareMs(next, args, context));
        }
    }
    report.info("template size holding the data (before)", double(sizes[0]) / 1e6, "MB");
    report.info("template size holding the looks (after)", double(sizes[1]) / 1e3, "kB");
    report.info("PrepareChart, 4M samples, template with data (before)", best[0], "ms");
    report.info("PrepareChart, 4M samples, looks-only template (after)", best[1], "ms");
    return report.exitCode();
}
