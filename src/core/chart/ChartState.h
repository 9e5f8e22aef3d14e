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

// The notes and crosses placed on the plot, by number.
struct GraphAnnotations
{
    bool show = false;
    qint32 textSize = 100; // percent of the label font
    std::map<qint32, GraphAnnotation> items;
    bool operator==(const GraphAnnotations &) const = default;
};

// The vertical lines, by number (the views keep their cursors A and B on 1 and 2).
struct VertLineAnnotations
{
    bool show = false;
    qint32 textSize = 100; // percent of the label font
    std::map<qint32, VertLineAnnotation> items;
    bool operator==(const VertLineAnnotations &) const = default;
};

// Scaling and label of one axis.
struct AxisSettings
{
    ScaleControl scaleControl = ScaleControl::sgAutoScale;
    double manualMin = 0.0;
    double manualMax = 0.0;
    QString label;
    bool operator==(const AxisSettings &) const = default;
};

// How a chart looks, and how it answers the mouse and the printer.
struct ChartLooks
{
    // Per subset; a subset beyond a list takes the default (no label, the
    // default colours in turn, a thin solid line).
    QStringList subsetLabels;
    QList<quint32> subsetColors;
    QList<qint32> subsetLineTypes;
    PlottingMethod plottingMethod = PlottingMethod::sgLine;
    QString mainTitle;
    QString subTitle;
    MultiAxesSeparator multiAxesSeparators = MultiAxesSeparator::sgNoSeparator;
    bool showLegend = true;
    GridLines gridLines = GridLines::sgGridBoth;
    bool gridInFront = false;
    GridStyle gridStyle = GridStyle::sgThinSolid;
    FontSize fontSize = FontSize::sgMedium;
    QString titleFont = QStringLiteral("Times New Roman");
    QString labelFont = QStringLiteral("Arial");
    bool bitmapGradientMode = false;
    DeskGradientStyle deskGradientStyle = DeskGradientStyle::sgNoGradient;
    QuickStyle quickStyle = QuickStyle::sgLightInset;

    bool allowDataHotSpots = false;
    bool allowGraphAnnotHotSpots = false;
    bool allowVertLineAnnotHotSpots = false;
    ZoomMode allowZooming = ZoomMode::sgNoZooming;
    bool scrollingHorzZoom = false;
    bool scrollingVertZoom = false;
    ArrowCursor arrowCursor = ArrowCursor::sgArrow;

    PrintStyle printStyleControl = PrintStyle::sgPrintCurrentStyle;
    bool printLandscape = true;

    QString subsetLabel(int subset) const;
    quint32 subsetColor(int subset) const;
    int subsetLineType(int subset) const;
    // These grow their list up to the subset with the defaults above.
    void setSubsetLabel(int subset, const QString &label);
    void setSubsetColor(int subset, quint32 argb);
    void setSubsetLineType(int subset, int lineType);

    bool operator==(const ChartLooks &) const = default;
};

// Settings that graph files keep for the chart component their format was
// made for. The program reads none of them; only the graph-file code
// (ChartModelStorage.cpp) reads and writes them, so that a file keeps what it
// held and a file written now holds what it always has.
struct StoredOnlySettings
{
    bool usingXDataII = false;
    qint32 workingAxis = 0;
    ViewingStyle viewingStyle = ViewingStyle::sgColor;
    bool dataShadows = true;
    qint32 dataPrecision = 3;
    BorderType borderTypes = BorderType::sgDropShadow;
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
    bool operator==(const StoredOnlySettings &) const = default;
};

// The whole state of a chart: what it plots and how it looks. Everything here
// goes into the stored state (graph files, the template). Default values are the
// chart's design settings, before the template and the preparation change them.
struct ChartState
{
    // Data. Cells are kept subset by subset: cell (s, p) is at s * points + p.
    qint32 subsets = 1;
    qint32 points = 0;
    QList<double> x;
    QList<float> y;
    DateTimeMode dateTimeMode = DateTimeMode::sgNoDateTime;
    double nullDataValueY = 9999.0;
    // The element order of the whole-array setters (ChartModel::setXDataIIArray).
    bool subsetByPoint = true;

    // Axes: X, the Y axes by number, and how many subsets each stacked Y
    // axis shows (top to bottom) with its share of the height.
    AxisSettings xAxis;
    QList<AxisSettings> axes;
    QList<qint32> multiAxesSubsets;
    QList<double> multiAxesProportions;

    ChartLooks looks;
    GraphAnnotations graphAnnotations;
    VertLineAnnotations vertLines;

    StoredOnlySettings storedOnly;

    bool operator==(const ChartState &) const = default;
};
