#pragma once

#include "core/chart/ChartTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <map>

struct GraphAnnotation
{
    double x = 0.0;
    double y = 0.0;
    qint32 type = AnnotationType::Text;
    quint32 color = PEargb(255, 0, 0, 0);
    QString text;
    bool operator==(const GraphAnnotation &) const = default;
};

struct VertLineAnnotation
{
    double x = 0.0;
    qint32 type = VertLineType::Solid;
    quint32 color = PEargb(255, 0, 0, 0);
    QString text;
    bool operator==(const VertLineAnnotation &) const = default;
};

// Scaling and label of one Y axis (a "working axis").
struct AxisSettings
{
    ScaleControl scaleControl = ScaleControl::sgAutoScale;
    double manualMin = 0.0;
    double manualMax = 0.0;
    QString label;
    bool operator==(const AxisSettings &) const = default;
};

// The whole state of a chart: what it plots and how it looks. Everything here
// goes into the stored state (graph files, the template). Default values are the
// chart's design settings, before the template and PrepareChart change them.
struct ChartState
{
    // Data. Cells are kept subset by subset: cell (s, p) is at s * points + p.
    qint32 subsets = 1;
    qint32 points = 0;
    QList<double> x;
    QList<float> y;
    bool usingXDataII = false;
    DateTimeMode dateTimeMode = DateTimeMode::sgNoDateTime;
    double nullDataValueY = 9999.0;
    bool subsetByPoint = true;
    QStringList subsetLabels;
    QList<quint32> subsetColors;
    QList<qint32> subsetLineTypes;
    PlottingMethod plottingMethod = PlottingMethod::sgLine;

    // Scales and layout.
    ScaleControl manualScaleControlX = ScaleControl::sgAutoScale;
    double manualMinX = 0.0;
    double manualMaxX = 0.0;
    qint32 workingAxis = 0;
    QList<AxisSettings> axes;
    QList<qint32> multiAxesSubsets;
    QList<double> multiAxesProportions;
    MultiAxesSeparator multiAxesSeparators = MultiAxesSeparator::sgNoSeparator;
    QString mainTitle;
    QString subTitle;
    QString xAxisLabel;

    // Annotations, by index.
    bool showGraphAnnotations = false;
    qint32 graphAnnotationTextSize = 100;
    std::map<qint32, GraphAnnotation> graphAnnotations;
    bool showVertLineAnnotations = false;
    qint32 lineAnnotationTextSize = 100;
    std::map<qint32, VertLineAnnotation> vertLineAnnotations;

    // Interaction.
    bool allowDataHotSpots = false;
    bool allowGraphAnnotHotSpots = false;
    bool allowVertLineAnnotHotSpots = false;
    ZoomMode allowZooming = ZoomMode::sgNoZooming;
    bool scrollingHorzZoom = false;
    bool scrollingVertZoom = false;
    ArrowCursor arrowCursor = ArrowCursor::sgArrow;
    PrintStyle printStyleControl = PrintStyle::sgPrintCurrentStyle;
    bool printLandscape = true;

    // Looks.
    ViewingStyle viewingStyle = ViewingStyle::sgColor;
    bool dataShadows = true;
    bool showLegend = true;
    GridLines gridLines = GridLines::sgGridBoth;
    bool gridInFront = false;
    GridStyle gridStyle = GridStyle::sgThinSolid;
    qint32 dataPrecision = 3;
    FontSize fontSize = FontSize::sgMedium;
    QString titleFont = QStringLiteral("Times New Roman");
    QString labelFont = QStringLiteral("Arial");
    BorderType borderTypes = BorderType::sgDropShadow;
    bool bitmapGradientMode = false;
    DeskGradientStyle deskGradientStyle = DeskGradientStyle::sgNoGradient;
    QuickStyle quickStyle = QuickStyle::sgLightInset;
    qint32 imageAdjustRight = 0;
    RenderEngine renderEngine = RenderEngine::sgGdi;
    bool prepareImages = false;
    DataLabels allowDataLabels = DataLabels::sgDataValues;
    bool allowArea = true;
    bool allowBar = true;
    bool allowPopup = true;
    bool allowCustomization = true;
    bool allowExporting = true;
    bool allowMaximization = true;
    bool noHelp = false;
    bool allowAxisPage = false;
    bool focalRect = true;
    bool noRandomPointsToExport = false;
    double lineGapThreshold = 0.0;

    bool operator==(const ChartState &) const = default;
};
