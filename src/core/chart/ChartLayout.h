#pragma once

#include "core/chart/ChartState.h"

#include <QList>
#include <QPair>

#include <limits>

// The arithmetic of the chart's plot, apart from the drawing: which subsets
// share which stacked Y axis, how high each axis is, and the ranges the axes
// show. Plot keys are X as it is, or in date-time mode the seconds since
// 1970-01-01 of naive local time (shown as UTC, so no time-zone rule ever
// shifts a sample).

namespace ChartLayout {

constexpr double kUnixEpochDays = 25569.0; // days from 1899-12-30 to 1970-01-01
constexpr double kSecondsPerDay = 86400.0;

double plotKey(DateTimeMode mode, double x);
double plotX(DateTimeMode mode, double key);

// One stacked axis rect, top to bottom, and the subsets drawn on it.
struct AxisGroup
{
    QList<int> subsets;
    int axis = 0;             // the Y axis settings it takes (ChartModel::axis)
    double proportion = 1.0;  // its share of the plot's height, as a stretch factor
    bool operator==(const AxisGroup &) const = default;
};

// MultiAxesSubsets counts the subsets of each axis, from the top; an axis
// counting none is left out, and subsets beyond the counts join the last
// axis. Without an arrangement every subset shares one axis. A lone axis
// takes the settings of Y axis 0, whatever its number. The proportions are
// divided by their sum; an axis with none (or none above 0) gets an equal
// share, 1 / the number of axes.
QList<AxisGroup> groupSubsets(const ChartState &state);

// The smallest and largest of the values given, if any.
struct Span
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    bool isEmpty() const { return !(lo <= hi); }
    void include(double v);
    void include(const Span &other);
};

// A range from a to b, low end first; a range of no width is widened by
// `unit` at each end, since it cannot be mapped to pixels.
QPair<double, double> drawableRange(double a, double b, double unit = 1.0);

// The X range of every axis rect in plot keys: the keys of the data (or the
// first day when there is none), with the manual limits of the X axis in
// place of either end; one unit (one second in date-time mode) wider at each
// end when it has no width.
QPair<double, double> xRange(const ChartState &state, const Span &dataKeys);

// The Y range of one axis rect: its readings (0 to 1 when there are none)
// and its limit lines, with 5 % to spare, and the axis's manual limits in
// place of either end; one unit wider at each end when it has no width.
QPair<double, double> yRange(const AxisSettings &axis, const Span &readings, const Span &limits);

} // namespace ChartLayout
