#include "core/chart/ChartPreparation.h"

#include "core/base/Log.h"
#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr quint32 kRed = PEargb(255, 255, 0, 0);
constexpr quint32 kBlue = PEargb(255, 0, 0, 255);
constexpr quint32 kGreen = PEargb(255, 0, 255, 0);

bool loadTemplate(ChartModel &chart, const PrepareChartContext &context)
{
    if (!context.withTemplate)
        return false;
    // Only a regular file: a FIFO or a device in its place would hold the
    // preparation for good or feed it without end.
    const QString own = graphTemplatePath(context.programFolder);
    if (QFileInfo::exists(own))
        return QFileInfo(own).isFile() && LoadGraphFile(chart, own).ok();
    if (context.shippedFolder.isEmpty())
        return false;
    const QString shipped = graphTemplatePath(context.shippedFolder);
    return QFileInfo(shipped).absoluteFilePath() != QFileInfo(own).absoluteFilePath()
        && QFileInfo(shipped).isFile() && LoadGraphFile(chart, shipped).ok();
}

// The first chart ever gets the program's look, which then goes into the template.
void applyFirstChartLooks(ChartModel &chart, const PrepareChartArgs &args, int autoScale)
{
    chart.edit([](ChartState &s) {
        ChartLooks &l = s.looks;
        l.plottingMethod = PlottingMethod::sgSpline;
        l.bitmapGradientMode = true;
        l.deskGradientStyle = DeskGradientStyle::sgVerticalGradient;
        l.quickStyle = QuickStyle::sgLightLine;
        l.gridStyle = GridStyle::sgDot;
        l.mainTitle.clear();
        l.subTitle = QStringLiteral(" ");
        l.setSubsetLabel(0, QStringLiteral("Humidity"));
        l.setSubsetLabel(1, QStringLiteral("Temperature"));
        l.setSubsetLineType(0, LineType::MediumSolid);
        l.setSubsetLineType(1, LineType::MediumSolid);
        l.setSubsetColor(0, kRed);
        l.setSubsetColor(1, kBlue);
        l.allowZooming = ZoomMode::sgHorzPlusVertZooming;
        l.scrollingHorzZoom = true;
        l.scrollingVertZoom = true;
        l.arrowCursor = ArrowCursor::sgArrow;
        l.multiAxesSeparators = MultiAxesSeparator::sgThinLine;
        s.graphAnnotations.show = true;
        s.graphAnnotations.textSize = 100;
        s.dateTimeMode = DateTimeMode::sgVBDateTime;
        s.xAxis.label = QStringLiteral("Time");
    });
    arrangeSplitAxes(chart, true);
    for (int i = 0; i < args.subsets; ++i) {
        AxisSettings axis = chart.axis(i);
        axis.label.clear();
        if (autoScale == 0) {
            axis.scaleControl = ScaleControl::sgManualMinAndMax;
            axis.manualMin = args.yMin;
            axis.manualMax = args.yMax;
        }
        chart.setAxis(i, axis);
    }
    chart.recordSetUp(ChartModel::SetUp::FirstLooks);
}

// Vertical lines 1 and 2 are the cursors A and B, at one and two thirds.
void placeCursorLines(ChartModel &chart, const PrepareChartArgs &args)
{
    const double span = args.xMax - args.xMin;
    chart.edit([&](ChartState &s) {
        s.vertLines.show = true;
        s.vertLines.textSize = 100;
        s.looks.allowVertLineAnnotHotSpots = true;
        VertLineAnnotation &a = s.vertLines.items[1];
        a.color = kBlue;
        a.type = VertLineType::Dashed;
        a.text = QStringLiteral("A");
        a.x = args.xMin + span / 3.0;
        VertLineAnnotation &b = s.vertLines.items[2];
        b.color = kGreen;
        b.type = VertLineType::Dashed;
        b.text = QStringLiteral("B");
        b.x = args.xMin + 2.0 * span / 3.0;
    });
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

void arrangeSplitAxes(ChartModel &chart, bool split)
{
    chart.edit([split](ChartState &s) {
        auto atLeast = [](auto &list, qsizetype n) { list.resize(std::max(list.size(), n)); };
        if (!split) {
            s.multiAxesSubsets.clear();
            atLeast(s.multiAxesProportions, 1);
            s.multiAxesProportions[0] = 1.0;
            return;
        }
        // Axes beyond the first two, should a file bring any, stay as they are.
        atLeast(s.multiAxesSubsets, 2);
        atLeast(s.multiAxesProportions, 2);
        for (int axis : {0, 1}) {
            s.multiAxesSubsets[axis] = 1;
            s.multiAxesProportions[axis] = 0.25;
        }
    });
}

PrepareChartResult prepareChartModel(ChartModel &chart, const PrepareChartArgs &args,
                                     const PrepareChartContext &context)
{
    // Any value but 0 means automatic scaling.
    const int autoScale = context.autoScaleSetting == 0 ? 0 : 1;
    PrepareChartResult result;
    result.templateFolder = graphTemplateFolder(context.programFolder);
    result.templateLoaded = loadTemplate(chart, context);

    chart.edit([](ChartState &s) {
        s.nullDataValueY = 9999.0;
        s.subsetByPoint = false;
    });
    chart.setSubsets(args.subsets);
    chart.setPoints(args.points);
    chart.recordSetUp(ChartModel::SetUp::Prepared);

    // Every cell, not only the first ones: nothing of the template's or the
    // previous content's data may survive into the new chart.
    chart.fillData(0.0, 9999.0f);

    AxisSettings x = chart.xAxis();
    if (args.xMin != 0.0) {
        x.scaleControl = ScaleControl::sgManualMinAndMax;
        x.manualMin = args.xMin;
        x.manualMax = args.xMax;
        // A lone sample would sit on the axis's left end, in a range as short
        // as one interval (one second: labels, to the second, that repeat one
        // time). It gets a minute each way, its point in the middle.
        if (args.points == 1 || args.xMax == args.xMin) {
            x.manualMin = args.xMin - LoneSampleMarginDays;
            x.manualMax = args.xMin + LoneSampleMarginDays;
        }
    } else {
        // No usable range: X fits the data, whatever range the template kept.
        x.scaleControl = ScaleControl::sgAutoScale;
    }
    chart.setXAxis(x);

    if (!result.templateLoaded)
        applyFirstChartLooks(chart, args, autoScale);

    placeCursorLines(chart, args);
    chart.edit([](ChartState &s) {
        s.looks.allowDataHotSpots = true;
        // Notes answer double clicks in every view; set here, where every
        // preparation (and so every template) sees it.
        s.looks.allowGraphAnnotHotSpots = true;
    });

    if (autoScale == 1)
        setYAxesAutoScale(chart);

    if (!result.templateLoaded && context.withTemplate) {
        result.templateWrite = writeGraphTemplate(chart, context.programFolder);
        result.templateWritten = result.templateWrite.ok();
    }
    return result;
}

void setYAxesAutoScale(ChartModel &chart)
{
    for (int i : {0, 1}) {
        AxisSettings axis = chart.axis(i);
        axis.scaleControl = ScaleControl::sgAutoScale;
        chart.setAxis(i, axis);
    }
    chart.recordSetUp(ChartModel::SetUp::YAxesEdited);
}
