#include "core/chart/ChartModel.h"

#include <algorithm>

namespace {

constexpr int MaxPerSubsetIndex = ChartModel::MaxSubsets;

template <typename E> bool inRange(E value)
{
    return qint32(value) >= qint32(enumFirst<E>()) && qint32(value) <= qint32(enumLast<E>());
}

} // namespace

template <typename T> void ChartModel::growTo(QList<T> &list, int index, const T &fill)
{
    if (list.size() <= index)
        list.resize(index + 1, fill);
}

void ChartModel::touchAll()
{
    for (auto &r : m_revision)
        ++r;
}

// Data ----------------------------------------------------------------------

bool ChartModel::setSubsets(int subsets)
{
    if (subsets < 0 || subsets > MaxSubsets || qint64(subsets) * m_s.points > MaxCells)
        return false;
    if (subsets == m_s.subsets)
        return true;
    // Subset-major storage: the cells of the subsets that stay keep their place.
    const qsizetype cells = qsizetype(subsets) * m_s.points;
    m_s.x.resize(cells, 0.0);
    m_s.y.resize(cells, 0.0f);
    m_s.subsets = subsets;
    touch(Part::Data);
    return true;
}

bool ChartModel::setPoints(int points)
{
    if (points < 0 || qint64(points) * m_s.subsets > MaxCells)
        return false;
    if (points == m_s.points)
        return true;
    QList<double> x(qsizetype(m_s.subsets) * points, 0.0);
    QList<float> y(qsizetype(m_s.subsets) * points, 0.0f);
    const int keep = std::min(points, m_s.points);
    for (int s = 0; s < m_s.subsets; ++s) {
        std::copy_n(m_s.x.constBegin() + qsizetype(s) * m_s.points, keep, x.begin() + qsizetype(s) * points);
        std::copy_n(m_s.y.constBegin() + qsizetype(s) * m_s.points, keep, y.begin() + qsizetype(s) * points);
    }
    m_s.x = std::move(x);
    m_s.y = std::move(y);
    m_s.points = points;
    touch(Part::Data);
    return true;
}

bool ChartModel::cellIndex(int subset, int point, qsizetype *index) const
{
    if (subset < 0 || subset >= m_s.subsets || point < 0 || point >= m_s.points)
        return false;
    *index = qsizetype(subset) * m_s.points + point;
    return true;
}

void ChartModel::setXDataII(int subset, int point, double value)
{
    if (subset == -1) {
        for (int s = 0; s < m_s.subsets; ++s)
            setXDataII(s, point, value);
        return;
    }
    qsizetype i;
    if (!cellIndex(subset, point, &i))
        return;
    m_s.x[i] = value;
    touch(Part::Data);
}

double ChartModel::xDataII(int subset, int point) const
{
    qsizetype i;
    return cellIndex(subset, point, &i) ? m_s.x[i] : 0.0;
}

void ChartModel::setYData(int subset, int point, float value)
{
    if (subset == -1) {
        for (int s = 0; s < m_s.subsets; ++s)
            setYData(s, point, value);
        return;
    }
    qsizetype i;
    if (!cellIndex(subset, point, &i))
        return;
    m_s.y[i] = value;
    touch(Part::Data);
}

float ChartModel::yData(int subset, int point) const
{
    qsizetype i;
    return cellIndex(subset, point, &i) ? m_s.y[i] : 0.0f;
}

namespace {

// Copies array elements into subset-major cells, honouring the element order.
template <typename T>
qsizetype scatter(QList<T> &cells, int subsets, int points, bool subsetByPoint,
                  std::span<const T> values, qsizetype first)
{
    const qsizetype total = qsizetype(subsets) * points;
    if (first < 0 || first >= total || values.empty())
        return 0;
    const qsizetype n = std::min<qsizetype>(qsizetype(values.size()), total - first);
    T *out = cells.data();
    if (subsetByPoint || subsets == 1) {
        std::copy_n(values.data(), n, out + first);
        return n;
    }
    // Point by point: element e is subset e % subsets of point e / subsets.
    qsizetype e = first;
    int s = int(e % subsets);
    qsizetype p = e / subsets;
    for (qsizetype k = 0; k < n; ++k) {
        out[qsizetype(s) * points + p] = values[k];
        if (++s == subsets) {
            s = 0;
            ++p;
        }
    }
    return n;
}

} // namespace

