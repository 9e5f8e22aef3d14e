#pragma once

#include "core/base/Result.h"
#include "core/chart/ChartState.h"

#include <QByteArray>
#include <QByteArrayView>

#include <span>

// The state of one chart: subsets (channels), points (samples), their X
// (date-time doubles) and Y (floats), scales, annotations and looks. The chart
// widget draws it; the views read their data back from it; graph files store it.
//
// Setters never fail loudly: an index out of range is ignored (and reported by
// a false result where that helps a caller). The widget shows changes when it is
// told to redraw; revision() tells it which parts changed since.
class ChartModel
{
public:
    // Limits that keep a damaged file or a wrong call from exhausting memory.
    static constexpr int MaxSubsets = 64;
    static constexpr int MaxAxes = 64;
    static constexpr qint64 MaxCells = qint64(64) * 1024 * 1024;

    enum class Part { Data, VertLines, Annotations, Looks };

    ChartModel() = default;

    const ChartState &state() const { return m_s; }
    quint64 revision(Part part) const { return m_revision[int(part)]; }

    // Data ------------------------------------------------------------------
    // Resizing keeps the cells that stay inside; new cells are X = 0, Y = 0.
    bool setSubsets(int subsets);
    int subsets() const { return m_s.subsets; }
    bool setPoints(int points);
    int points() const { return m_s.points; }

    // One cell; subset -1 means every subset.
    void setXDataII(int subset, int point, double value);
    double xDataII(int subset, int point) const;
    void setYData(int subset, int point, float value);
    float yData(int subset, int point) const;

    // Whole arrays, element `first` onwards. The element order follows
    // SubsetByPoint: false = point by point (subset 0, subset 1, ... of point 0,
    // then point 1 ...), true = subset by subset. Elements beyond the cells are
    // ignored. Returns the number of cells written.
    qsizetype setXDataIIArray(std::span<const double> values, qsizetype first = 0);
    qsizetype setYDataArray(std::span<const float> values, qsizetype first = 0);
    // Every cell at once (the reset after Points is set).
    void fillData(double x, float y);

    // The cells of one subset, in point order (empty for a bad subset).
    std::span<const double> xOfSubset(int subset) const;
    std::span<const float> yOfSubset(int subset) const;

    void setUsingXDataII(bool on);
    void setDateTimeMode(DateTimeMode mode);
    void setNullDataValueY(double value);
    double nullDataValueY() const { return m_s.nullDataValueY; }
    void setSubsetByPoint(bool on);
    bool subsetByPoint() const { return m_s.subsetByPoint; }
    void setSubsetLabel(int subset, const QString &label);
    QString subsetLabel(int subset) const;
    void setSubsetColor(int subset, quint32 argb);
    quint32 subsetColor(int subset) const;
    void setSubsetLineType(int subset, int lineType);
    int subsetLineType(int subset) const;
    void setPlottingMethod(PlottingMethod method);
    PlottingMethod plottingMethod() const { return m_s.plottingMethod; }

    // Scales ----------------------------------------------------------------
    void setManualScaleControlX(ScaleControl control);
    ScaleControl manualScaleControlX() const { return m_s.manualScaleControlX; }
    void setManualMinX(double value);
    double manualMinX() const { return m_s.manualMinX; }
    void setManualMaxX(double value);
    double manualMaxX() const { return m_s.manualMaxX; }

    // The Y settings below act on the working axis.
    void setWorkingAxis(int axis);
    int workingAxis() const { return m_s.workingAxis; }
    void setManualScaleControlY(ScaleControl control);
    ScaleControl manualScaleControlY() const;
    void setManualMinY(double value);
    double manualMinY() const;
    void setManualMaxY(double value);
    double manualMaxY() const;
    void setYAxisLabel(const QString &label);
    QString yAxisLabel() const;
    // Settings of any axis, defaults for one never set.
    AxisSettings axis(int axis) const;

    // Subsets per axis, top to bottom. Axis -1 removes the arrangement: every
    // subset then shares one Y axis.
    void setMultiAxesSubsets(int axis, int count);
    QList<qint32> multiAxesSubsets() const { return m_s.multiAxesSubsets; }
    void setMultiAxesProportions(int axis, double proportion);
    double multiAxesProportions(int axis) const;
    void setMultiAxesSeparators(MultiAxesSeparator separator);

