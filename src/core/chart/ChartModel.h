#pragma once

#include "core/base/Result.h"
#include "core/chart/ChartState.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <span>

// The state of one chart: subsets (channels), points (samples), their X
// (date-time doubles) and Y (floats), axes, looks, annotations and vertical
// lines. The chart widget draws it; the views read their data back from it;
// graph files store it.
//
// Everything but the data cells is edited by value: read a part, change it,
// set it back. An edit whose result could not be stored and loaded again (a
// value out of range, a limit that is not finite, a note number beyond
// 1,000,000) is refused as a whole and leaves the chart as it was. The widget
// shows changes when it is told to redraw; revision() tells it which parts
// changed since.
class ChartModel
{
public:
    // Limits that keep a damaged file or a wrong call from exhausting memory.
    static constexpr int MaxSubsets = 64;
    static constexpr int MaxAxes = 64;
    static constexpr qint64 MaxCells = qint64(64) * 1024 * 1024;
    static constexpr qint32 MaxAnnotationIndex = 1'000'000;

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
    // subsetByPoint: false = point by point (subset 0, subset 1, ... of point 0,
    // then point 1 ...), true = subset by subset. Elements beyond the cells are
    // ignored. Returns the number of cells written.
    qsizetype setXDataIIArray(std::span<const double> values, qsizetype first = 0);
    qsizetype setYDataArray(std::span<const float> values, qsizetype first = 0);
    // Every cell at once (the reset after Points is set).
    void fillData(double x, float y);

    // The cells of one subset, in point order (empty for a bad subset).
    std::span<const double> xOfSubset(int subset) const;
    std::span<const float> yOfSubset(int subset) const;

    double nullDataValueY() const { return m_s.nullDataValueY; }

    // Axes ------------------------------------------------------------------
    const AxisSettings &xAxis() const { return m_s.xAxis; }
    bool setXAxis(const AxisSettings &settings);
    // A Y axis by number; one never set has the defaults. Setting axis n
    // creates the axes below it with the defaults.
    AxisSettings axis(int axis) const;
    bool setAxis(int axis, const AxisSettings &settings);
    // The share of the height of a stacked Y axis (1 for axis 0 when never set).
    double multiAxesProportions(int axis) const;

    // Looks -----------------------------------------------------------------
    const ChartLooks &looks() const { return m_s.looks; }
    bool setLooks(const ChartLooks &looks);
    QString subsetLabel(int subset) const { return m_s.looks.subsetLabel(subset); }
    quint32 subsetColor(int subset) const { return m_s.looks.subsetColor(subset); }
    int subsetLineType(int subset) const { return m_s.looks.subsetLineType(subset); }

    // Annotations and vertical lines, one whole value by number ---------------
    GraphAnnotation graphAnnotation(int index) const;
    bool hasGraphAnnotation(int index) const;
    // Highest number in use, or -1.
    int highestGraphAnnotationIndex() const;
    bool setGraphAnnotation(int index, const GraphAnnotation &annotation);

    VertLineAnnotation vertLineAnnotation(int index) const;
    bool hasVertLineAnnotation(int index) const;
    bool setVertLineAnnotation(int index, const VertLineAnnotation &line);

    // Any other change: edits a copy of the state and takes it when it can
    // be stored, raising the revision of each part that changed. The data
    // cells are best left to the setters above, which do not copy them.
    bool edit(const std::function<void(ChartState &)> &change);
    // Replaces the whole state (the customization dialog edits a copy).
    bool setState(const ChartState &state);

    // The set-up steps of the program as graph files record them, in the
    // settings only those files keep (StoredOnlySettings; nothing reads them):
    //   Prepared     every preparation for new content
    //   FirstLooks   the first chart's looks, when no template was read
    //   YAxesEdited  the views' scale commands, which end on Y axis 0
    //   FileView     a file view, once its points are in
    enum class SetUp { Prepared, FirstLooks, YAxesEdited, FileView };
    void recordSetUp(SetUp step);

    // Storage ---------------------------------------------------------------
    // The whole state as one versioned little-endian record.
    QByteArray store() const;
    // The same without the data cells (no points): the looks, scales and
    // notes a template carries to the next chart.
    QByteArray storeLooks() const;
    // Replaces the state by a stored one. A damaged, truncated or unknown
    // record, a time, reading or limit that is not finite, or a note index
    // beyond 1,000,000 fails with the reason and leaves the model exactly as
    // it was.
    Result<> load(QByteArrayView bytes);

private:
    // Whether load() would read store() of the state back, the values of the
    // data cells aside (their setters take any number, as before).
    static bool storable(const ChartState &state);
    void touch(Part part) { ++m_revision[int(part)]; }
    void touchAll();
    bool take(ChartState &&next);
    bool cellIndex(int subset, int point, qsizetype *index) const;

    ChartState m_s;
    quint64 m_revision[4] = {1, 1, 1, 1};
};
