// Chart figures for a data set of one million samples in two subsets, drawn
// at 1600 x 900, with their targets: handing the arrays to the chart
// (< 100 ms, also with a redraw when the data set has a new size), redrawing
// after new data or a change of looks (< 50 ms), repainting after a cursor
// line moves (< 16 ms); and a graph file save and load.
#include "BenchReport.h"

#include "chart/ChartWidget.h"
#include "core/chart/GraphFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPoints = 1000000;
constexpr int kRuns = 5;

template <typename F> double bestMs(F &&f, int runs = kRuns)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ChartWidget chart;
    chart.setFixedSize(1600, 900);
    chart.show();
    QApplication::processEvents();

    const double start = 39873.5;
    std::vector<double> x(2 * size_t(kPoints));
    std::vector<float> y(x.size());
    for (int i = 0; i < kPoints; ++i) {
        x[2 * size_t(i)] = x[2 * size_t(i) + 1] = start + i * 2.0 / 86400.0;
        y[2 * size_t(i)] = float(55.0 + 15.0 * std::sin(i * 1e-4) + (i % 97) * 0.05);
        y[2 * size_t(i) + 1] = (i % 50000) < 200 ? 9999.0f : float(20.0 + 5.0 * std::cos(i * 3e-5));
    }
    ChartModel &m = chart.model();
    m.edit([&](ChartState &s) {
        s.subsetByPoint = false;
        s.dateTimeMode = DateTimeMode::sgVBDateTime;
        s.multiAxesSubsets = {1, 1};
        s.vertLines.show = true;
        for (int line : {0, 1, 2}) {
            VertLineAnnotation &l = s.vertLines.items[line];
            l.x = start + (line + 1) * 5.0;
            l.type = line ? VertLineType::Dashed : VertLineType::Solid;
            l.text = QStringLiteral("line %1").arg(line);
        }
    });
    m.setSubsets(2);
    m.setPoints(kPoints);

    BenchReport report;
    std::printf("one million samples, two subsets, 1600 x 900, best of %d\n", kRuns);
    const double setArrays = bestMs([&] {
        m.setXDataIIArray(x);
        m.setYDataArray(y);
    });
    report.figure("hand the X and Y arrays to the chart", setArrays, "ms", 100);

    // A full redraw after new data: rebuild the plot data, then draw and paint.
    const double redraw = bestMs([&] {
        m.setYData(0, 0, 50.0f);
        chart.redraw();
        chart.plot()->repaint();
    });
    report.figure("redraw after new data (reset + invalidate)", redraw, "ms", 50);

    // A data set of another size: the plot data is allocated anew once.
    int size = kPoints;
    const double resized = bestMs([&] {
        m.setPoints(--size);
        m.setXDataIIArray(x);
        m.setYDataArray(y);
        chart.redraw();
        chart.plot()->repaint();
    }, 3);
    report.figure("set arrays + redraw, data set of a new size", resized, "ms", 100);
    m.setPoints(kPoints);
    m.setXDataIIArray(x);
    m.setYDataArray(y);
    chart.redraw();

    int title = 0;
    const double looks = bestMs([&] {
        // A title of its own each time: an edit that changes nothing redraws nothing.
        m.edit([&](ChartState &s) { s.looks.mainTitle = QStringLiteral("title %1").arg(++title); });
        chart.redraw();
        chart.plot()->repaint();
    });
    report.figure("redraw after a change of looks", looks, "ms", 50);

    int step = 0;
    const double line = bestMs([&] {
        VertLineAnnotation moved = m.vertLineAnnotation(1);
        moved.x = start + 3.0 + (++step) * 0.01;
        m.setVertLineAnnotation(1, moved);
        chart.setPEactions(ChartWidget::PEaction::sgInvalidateImage);
        chart.plot()->repaint();
    }, 20);
    report.figure("repaint after a cursor line moves", line, "ms", 16);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.ghf"));
    bool saved = true;
    const double save = bestMs([&] { saved = SaveGraphFile(m, path).ok() && saved; }, 3);
    report.info("save graph file", save, "ms");
    report.info("graph file size", QFileInfo(path).size() / 1048576.0, "MiB");
    ChartModel loaded;
    bool read = true;
    const double load = bestMs([&] { read = LoadGraphFile(loaded, path).ok() && read; }, 3);
    report.info("load graph file", load, "ms");
    if (!saved || !read) {
        std::fprintf(stderr, "the graph file %s could not be written or read\n", qPrintable(path));
        return 1;
    }
    return report.exitCode();
}
