#include "core/chart/ChartLayout.h"

#include <algorithm>
#include <cmath>

namespace ChartLayout {

double plotKey(DateTimeMode mode, double x)
{
    return mode == DateTimeMode::sgVBDateTime ? (x - kUnixEpochDays) * kSecondsPerDay : x;
}

double plotX(DateTimeMode mode, double key)
{
    return mode == DateTimeMode::sgVBDateTime ? key / kSecondsPerDay + kUnixEpochDays : key;
}

QList<AxisGroup> groupSubsets(const ChartState &s)
{
    QList<AxisGroup> groups;
    int assigned = 0;
    for (int a = 0; a < s.multiAxesSubsets.size() && assigned < s.subsets; ++a) {
        const int count = std::min(int(s.multiAxesSubsets[a]), s.subsets - assigned);
        if (count <= 0)
            continue;
        AxisGroup g;
        g.axis = a;
        g.proportion = s.multiAxesProportions.value(a, 0.0);
        for (int i = 0; i < count; ++i)
            g.subsets << assigned++;
        groups << g;
    }
    if (groups.isEmpty()) {
        AxisGroup g;
        for (int i = 0; i < s.subsets; ++i)
            g.subsets << i;
        groups << g;
    } else {
        for (; assigned < s.subsets; ++assigned)
            groups.last().subsets << assigned;
    }
    if (groups.size() == 1)
        groups.first().axis = 0;
    double total = 0.0;
    for (const AxisGroup &g : std::as_const(groups))
        total += g.proportion > 0.0 ? g.proportion : 0.0;
    for (AxisGroup &g : groups)
        g.proportion = (total > 0.0 && g.proportion > 0.0) ? g.proportion / total : 1.0 / groups.size();
    return groups;
}

void Span::include(double v)
{
    lo = std::min(lo, v);
    hi = std::max(hi, v);
}

void Span::include(const Span &other)
{
    if (!other.isEmpty()) {
        include(other.lo);
        include(other.hi);
    }
}

QPair<double, double> drawableRange(double a, double b, double unit)
{
    const double lo = std::min(a, b);
    const double hi = std::max(a, b);
    if (!(hi - lo > 0.0))
        return {lo - unit, hi + unit};
    return {lo, hi};
}

namespace {

bool manualMin(ScaleControl c)
{
    return c == ScaleControl::sgManualMin || c == ScaleControl::sgManualMinAndMax;
}

bool manualMax(ScaleControl c)
{
    return c == ScaleControl::sgManualMax || c == ScaleControl::sgManualMinAndMax;
}

} // namespace

QPair<double, double> xRange(const ChartState &s, const Span &dataKeys)
{
    double lo = dataKeys.lo;
    double hi = dataKeys.hi;
    if (dataKeys.isEmpty()) {
        lo = plotKey(s.dateTimeMode, 0.0);
        hi = plotKey(s.dateTimeMode, 1.0);
    }
    const AxisSettings &x = s.xAxis;
    bool manual = false;
    if (manualMin(x.scaleControl) && std::isfinite(x.manualMin)) {
        lo = plotKey(s.dateTimeMode, x.manualMin);
        manual = true;
    }
    if (manualMax(x.scaleControl) && std::isfinite(x.manualMax)) {
        hi = plotKey(s.dateTimeMode, x.manualMax);
        manual = true;
    }
    // One key is one second in date-time mode. Data of a lone sample that
    // sets the range itself gets a minute each way, as a prepared chart's
    // does (ChartPreparation).
    const bool dates = s.dateTimeMode != DateTimeMode::sgNoDateTime;
    return drawableRange(lo, hi, !manual && !dataKeys.isEmpty() && dates ? 60.0 : 1.0);
}

QPair<double, double> yRange(const AxisSettings &axis, const Span &readings, const Span &limits)
{
    Span values = readings;
    if (values.isEmpty()) {
        values.lo = 0.0;
        values.hi = 1.0;
    }
    values.include(limits);
    double lo = values.lo;
    double hi = values.hi;
    const double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
    if (manualMin(axis.scaleControl) && std::isfinite(axis.manualMin))
        lo = axis.manualMin;
    if (manualMax(axis.scaleControl) && std::isfinite(axis.manualMax))
        hi = axis.manualMax;
    return drawableRange(lo, hi, 1.0);
}

} // namespace ChartLayout
