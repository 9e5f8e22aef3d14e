// Opens a collection holding one data set of a million samples in the main
// window: time until the chart, the data list and the statistics are shown
// (target < 1 s), and the memory it adds (target < 150 MB); then the cost of
// the steps a user takes next.
#include "BenchReport.h"
#include "WindowBench.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/DataListModel.h"
#include "core/data/LoggerImage.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSamples = kMillionSamples;

class OpenPrompter : public WidgetPrompter
{
public:
    explicit OpenPrompter(QString path) : m_path(std::move(path)) {}
    int exec(QDialog &) override { return TfrmOpenSave::OK; }
    QString chooseFile(QFileDialog &) override { return m_path; }

private:
    QString m_path;
};

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    const QString path = folder.filePath(QStringLiteral("million.518"));
    OpenPrompter prompter(path);
    folder.setPrompter(prompter);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(millionSampleImage()) < 0)
            return 1;
    }

    auto main = Harness::startMainWindow(folder.ctx(), Harness::testMainOptions(), QSize(1366, 860), 60000);
    TfrmMain &w = *main;
    processEvents();

    const long before = rssKiB();
    const double openMs = timedMs([&] { w.btnOpenClick(); });
    const long after = rssKiB();

    TfrmGraph &v = *w.downloadView();
    BenchReport report;
    std::printf("data set of %d samples: chart %d points, data list %d rows, Data No. %s, AVG %s\n", kSamples,
                v.PESGraph1->model().points(), v.dataListModel->rowCount(), qPrintable(v.txtDataNo->text()),
                qPrintable(v.panel()->txtT1Avg->text()));
    report.figure("open until chart, list and statistics shown", openMs, "ms", 1000);
    report.figure("memory added by the open", double(after - before) / 1024.0, "MB", 150);

    const double scrollMs = timedMs([&] {
        v.Grid3->verticalScrollBar()->setValue(v.Grid3->verticalScrollBar()->maximum());
        v.Grid3->viewport()->repaint();
    });
    report.info("data list scrolled to its last row and painted", scrollMs, "ms");
    const double selectMs = timedMs([&] { v.SelectPoint(kSamples - 1); });
    report.info("SelectPoint (cursor statistics over 333 333, redraw)", selectMs, "ms");
    const double tabMs = timedMs([&] { v.panel()->TabControl1->setCurrentIndex(1); });
    report.info("tab change (whole-set and cursor statistics)", tabMs, "ms");
    const double lineMs = timedMs([&] {
        ChartModel &m = v.PESGraph1->model();
        VertLineAnnotation line = m.vertLineAnnotation(1);
        line.x = m.xDataII(0, 500000);
        m.setVertLineAnnotation(1, line);
        v.PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    });
    report.info("dragged cursor line moved and repainted", lineMs, "ms");
    return report.exitCode();
}
