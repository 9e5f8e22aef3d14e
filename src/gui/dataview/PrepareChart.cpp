#include "gui/dataview/PrepareChart.h"

#include "chart/ChartWidget.h"
#include "core/app/AppPaths.h"
#include "core/app/AutoScaleSetting.h"
#include "gui/common/Prompter.h"

#include <QDir>

namespace {

bool g_failureShown = false;

void reportTemplateFailure(const QString &folder, QWidget *parent)
{
    // Once per run: on a read-only install every preparation would fail alike.
    if (g_failureShown)
        return;
    g_failureShown = true;
    Prompter::instance().message(parent, QMessageBox::Critical,
                                 QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder)
                                     + QStringLiteral(" directory."),
                                 QMessageBox::Ok);
}

} // namespace

PrepareChartResult PrepareChart(ChartWidget &chart, const PrepareChartArgs &args, int autoScaleSetting)
{
    PrepareChartContext context;
    context.programFolder = AppPaths::programFolder();
    context.shippedFolder = AppPaths::executableFolder();
    context.autoScaleSetting = autoScaleSetting;
    const PrepareChartResult result = prepareChartModel(chart.model(), args, context);
    Redraw(chart);
    if (result.templateFailed)
        reportTemplateFailure(result.templateFolder, &chart);
    return result;
}

PrepareChartResult PrepareChart(ChartWidget &chart, int subsets, float yMax, float yMin,
                                double xMax, double xMin, int points)
{
    PrepareChartArgs args;
    args.subsets = subsets;
    args.yMax = yMax;
    args.yMin = yMin;
    args.xMax = xMax;
    args.xMin = xMin;
    args.points = points;
    return PrepareChart(chart, args, ScaleSettings::autoScaleSetting());
}

void Redraw(ChartWidget &chart)
{
    chart.redraw();
}

bool SaveGraphTemplate(const ChartModel &chart, QWidget *parent)
{
    const QString folder = AppPaths::programFolder();
    if (saveGraphTemplate(chart, folder))
        return true;
    reportTemplateFailure(graphTemplateFolder(folder), parent);
    return false;
}

void resetTemplateFailureNotice()
{
    g_failureShown = false;
}
