#pragma once

#include "core/data/AlarmLimits.h"

#include <QString>

#include <span>

class DateTimeText;

// Calibration offsets: a correction added to each channel's readings for the
// display, the statistics, the limits, the exports and the reports. The raw
// readings stay as downloaded: the archive and the collection files never see
// a correction. The temperature offset is a difference in `unit`, and turns
// into the other unit by 9/5 (no 32 added).
struct CalibrationOffsets
{
    double humidity = 0.0;      // %RH
    double temperature = 0.0;   // in unit
    TemperatureUnit unit = TemperatureUnit::Celsius;

    bool any() const { return humidity != 0.0 || temperature != 0.0; }
    // The offsets for readings in `to`.
    CalibrationOffsets in(TemperatureUnit to) const;
    friend bool operator==(const CalibrationOffsets &, const CalibrationOffsets &) = default;
};

namespace Calibration {

// Offsets beyond +-100 are refused (no logger is that far off).
bool isValidOffset(double offset);

// A reading with the offset added; an out-of-range marker (beyond +-3000)
// as it is.
inline float corrected(float v, double offset)
{
    return v > -3000.0f && v < 3000.0f ? float(double(v) + offset) : v;
}

// Adds `offset` to every reading inside +-3000; the out-of-range markers
// (OL, +-9999) stay markers.
void apply(std::span<float> readings, double offset);

// "temperature +0.50 C, humidity -1.00 %RH" (the channels with an offset), or
// empty without any.
QString text(const CalibrationOffsets &offsets, const DateTimeText &texts);

} // namespace Calibration
