#include "core/chart/ChartModel.h"

#include "core/base/Log.h"

#include <algorithm>

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

// Edits by value --------------------------------------------------------------

namespace {

// What the widget draws from each part; the element order of the array
// setters is drawn by none.
bool sameData(const ChartState &a, const ChartState &b)
{
    // The cells are compared by identity: an edit that did not touch them
    // still shares them with the state it copied.
    return a.subsets == b.subsets && a.points == b.points && a.dateTimeMode == b.dateTimeMode
        && a.nullDataValueY == b.nullDataValueY && a.x.constData() == b.x.constData()
        && a.y.constData() == b.y.constData();
}

bool sameLooks(const ChartState &a, const ChartState &b)
{
    return a.xAxis == b.xAxis && a.axes == b.axes && a.multiAxesSubsets == b.multiAxesSubsets
        && a.multiAxesProportions == b.multiAxesProportions && a.looks == b.looks;
}

} // namespace

bool ChartModel::take(ChartState &&next)
{
    if (!storable(next)) {
        qCDebug(lcChart) << "refused a chart edit that could not be stored";
        return false;
    }
    const bool data = !sameData(next, m_s);
    const bool looks = !sameLooks(next, m_s);
    const bool notes = next.graphAnnotations != m_s.graphAnnotations;
    const bool lines = next.vertLines != m_s.vertLines;
    m_s = std::move(next);
    if (data)
        touch(Part::Data);
    if (looks)
        touch(Part::Looks);
    if (notes)
        touch(Part::Annotations);
    if (lines)
        touch(Part::VertLines);
    return true;
}

bool ChartModel::edit(const std::function<void(ChartState &)> &change)
{
    // The lists are shared, so the copy costs nothing until the change
    // writes to one of them.
    ChartState next = m_s;
    change(next);
    return take(std::move(next));
}

bool ChartModel::setState(const ChartState &state)
{
    if (!storable(state)) {
        qCDebug(lcChart) << "refused a chart state that could not be stored";
        return false;
    }
    m_s = state;
    touchAll();
    return true;
}

bool ChartModel::setXAxis(const AxisSettings &settings)
{
    return edit([&](ChartState &s) { s.xAxis = settings; });
}

AxisSettings ChartModel::axis(int axis) const
{
    return axis >= 0 && axis < m_s.axes.size() ? m_s.axes[axis] : AxisSettings();
}

bool ChartModel::setAxis(int axis, const AxisSettings &settings)
{
    if (axis < 0 || axis >= MaxAxes)
        return false;
    return edit([&](ChartState &s) {
        if (s.axes.size() <= axis)
            s.axes.resize(axis + 1);
        s.axes[axis] = settings;
    });
}

double ChartModel::multiAxesProportions(int axis) const
{
    if (axis >= 0 && axis < m_s.multiAxesProportions.size())
        return m_s.multiAxesProportions[axis];
    return axis == 0 ? 1.0 : 0.0;
}

bool ChartModel::setLooks(const ChartLooks &looks)
{
    return edit([&](ChartState &s) { s.looks = looks; });
}

GraphAnnotation ChartModel::graphAnnotation(int index) const
{
    const auto it = m_s.graphAnnotations.items.find(index);
    return it == m_s.graphAnnotations.items.end() ? GraphAnnotation() : it->second;
}

bool ChartModel::hasGraphAnnotation(int index) const
{
    return m_s.graphAnnotations.items.count(index) != 0;
}

int ChartModel::highestGraphAnnotationIndex() const
{
    const auto &items = m_s.graphAnnotations.items;
    return items.empty() ? -1 : items.rbegin()->first;
}

bool ChartModel::setGraphAnnotation(int index, const GraphAnnotation &annotation)
{
    return edit([&](ChartState &s) { s.graphAnnotations.items[index] = annotation; });
}

VertLineAnnotation ChartModel::vertLineAnnotation(int index) const
{
    const auto it = m_s.vertLines.items.find(index);
    return it == m_s.vertLines.items.end() ? VertLineAnnotation() : it->second;
}

bool ChartModel::hasVertLineAnnotation(int index) const
{
    return m_s.vertLines.items.count(index) != 0;
}

bool ChartModel::setVertLineAnnotation(int index, const VertLineAnnotation &line)
{
    return edit([&](ChartState &s) { s.vertLines.items[index] = line; });
}

// Subsets' looks ---------------------------------------------------------------

namespace {

// Colours of subsets that were never given one.
constexpr quint32 kDefaultColors[] = {PEargb(255, 0, 0, 198), PEargb(255, 0, 198, 0),
                                      PEargb(255, 198, 0, 0), PEargb(255, 0, 198, 198),
                                      PEargb(255, 198, 0, 198), PEargb(255, 198, 198, 0)};

quint32 defaultColor(int subset)
{
    return kDefaultColors[std::max(subset, 0) % std::size(kDefaultColors)];
}

} // namespace

QString ChartLooks::subsetLabel(int subset) const
{
    return subsetLabels.value(subset);
}

quint32 ChartLooks::subsetColor(int subset) const
{
    return subset >= 0 && subset < subsetColors.size() ? subsetColors[subset] : defaultColor(subset);
}

int ChartLooks::subsetLineType(int subset) const
{
    return subsetLineTypes.value(subset, LineType::ThinSolid);
}

void ChartLooks::setSubsetLabel(int subset, const QString &label)
{
    if (subset < 0 || subset >= ChartModel::MaxSubsets)
        return;
    if (subsetLabels.size() <= subset)
        subsetLabels.resize(subset + 1);
    subsetLabels[subset] = label;
}

void ChartLooks::setSubsetColor(int subset, quint32 argb)
{
    if (subset < 0 || subset >= ChartModel::MaxSubsets)
        return;
    while (subsetColors.size() <= subset)
        subsetColors.append(defaultColor(int(subsetColors.size())));
    subsetColors[subset] = argb;
}

void ChartLooks::setSubsetLineType(int subset, int lineType)
{
    if (subset < 0 || subset >= ChartModel::MaxSubsets)
        return;
    if (subsetLineTypes.size() <= subset)
        subsetLineTypes.resize(subset + 1, LineType::ThinSolid);
    subsetLineTypes[subset] = lineType;
}