qsizetype ChartModel::setXDataIIArray(std::span<const double> values, qsizetype first)
{
    const qsizetype n = scatter(m_s.x, m_s.subsets, m_s.points, m_s.subsetByPoint, values, first);
    if (n)
        touch(Part::Data);
    return n;
}

qsizetype ChartModel::setYDataArray(std::span<const float> values, qsizetype first)
{
    const qsizetype n = scatter(m_s.y, m_s.subsets, m_s.points, m_s.subsetByPoint, values, first);
    if (n)
        touch(Part::Data);
    return n;
}

void ChartModel::fillData(double x, float y)
{
    m_s.x.fill(x);
    m_s.y.fill(y);
    touch(Part::Data);
}

std::span<const double> ChartModel::xOfSubset(int subset) const
{
    if (subset < 0 || subset >= m_s.subsets)
        return {};
    return std::span<const double>(m_s.x.constData() + qsizetype(subset) * m_s.points, size_t(m_s.points));
}

std::span<const float> ChartModel::yOfSubset(int subset) const
{
    if (subset < 0 || subset >= m_s.subsets)
        return {};
    return std::span<const float>(m_s.y.constData() + qsizetype(subset) * m_s.points, size_t(m_s.points));
}

void ChartModel::setUsingXDataII(bool on)
{
    m_s.usingXDataII = on;
    touch(Part::Data);
}

void ChartModel::setDateTimeMode(DateTimeMode mode)
{
    if (!inRange(mode))
        return;
    m_s.dateTimeMode = mode;
    touch(Part::Looks);
}

void ChartModel::setNullDataValueY(double value)
{
    m_s.nullDataValueY = value;
    touch(Part::Data);
}

void ChartModel::setSubsetByPoint(bool on)
{
    m_s.subsetByPoint = on;
}

void ChartModel::setSubsetLabel(int subset, const QString &label)
{
    if (subset < 0 || subset >= MaxPerSubsetIndex)
        return;
    growTo(m_s.subsetLabels, subset, QString());
    m_s.subsetLabels[subset] = label;
    touch(Part::Looks);
}

QString ChartModel::subsetLabel(int subset) const
{
    return subset >= 0 && subset < m_s.subsetLabels.size() ? m_s.subsetLabels[subset] : QString();
}

namespace {
// Colours of subsets that were never given one.
constexpr quint32 kDefaultColors[] = {PEargb(255, 0, 0, 198), PEargb(255, 0, 198, 0),
                                      PEargb(255, 198, 0, 0), PEargb(255, 0, 198, 198),
                                      PEargb(255, 198, 0, 198), PEargb(255, 198, 198, 0)};
}

void ChartModel::setSubsetColor(int subset, quint32 argb)
{
    if (subset < 0 || subset >= MaxPerSubsetIndex)
        return;
    while (m_s.subsetColors.size() <= subset)
        m_s.subsetColors.append(kDefaultColors[m_s.subsetColors.size() % std::size(kDefaultColors)]);
    m_s.subsetColors[subset] = argb;
    touch(Part::Looks);
}

quint32 ChartModel::subsetColor(int subset) const
{
    if (subset >= 0 && subset < m_s.subsetColors.size())
        return m_s.subsetColors[subset];
    return kDefaultColors[std::max(subset, 0) % std::size(kDefaultColors)];
}

void ChartModel::setSubsetLineType(int subset, int lineType)
{
    if (subset < 0 || subset >= MaxPerSubsetIndex || lineType < 0 || lineType > LineType::Last)
        return;
    growTo(m_s.subsetLineTypes, subset, qint32(LineType::ThinSolid));
    m_s.subsetLineTypes[subset] = lineType;
    touch(Part::Looks);
}

