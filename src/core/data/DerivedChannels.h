#pragma once

#include "core/data/AlarmLimits.h"
#include "core/data/Statistics.h"

#include <QString>

#include <cmath>
#include <limits>
#include <vector>

// Dew point and absolute humidity from each sample's temperature and relative
// humidity, by the Magnus formula over water with Sonntag's (1990) constants:
//   e_s(t) = 6.112 hPa x exp(17.62 t / (243.12 + t)),  t in degrees Celsius,
//   dew point = 243.12 g / (17.62 - g),  g = ln(RH/100) + 17.62 t / (243.12 + t),
//   absolute humidity = 216.7 x (RH/100) e_s(t) / (273.15 + t)  g/m^3.
// Stated within 0.1 K of the exact saturation curve from -45 to 60 C.
namespace Humidity {

// No value: a marker reading (OL, +-9999), no humidity at all, or a
// temperature the formula does not cover.
inline constexpr float NoValue = std::numeric_limits<float>::quiet_NaN();

// From a temperature in Celsius and a relative humidity in percent; NaN when
// there is no value.
double dewPointCelsius(double celsius, double relativeHumidity);
double absoluteHumidity(double celsius, double relativeHumidity);

// The two derived channels of a data set, in the set's temperature unit (the
// dew point) and g/m^3 (the absolute humidity); NoValue where a sample gives
// none. series() offers them to the statistics as channel 0 (dew point) and
// channel 1 (absolute humidity), on the set's times.
struct DerivedSeries
{
    std::vector<float> dewPoint;
    std::vector<float> absolute;
    std::span<const double> x;

    ChartSeries series() const;
};

DerivedSeries derive(const ChartSeries &series, TemperatureUnit unit);

// Statistics::wholeSet(derive(series, unit).series()), figure for figure,
// without the arrays of the derived channels: a whole set's statistics of
// millions of samples need no 8 bytes a sample.
SetStatistics wholeSet(const ChartSeries &series, TemperatureUnit unit);

// The whole-set boxes of a derived channel (0 dew point, 1 absolute
// humidity): as a reading channel's, "****" for extremes when no sample gives
// a value.
StatisticsTexts panelTexts(const SetStatistics &derived, int channel, const DateTimeText &texts);

// The one channel of derive() (0 dew point, 1 absolute humidity).
float derivedValue(int channel, float humidity, float temperature, TemperatureUnit unit);

} // namespace Humidity
