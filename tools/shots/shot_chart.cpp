// Renders a prepared data view chart with a generated humidity/temperature
// record: split and shared axes, a note, a cross, the cursor lines and the
// point line, a zoomed view with its scroll bars, and the customization dialog.

#include "chart/ChartCustomizeDialog.h"
#include "chart/ChartWidget.h"
#include "core/data/DateTimeText.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/PrepareChart.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <vector>

namespace {

constexpr int kSamples = 2000;
constexpr int kInterval = 60;

void fillData(ChartWidget &chart, double start)
{
    std::vector<double> x(2 * kSamples);
    std::vector<float> y(2 * kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const double t = start + double(i) * kInterval / 86400.0;
        const double day = 2.0 * M_PI * i * kInterval / 86400.0;
        float humidity = float(55.0 + 15.0 * std::sin(day) + 2.0 * std::sin(i * 0.37));
        float temperature = float(22.0 - 6.0 * std::sin(day + 0.4) + 0.8 * std::cos(i * 0.21));
        // A few stretches out of the meter's range.
        if (i >= 500 && i < 540)
            humidity = 9999.0f;
        if (i >= 1200 && i < 1230)
            temperature = 9999.0f;
        x[2 * i] = x[2 * i + 1] = t;
        y[2 * i] = humidity;
        y[2 * i + 1] = temperature;
    }
    chart.model().setXDataIIArray(x);
    chart.model().setYDataArray(y);
}

void markPoint(ChartWidget &chart, int index)
{
    ChartModel &m = chart.model();
    VertLineAnnotation line;
    line.x = m.xDataII(0, index);
    line.type = VertLineType::Solid;
    line.text = FrameworkTime::toDateTime(line.x).toString(QStringLiteral("hh:mm:ss"))
        + QStringLiteral(" H:%1 T:%2").arg(m.yData(0, index), 0, 'f', 1).arg(m.yData(1, index), 0, 'f', 1);
    m.edit([&](ChartState &s) {
        s.vertLines.textSize = 100;
        s.vertLines.items[0] = line;
    });
}

void addNotes(ChartWidget &chart)
{
    ChartModel &m = chart.model();
    m.setGraphAnnotation(4, {m.xDataII(0, 800), 68.0, AnnotationType::Text, PEargb(255, 0, 0, 0),
                             QStringLiteral("Door opened")});
    m.setGraphAnnotation(5, {m.xDataII(0, 1500), 30.0, AnnotationType::Cross, PEargb(255, 0, 0, 0), {}});
}

bool save(const QPixmap &pixmap, const QString &folder, const char *name)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!pixmap.save(path)) {
        qWarning("cannot write %s", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: shot_chart <output folder>");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir programFolder;
    WidgetPrompter prompter;
    AppContext ctx(prompter, AppFolders(programFolder.path(), QString()));

    ChartWidget chart;
    chart.resize(1600, 900);
    chart.show();
    const double start = FrameworkTime::fromDateTime(QDateTime(QDate(2009, 3, 1), QTime(10, 0)));
    const double end = start + double(kSamples) * kInterval / 86400.0;
    PrepareChart(ctx, chart, 2, 100.0f, -20.0f, end, start, kSamples);
    fillData(chart, start);
    markPoint(chart, 300);
    addNotes(chart);
    chart.redraw();
    bool ok = save(chart.renderPixmap(QSize(1600, 900)), out, "chart_split.png");

    arrangeSplitAxes(chart.model(), false);
    chart.redraw();
    chart.setPEactions(ChartWidget::PEaction::sgReinitAndReset);
    ok = save(chart.renderPixmap(QSize(1600, 900)), out, "chart_unsplit.png") && ok;

    const QRect area = chart.plottingRect();
    chart.zoomToRect(QRect(area.left() + area.width() / 4, area.top() + area.height() / 5,
                           area.width() / 4, area.height() / 2));
    QApplication::processEvents();
    ok = save(chart.grab(), out, "chart_zoomed.png") && ok;

    chart.model().edit([](ChartState &s) { s.looks.printStyleControl = PrintStyle::sgPrintDefaultMono; });
    chart.setPEactions(ChartWidget::PEaction::sgUndoZoom);
    ChartCustomizeDialog dialog(chart.model().state(), {});
    dialog.show();
    QApplication::processEvents();
    ok = save(dialog.grab(), out, "chart_customize.png") && ok;
    return ok ? 0 : 1;
}