int ChartModel::subsetLineType(int subset) const
{
    return subset >= 0 && subset < m_s.subsetLineTypes.size() ? m_s.subsetLineTypes[subset]
                                                               : LineType::ThinSolid;
}

void ChartModel::setPlottingMethod(PlottingMethod method)
{
    if (!inRange(method))
        return;
    m_s.plottingMethod = method;
    touch(Part::Looks);
}

// Scales --------------------------------------------------------------------

void ChartModel::setManualScaleControlX(ScaleControl control)
{
    if (!inRange(control))
        return;
    m_s.manualScaleControlX = control;
    touch(Part::Looks);
}

void ChartModel::setManualMinX(double value)
{
    m_s.manualMinX = value;
    touch(Part::Looks);
}

void ChartModel::setManualMaxX(double value)
{
    m_s.manualMaxX = value;
    touch(Part::Looks);
}

void ChartModel::setWorkingAxis(int axis)
{
    if (axis < 0 || axis >= MaxAxes)
        return;
    m_s.workingAxis = axis;
}

AxisSettings &ChartModel::workingAxisSettings()
{
    growTo(m_s.axes, m_s.workingAxis, AxisSettings());
    touch(Part::Looks);
    return m_s.axes[m_s.workingAxis];
}

AxisSettings ChartModel::axis(int axis) const
{
    return axis >= 0 && axis < m_s.axes.size() ? m_s.axes[axis] : AxisSettings();
}

void ChartModel::setManualScaleControlY(ScaleControl control)
{
    if (inRange(control))
        workingAxisSettings().scaleControl = control;
}

ScaleControl ChartModel::manualScaleControlY() const
{
    return axis(m_s.workingAxis).scaleControl;
}

void ChartModel::setManualMinY(double value)
{
    workingAxisSettings().manualMin = value;
}

double ChartModel::manualMinY() const
{
    return axis(m_s.workingAxis).manualMin;
}

void ChartModel::setManualMaxY(double value)
{
    workingAxisSettings().manualMax = value;
}

double ChartModel::manualMaxY() const
{
    return axis(m_s.workingAxis).manualMax;
}

void ChartModel::setYAxisLabel(const QString &label)
{
    workingAxisSettings().label = label;
}

QString ChartModel::yAxisLabel() const
{
    return axis(m_s.workingAxis).label;
}

void ChartModel::setMultiAxesSubsets(int axis, int count)
{
    if (axis == -1) {
        m_s.multiAxesSubsets.clear();
        touch(Part::Looks);
        return;
    }
    if (axis < 0 || axis >= MaxAxes || count < 0 || count > MaxSubsets)
        return;
    growTo(m_s.multiAxesSubsets, axis, qint32(0));
    m_s.multiAxesSubsets[axis] = count;
    touch(Part::Looks);
}

void ChartModel::setMultiAxesProportions(int axis, double proportion)
{
    if (axis < 0 || axis >= MaxAxes)
        return;
    growTo(m_s.multiAxesProportions, axis, 0.0);
    m_s.multiAxesProportions[axis] = proportion;
    touch(Part::Looks);
}

double ChartModel::multiAxesProportions(int axis) const
{
    if (axis >= 0 && axis < m_s.multiAxesProportions.size())
        return m_s.multiAxesProportions[axis];
    return axis == 0 ? 1.0 : 0.0;
}

void ChartModel::setMultiAxesSeparators(MultiAxesSeparator separator)
{
    if (!inRange(separator))
        return;
    m_s.multiAxesSeparators = separator;
    touch(Part::Looks);
}

void ChartModel::setMainTitle(const QString &title)
{
    m_s.mainTitle = title;
    touch(Part::Looks);
}

void ChartModel::setSubTitle(const QString &title)
{
    m_s.subTitle = title;
    touch(Part::Looks);
}

