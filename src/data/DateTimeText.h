#pragma once

#include <QDateTime>

// The framework date-time: days since 1899-12-30 as a double, the fraction
// being the time of day. Naive local time: no time-zone conversion, so a DST
// gap never shifts a sample.
namespace FrameworkTime {

constexpr double SecondsPerDay = 86400.0;

double fromDateTime(const QDateTime &dt);
QDateTime toDateTime(double days);

} // namespace FrameworkTime
