#include "gui/dataview/PrepareChart.h"

#include "chart/ChartWidget.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"

namespace {

void reportTemplateFailure(AppContext &ctx, const QString &folder, QWidget *parent)
{
    // Once per run: on a read-only install every preparation would fail alike.
    if (!ctx.takeTemplateFailureNotice())
        return;
    ctx.prompter().message(parent, QMessageBox::Critical, cannotCreateFolderText(folder), QMessageBox::Ok);
}

} // namespace

PrepareChartResult PrepareChart(AppContext &ctx, ChartWidget &chart, const PrepareChartArgs &args)
{
    const PrepareChartResult result = PrepareChartUndrawn(ctx, chart, args);
    Redraw(chart);
    return result;
}

PrepareChartResult PrepareChartUndrawn(AppContext &ctx, ChartWidget &chart, const PrepareChartArgs &args)
{
    PrepareChartContext context;
    context.programFolder = ctx.folders().programFolder();
    context.shippedFolder = AppFolders::shippedFolder();
    context.autoScaleSetting = ctx.settings().AutoScaleSetting;
    const PrepareChartResult result = prepareChartModel(chart.model(), args, context);
    if (!result.templateWrite)
        reportTemplateFailure(ctx, result.templateFolder, &chart);
    return result;
}

PrepareChartResult PrepareChart(AppContext &ctx, ChartWidget &chart, int subsets, float yMax, float yMin,
                                double xMax, double xMin, int points)
{
    PrepareChartArgs args;
    args.subsets = subsets;
    args.yMax = yMax;
    args.yMin = yMin;
    args.xMax = xMax;
    args.xMin = xMin;
    args.points = points;
    return PrepareChart(ctx, chart, args);
}

void Redraw(ChartWidget &chart)
{
    chart.redraw();
}

bool SaveGraphTemplate(AppContext &ctx, const ChartModel &chart, QWidget *parent)
{
    // The user asked for this save: every failure is reported, not only the first.
    const Result<> written = writeGraphTemplate(chart, ctx.folders().programFolder());
    if (!written)
        ctx.prompter().message(parent, QMessageBox::Critical, written.message(), QMessageBox::Ok);
    return written.ok();
}