    void setMainTitle(const QString &title);
    void setSubTitle(const QString &title);
    void setXAxisLabel(const QString &label);

    // Annotations -----------------------------------------------------------
    void setShowGraphAnnotations(bool on);
    void setGraphAnnotationTextSize(int percent);
    // Writing any field of an index creates that annotation.
    void setGraphAnnotationX(int index, double x);
    void setGraphAnnotationY(int index, double y);
    void setGraphAnnotationType(int index, int type);
    void setGraphAnnotationColor(int index, quint32 argb);
    void setGraphAnnotationText(int index, const QString &text);
    GraphAnnotation graphAnnotation(int index) const;
    bool hasGraphAnnotation(int index) const;
    // Highest index in use, or -1.
    int highestGraphAnnotationIndex() const;

    void setShowVertLineAnnotations(bool on);
    void setLineAnnotationTextSize(int percent);
    void setVertLineAnnotation(int index, double x);
    void setVertLineAnnotationType(int index, int type);
    void setVertLineAnnotationColor(int index, quint32 argb);
    void setVertLineAnnotationText(int index, const QString &text);
    VertLineAnnotation vertLineAnnotation(int index) const;
    bool hasVertLineAnnotation(int index) const;

    // Interaction -----------------------------------------------------------
    void setAllowDataHotSpots(bool on);
    void setAllowGraphAnnotHotSpots(bool on);
    void setAllowVertLineAnnotHotSpots(bool on);
    void setAllowZooming(ZoomMode mode);
    void setScrollingHorzZoom(bool on);
    void setScrollingVertZoom(bool on);
    void setArrowCursor(ArrowCursor cursor);
    void setPrintStyleControl(PrintStyle style);

    // Looks -----------------------------------------------------------------
    void setViewingStyle(ViewingStyle style);
    void setDataShadows(bool on);
    void setShowLegend(bool on);
    void setGridLines(GridLines lines);
    void setGridInFront(bool on);
    void setGridStyle(GridStyle style);
    void setDataPrecision(int digits);
    void setFontSize(FontSize size);
    void setTitleFont(const QString &family);
    void setLabelFont(const QString &family);
    void setBorderTypes(BorderType type);
    void setBitmapGradientMode(bool on);
    void setDeskGradientStyle(DeskGradientStyle style);
    void setQuickStyle(QuickStyle style);
    void setImageAdjustRight(int value);
    void setRenderEngine(RenderEngine engine);
    void setPrepareImages(bool on);
    void setAllowDataLabels(DataLabels labels);
    void setAllowArea(bool on);
    void setAllowBar(bool on);
    void setAllowPopup(bool on);
    void setAllowCustomization(bool on);
    void setAllowExporting(bool on);
    void setAllowMaximization(bool on);
    void setNoHelp(bool on);
    void setAllowAxisPage(bool on);
    void setFocalRect(bool on);
    void setNoRandomPointsToExport(bool on);
    void setLineGapThreshold(double value);
    void setPrintLandscape(bool on);

    // Storage ---------------------------------------------------------------
    // The whole state as one versioned little-endian record.
    QByteArray store() const;
    // The same without the data cells (no points): the looks, scales and
    // notes a template carries to the next chart.
    QByteArray storeLooks() const;
    // Replaces the state by a stored one. A damaged, truncated or unknown record,
    // a time, reading or limit that is not finite, or a note index beyond
    // 1,000,000 fails with the reason and leaves the model exactly as it was.
    Result<> load(QByteArrayView bytes);

    // Replaces the whole state (the customization dialog edits a copy).
    void setState(const ChartState &state);

private:
    void touch(Part part) { ++m_revision[int(part)]; }
    void touchAll();
    bool cellIndex(int subset, int point, qsizetype *index) const;
    AxisSettings &workingAxisSettings();
    template <typename T> static void growTo(QList<T> &list, int index, const T &fill);

    ChartState m_s;
    quint64 m_revision[4] = {1, 1, 1, 1};
};
