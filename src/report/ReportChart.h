#pragma once

#include "core/data/AlarmLimits.h"

#include <QRectF>

#include <span>

class DateTimeText;
class QPainter;
struct ReportData;

// The chart of a report: humidity above, temperature below, each on its own
// scale, in black so that it prints and copies well. Drawn with QPainter
// strokes, so it stays vector in a PDF; a long data set is thinned to the
// highest and lowest reading per hair's breadth of the plot, which looks the
// same and keeps the file small. Out-of-range markers are gaps. Alarm limits
// (by channel: humidity, temperature) are dashed lines, kept within the scale.
namespace ReportChart {

void paint(QPainter &painter, const QRectF &area, const ReportData &data, const DateTimeText &texts,
           std::span<const ChannelLimits> limits = {});

} // namespace ReportChart