void ChartModel::setXAxisLabel(const QString &label)
{
    m_s.xAxisLabel = label;
    touch(Part::Looks);
}

// Annotations ---------------------------------------------------------------

void ChartModel::setShowGraphAnnotations(bool on)
{
    m_s.showGraphAnnotations = on;
    touch(Part::Annotations);
}

void ChartModel::setGraphAnnotationTextSize(int percent)
{
    m_s.graphAnnotationTextSize = std::clamp(percent, 1, 1000);
    touch(Part::Annotations);
}

#define KV518_ANNOTATION_SETTER(name, field, type, check)                                         \
    void ChartModel::name(int index, type value)                                                   \
    {                                                                                              \
        if (index < 0 || !(check))                                                                 \
            return;                                                                                \
        m_s.graphAnnotations[index].field = value;                                                 \
        touch(Part::Annotations);                                                                  \
    }

KV518_ANNOTATION_SETTER(setGraphAnnotationX, x, double, true)
KV518_ANNOTATION_SETTER(setGraphAnnotationY, y, double, true)
KV518_ANNOTATION_SETTER(setGraphAnnotationType, type, int,
                        value >= AnnotationType::Text && value <= AnnotationType::Last)
KV518_ANNOTATION_SETTER(setGraphAnnotationColor, color, quint32, true)
KV518_ANNOTATION_SETTER(setGraphAnnotationText, text, const QString &, true)
#undef KV518_ANNOTATION_SETTER

GraphAnnotation ChartModel::graphAnnotation(int index) const
{
    const auto it = m_s.graphAnnotations.find(index);
    return it == m_s.graphAnnotations.end() ? GraphAnnotation() : it->second;
}

bool ChartModel::hasGraphAnnotation(int index) const
{
    return m_s.graphAnnotations.count(index) != 0;
}

int ChartModel::highestGraphAnnotationIndex() const
{
    return m_s.graphAnnotations.empty() ? -1 : m_s.graphAnnotations.rbegin()->first;
}

void ChartModel::setShowVertLineAnnotations(bool on)
{
    m_s.showVertLineAnnotations = on;
    touch(Part::VertLines);
}

void ChartModel::setLineAnnotationTextSize(int percent)
{
    m_s.lineAnnotationTextSize = std::clamp(percent, 1, 1000);
    touch(Part::VertLines);
}

#define KV518_VERTLINE_SETTER(name, field, type, check)                                           \
    void ChartModel::name(int index, type value)                                                   \
    {                                                                                              \
        if (index < 0 || !(check))                                                                 \
            return;                                                                                \
        m_s.vertLineAnnotations[index].field = value;                                              \
        touch(Part::VertLines);                                                                    \
    }

KV518_VERTLINE_SETTER(setVertLineAnnotation, x, double, true)
KV518_VERTLINE_SETTER(setVertLineAnnotationType, type, int,
                      value >= VertLineType::Solid && value <= VertLineType::Last)
KV518_VERTLINE_SETTER(setVertLineAnnotationColor, color, quint32, true)
KV518_VERTLINE_SETTER(setVertLineAnnotationText, text, const QString &, true)
#undef KV518_VERTLINE_SETTER

VertLineAnnotation ChartModel::vertLineAnnotation(int index) const
{
    const auto it = m_s.vertLineAnnotations.find(index);
    return it == m_s.vertLineAnnotations.end() ? VertLineAnnotation() : it->second;
}

bool ChartModel::hasVertLineAnnotation(int index) const
{
    return m_s.vertLineAnnotations.count(index) != 0;
}

// Interaction and looks: plain stored settings ------------------------------

#define KV518_SETTER(name, field, type, part)                                                     \
    void ChartModel::name(type value)                                                              \
    {                                                                                              \
        m_s.field = value;                                                                         \
        touch(Part::part);                                                                         \
    }
