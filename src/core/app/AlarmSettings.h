#pragma once

#include "core/base/Result.h"
#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"

#include <QString>

// The alarm limits and the activation energy of the mean kinetic temperature,
// kept from one run to the next in "ini/limits.ini" under the program folder
// (a file of their own: the settings file keeps its four lines). Channel 0 is
// the humidity, channel 1 the temperature, as in the charts. The temperature
// limits are kept in the unit they were entered in and converted for a data
// set in the other unit.
//
// Beside them the alarm rules of each channel (warning levels, the delay and
// its kind: WarningLow, WarningHigh, DelayMinutes, Delay=consecutive|total)
// and the calibration offsets, in [Calibration] (Humidity, Temperature, Unit).
// A key is written only when it is set, so a file without them stays as it
// was. The offsets are the program's; a logger's own can later go in a
// [Calibration/SERIAL] group read before this one.
class AlarmSettings
{
public:
    // The limits of the program data folder programFolder (not read yet).
    explicit AlarmSettings(const QString &programFolder);

    ChannelLimits limits[2];
    TemperatureUnit temperatureUnit = TemperatureUnit::Celsius;
    double activationEnergy = KineticTemperature::DefaultActivationEnergy;
    CalibrationOffsets offsets;

    // The offsets for a data set in setUnit (a data file: as entered).
    CalibrationOffsets offsetsFor(std::optional<TemperatureUnit> setUnit) const;

    // The limits of a channel for a data set in setUnit; a set whose unit is
    // not known (a data file) takes the temperature limits as they are.
    ChannelLimits limitsFor(int channel, std::optional<TemperatureUnit> setUnit) const;
    // Sets a channel's limits as entered for a data set in unit.
    void setLimits(int channel, const ChannelLimits &entered, std::optional<TemperatureUnit> unit);

    QString filePath() const;

    // Reads the file; a missing or unreadable file keeps no limits and the
    // default activation energy. A value that is no finite number is left
    // unset, a low limit above the high one drops both, and an activation
    // energy out of range becomes the default.
    void load();
    // Writes the file anew (atomically). When the folder cannot be created or
    // the file cannot be written, nothing changes on disk and the failure
    // holds the message for the user.
    Result<> save() const;

    friend bool operator==(const AlarmSettings &a, const AlarmSettings &b)
    {
        return a.limits[0] == b.limits[0] && a.limits[1] == b.limits[1] && a.temperatureUnit == b.temperatureUnit
            && a.activationEnergy == b.activationEnergy && a.offsets == b.offsets;
    }

private:
    QString m_programFolder;
};
