#include "core/chart/ChartPreparation.h"

#include "core/base/Log.h"
#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr quint32 kRed = PEargb(255, 255, 0, 0);
constexpr quint32 kBlue = PEargb(255, 0, 0, 255);
constexpr quint32 kGreen = PEargb(255, 0, 255, 0);

bool loadTemplate(ChartModel &chart, const PrepareChartContext &context)
{
    if (!context.withTemplate)
        return false;
    const QString own = graphTemplatePath(context.programFolder);
    if (QFileInfo::exists(own))
        return LoadGraphFile(chart, own).ok();
    if (context.shippedFolder.isEmpty())
        return false;
    const QString shipped = graphTemplatePath(context.shippedFolder);
    return QFileInfo(shipped).absoluteFilePath() != QFileInfo(own).absoluteFilePath()
        && QFileInfo::exists(shipped) && LoadGraphFile(chart, shipped).ok();
}

// The first chart ever gets the program's look, which then goes into the template.
void applyFirstChartLooks(ChartModel &chart, const PrepareChartArgs &args, int autoScale)
{
    chart.setPlottingMethod(PlottingMethod::sgSpline);
    chart.setBorderTypes(BorderType::sgSingleLine);
    chart.setBitmapGradientMode(true);
    chart.setDeskGradientStyle(DeskGradientStyle::sgVerticalGradient);
    chart.setQuickStyle(QuickStyle::sgLightLine);
    chart.setImageAdjustRight(-50);
    chart.setShowGraphAnnotations(true);
    chart.setGraphAnnotationTextSize(100);
    chart.setGridStyle(GridStyle::sgDot);
    chart.setMainTitle(QString());
    chart.setSubTitle(QStringLiteral(" "));
    chart.setSubsetLabel(0, QStringLiteral("Humidity"));
    chart.setSubsetLabel(1, QStringLiteral("Temperature"));
    chart.setSubsetLineType(0, LineType::MediumSolid);
    chart.setSubsetLineType(1, LineType::MediumSolid);
    chart.setDateTimeMode(DateTimeMode::sgVBDateTime);
    chart.setUsingXDataII(true);
    chart.setXAxisLabel(QStringLiteral("Time"));
    chart.setAllowZooming(ZoomMode::sgHorzPlusVertZooming);
    chart.setScrollingHorzZoom(true);
    chart.setScrollingVertZoom(true);
    chart.setSubsetColor(0, kRed);
    chart.setSubsetColor(1, kBlue);
    chart.setAllowAxisPage(true);
    chart.setArrowCursor(ArrowCursor::sgArrow);
    chart.setMultiAxesSeparators(MultiAxesSeparator::sgThinLine);
    chart.setMultiAxesSubsets(0, 1);
    chart.setMultiAxesSubsets(1, 1);
    chart.setMultiAxesProportions(0, 0.25);
    chart.setMultiAxesProportions(1, 0.25);
    for (int i = 0; i < args.subsets; ++i) {
        chart.setWorkingAxis(i);
        chart.setYAxisLabel(QString());
        if (autoScale == 0) {
            chart.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
            chart.setManualMinY(args.yMin);
            chart.setManualMaxY(args.yMax);
        }
    }
    chart.setYAxisLabel(QString());
}

// Vertical lines 1 and 2 are the cursors A and B, at one and two thirds.
void placeCursorLines(ChartModel &chart, const PrepareChartArgs &args)
{
    chart.setShowVertLineAnnotations(true);
    chart.setAllowVertLineAnnotHotSpots(true);
    chart.setLineAnnotationTextSize(80);
    chart.setVertLineAnnotationColor(1, kBlue);
    chart.setVertLineAnnotationType(1, VertLineType::Dashed);
    chart.setVertLineAnnotationText(1, QStringLiteral("A"));
    chart.setVertLineAnnotationColor(2, kGreen);
    chart.setVertLineAnnotationType(2, VertLineType::Dashed);
    chart.setVertLineAnnotationText(2, QStringLiteral("B"));
    chart.setLineAnnotationTextSize(100);
    const double span = args.xMax - args.xMin;
    chart.setVertLineAnnotation(1, args.xMin + span / 3.0);
    chart.setVertLineAnnotation(2, args.xMin + 2.0 * span / 3.0);
}

} // namespace

QString graphTemplateFolder(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("template")) + QLatin1Char('/');
}

QString graphTemplatePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("template/graph.ghf"));
}

QString cannotCreateFolderText(const QString &folder)
{
    return QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder) + QStringLiteral(" directory.");
}

Result<> writeGraphTemplate(const ChartModel &chart, const QString &programFolder)
{
    const QString folder = graphTemplateFolder(programFolder);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        qCInfo(lcChart).noquote() << "cannot create the template folder" << folder;
        return fail(ErrorCode::WriteFailed, cannotCreateFolderText(folder));
    }
    // Every preparation replaces the points, so storing them would only make
    // each preparation read them in vain (tens of MB after a large data set).
    const QString path = graphTemplatePath(programFolder);
    if (Result<> written = writeGraphFile(chart.storeLooks(), path); !written)
        return fail(written.code(), AtomicFile::cannotCreateText(path));
    return {};
}

PrepareChartResult prepareChartModel(ChartModel &chart, const PrepareChartArgs &args,
                                     const PrepareChartContext &context)
{
    // Any value but 0 means automatic scaling.
    const int autoScale = context.autoScaleSetting == 0 ? 0 : 1;
    PrepareChartResult result;
    result.templateFolder = graphTemplateFolder(context.programFolder);
    result.templateLoaded = loadTemplate(chart, context);

    chart.setRenderEngine(RenderEngine::sgGdiPlus);
    chart.setPrepareImages(true);
    chart.setNullDataValueY(9999.0);
    chart.setSubsetByPoint(false);
    chart.setSubsets(args.subsets);
    chart.setPoints(args.points);
    chart.setNoHelp(true);
    chart.setAllowArea(false);
    chart.setAllowPopup(false);

    // Every cell, not only the first ones: nothing of the template's or the
    // previous content's data may survive into the new chart.
    chart.fillData(0.0, 9999.0f);

    if (args.xMin != 0.0) {
        chart.setManualScaleControlX(ScaleControl::sgManualMinAndMax);
        chart.setManualMinX(args.xMin);
        chart.setManualMaxX(args.xMax);
    } else {
        // No usable range: X fits the data, whatever range the template kept.
        chart.setManualScaleControlX(ScaleControl::sgAutoScale);
    }
    chart.setAllowDataLabels(DataLabels::sgNoDataLabels);

    if (!result.templateLoaded)
        applyFirstChartLooks(chart, args, autoScale);

    placeCursorLines(chart, args);
    chart.setLineGapThreshold(1e30);
    chart.setAllowDataHotSpots(true);
    // Notes answer double clicks in every view; set here, where every
    // preparation (and so every template) sees it.
    chart.setAllowGraphAnnotHotSpots(true);

    if (autoScale == 1) {
        for (int axis : {0, 1, 0}) {
            chart.setWorkingAxis(axis);
            chart.setManualScaleControlY(ScaleControl::sgAutoScale);
        }
    }

    if (!result.templateLoaded && context.withTemplate) {
        result.templateWrite = writeGraphTemplate(chart, context.programFolder);
        result.templateWritten = result.templateWrite.ok();
    }
    return result;
}