#define KV518_ENUM_SETTER(name, field, type, part)                                                \
    void ChartModel::name(type value)                                                              \
    {                                                                                              \
        if (!inRange(value))                                                                       \
            return;                                                                                \
        m_s.field = value;                                                                         \
        touch(Part::part);                                                                         \
    }

KV518_SETTER(setAllowDataHotSpots, allowDataHotSpots, bool, Looks)
KV518_SETTER(setAllowGraphAnnotHotSpots, allowGraphAnnotHotSpots, bool, Looks)
KV518_SETTER(setAllowVertLineAnnotHotSpots, allowVertLineAnnotHotSpots, bool, Looks)
KV518_ENUM_SETTER(setAllowZooming, allowZooming, ZoomMode, Looks)
KV518_SETTER(setScrollingHorzZoom, scrollingHorzZoom, bool, Looks)
KV518_SETTER(setScrollingVertZoom, scrollingVertZoom, bool, Looks)
KV518_ENUM_SETTER(setArrowCursor, arrowCursor, ArrowCursor, Looks)
KV518_ENUM_SETTER(setPrintStyleControl, printStyleControl, PrintStyle, Looks)
KV518_ENUM_SETTER(setViewingStyle, viewingStyle, ViewingStyle, Looks)
KV518_SETTER(setDataShadows, dataShadows, bool, Looks)
KV518_SETTER(setShowLegend, showLegend, bool, Looks)
KV518_ENUM_SETTER(setGridLines, gridLines, GridLines, Looks)
KV518_SETTER(setGridInFront, gridInFront, bool, Looks)
KV518_ENUM_SETTER(setGridStyle, gridStyle, GridStyle, Looks)
KV518_ENUM_SETTER(setFontSize, fontSize, FontSize, Looks)
KV518_SETTER(setTitleFont, titleFont, const QString &, Looks)
KV518_SETTER(setLabelFont, labelFont, const QString &, Looks)
KV518_ENUM_SETTER(setBorderTypes, borderTypes, BorderType, Looks)
KV518_SETTER(setBitmapGradientMode, bitmapGradientMode, bool, Looks)
KV518_ENUM_SETTER(setDeskGradientStyle, deskGradientStyle, DeskGradientStyle, Looks)
KV518_ENUM_SETTER(setQuickStyle, quickStyle, QuickStyle, Looks)
KV518_SETTER(setImageAdjustRight, imageAdjustRight, int, Looks)
KV518_ENUM_SETTER(setRenderEngine, renderEngine, RenderEngine, Looks)
KV518_SETTER(setPrepareImages, prepareImages, bool, Looks)
KV518_ENUM_SETTER(setAllowDataLabels, allowDataLabels, DataLabels, Looks)
KV518_SETTER(setAllowArea, allowArea, bool, Looks)
KV518_SETTER(setAllowBar, allowBar, bool, Looks)
KV518_SETTER(setAllowPopup, allowPopup, bool, Looks)
KV518_SETTER(setAllowCustomization, allowCustomization, bool, Looks)
KV518_SETTER(setAllowExporting, allowExporting, bool, Looks)
KV518_SETTER(setAllowMaximization, allowMaximization, bool, Looks)
KV518_SETTER(setNoHelp, noHelp, bool, Looks)
KV518_SETTER(setAllowAxisPage, allowAxisPage, bool, Looks)
KV518_SETTER(setFocalRect, focalRect, bool, Looks)
KV518_SETTER(setNoRandomPointsToExport, noRandomPointsToExport, bool, Looks)
KV518_SETTER(setLineGapThreshold, lineGapThreshold, double, Looks)
KV518_SETTER(setPrintLandscape, printLandscape, bool, Looks)
#undef KV518_SETTER
#undef KV518_ENUM_SETTER

void ChartModel::setDataPrecision(int digits)
{
    m_s.dataPrecision = std::clamp(digits, 0, 9);
    touch(Part::Looks);
}

void ChartModel::setState(const ChartState &state)
{
    m_s = state;
    touchAll();
}
