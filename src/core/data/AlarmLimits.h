#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <initializer_list>
#include <span>
#include <vector>

class DateTimeText;

// A low and a high alarm limit of one channel, each optional. A reading is
// above when v > high and below when v < low, compared in single precision as
// the readings are kept, so a limit typed as "25.3" meets a reading of 25.3.
// The out-of-range markers take part: 9999 lies above any high limit, -9999
// below any low limit.
//
// As loggers in the field do, a limit may count as breached only after a
// delay: `delayMinutes` outside in one stretch (Consecutive) or in all
// (Total); 0 breaches at the first sample outside. The warning levels are a
// second, earlier pair of limits under the same delay.
enum class AlarmDelay { Consecutive, Total };

struct ChannelLimits
{
    ChannelLimits() = default;
    ChannelLimits(std::optional<double> lowLimit, std::optional<double> highLimit)
        : low(lowLimit)
        , high(highLimit)
    {
    }

    std::optional<double> low;
    std::optional<double> high;
    std::optional<double> warningLow;
    std::optional<double> warningHigh;
    qint64 delayMinutes = 0;
    AlarmDelay delay = AlarmDelay::Consecutive;

    bool isSet() const { return low.has_value() || high.has_value(); }
    bool hasWarning() const { return warningLow.has_value() || warningHigh.has_value(); }
    // A delay or warning levels: breaches are worth telling beside the counts.
    bool hasRules() const { return delayMinutes > 0 || hasWarning(); }
    bool isAbove(float v) const { return high && v > float(*high); }
    bool isBelow(float v) const { return low && v < float(*low); }
    friend bool operator==(const ChannelLimits &, const ChannelLimits &) = default;
};

// The samples of one side of the limits (above the high or below the low one).
struct LimitSide
{
    qint64 count = 0;            // samples on this side
    qint64 seconds = 0;          // count x the sampling interval
    qint64 excursions = 0;       // maximal runs of consecutive samples on this side
    // The longest run (the first met among equals); longestLength is 0 without one.
    qint64 longestLength = 0;
    qsizetype longestFirst = -1; // index of its first sample
    double longestStart = 0.0;   // time of its first sample
    qint64 longestSeconds = 0;   // run length x the sampling interval
};

// How one channel's samples lie against its limits.
struct LimitStatistics
{
    ChannelLimits limits;
    qsizetype samples = 0;
    qint64 intervalSeconds = 0;
    LimitSide above;
    LimitSide below;
    // Share of samples within the limits; empty without samples.
    std::optional<double> withinPercent;
};

// When a limit first counted as breached under the channel's delay.
struct Breach
{
    bool breached = false;
    qsizetype index = -1;   // the sample at which the delay ran out
    double time = 0.0;
    qint64 secondsOutside = 0;   // samples outside x the sampling interval, in all
};

struct ChannelBreaches
{
    Breach alarmAbove, alarmBelow;
    Breach warningAbove, warningBelow;
};

// The temperature unit of a data set.
enum class TemperatureUnit { Celsius, Fahrenheit };

namespace AlarmLimits {

// Counts, durations and excursions of readings y (times x, in the same order)
// against the limits; intervalSeconds is the data set's sampling interval.
LimitStatistics evaluate(std::span<const double> x, std::span<const float> y, const ChannelLimits &limits,
                         qint64 intervalSeconds);

// The breaches of the alarm and warning levels under the delay of `limits`.
// A run of k samples lasts k x intervalSeconds, as in evaluate(); without an
// interval every sample counts as one breach-worthy reading.
ChannelBreaches breaches(std::span<const double> x, std::span<const float> y, const ChannelLimits &limits,
                         qint64 intervalSeconds);

// "at 01/03/2009 10:06:00 (0:40:00 outside)", "0:05:00 outside, within the
// delay" or "none".
QString breachText(const Breach &b, const DateTimeText &texts);
// "30 min consecutive", "30 min in total" or "none".
QString delayText(const ChannelLimits &limits);
// The breaches of each level that is set, for the panel, the report and the
// command line: "alarm above at ... (0:40:00 outside); warning above none;
// delay 30 min consecutive".
QString breachesText(const ChannelLimits &limits, const ChannelBreaches &b, const DateTimeText &texts);

// A limit entered for another unit, in this one (Celsius to Fahrenheit and back).
ChannelLimits converted(const ChannelLimits &limits, TemperatureUnit from, TemperatureUnit to);

// Texts for the panel, the report and the command line.
// "2.0 to 8.0", "up to 8.0", "from 2.0", or "none".
QString limitsText(const ChannelLimits &limits, const DateTimeText &texts);
// A duration as "H:MM:SS", with "N d " before it from one day on.
QString durationText(qint64 seconds);
// "12 samples, 0:12:00, 3 excursions, longest 0:06:00 from 01/03/2009 10:00:00",
// or "none".
QString sideText(const LimitSide &side, const DateTimeText &texts);
// "97.5 %", or "****" without samples.
QString withinText(const LimitStatistics &s, const DateTimeText &texts);

} // namespace AlarmLimits

// Mean kinetic temperature: the single temperature that would degrade a
// product as much as the readings did,
//   MKT = (dH/R) / -ln((1/n) x sum(exp(-dH / (R x T_i)))),   T_i in kelvin.
namespace KineticTemperature {

// J/(mol K).
constexpr double GasConstant = 8.3144621;
// kJ/mol; with the gas constant above dH/R is 10,000 K.
constexpr double DefaultActivationEnergy = 83.144;

// Activation energies outside (0, 10,000] kJ/mol are refused.
bool isValidActivationEnergy(double kiloJoulePerMole);

// The MKT of readings in `unit`, in that unit. Readings outside (-3000, 3000)
// (the out-of-range markers) and readings at or below absolute zero are left
// out; empty when none is left or the activation energy is not valid. Computed
// in double precision, with the sum scaled by its largest term so that no
// exponential under- or overflows.
std::optional<double> compute(std::span<const float> y, TemperatureUnit unit,
                              double activationEnergy = DefaultActivationEnergy);

// The worst (hottest) mean kinetic temperature over any `windowSeconds` of a
// run, each sample weighted by its interval (the time to the next sample, the
// run's sampling interval for the last one). A window holds the samples whose
// intervals lie inside it. Found with a rolling sum of the exponential terms,
// so one pass whatever the window. `tooShort` when the run covers less than
// the window (then no value).
struct WindowMkt
{
    bool tooShort = true;
    std::optional<double> mkt;
    double start = 0.0;   // time of the window's first sample
};
// "12.3 C from 01/03/2009 10:00:00" (unitSuffix " C"), "run shorter than
// 24 h" (windowName "24 h"), or "****" without a value.
QString windowText(const WindowMkt &w, const QString &unitSuffix, const QString &windowName,
                   const DateTimeText &texts);

constexpr qint64 DaySeconds = 24 * 3600;
constexpr qint64 MonthSeconds = 30 * DaySeconds;
// One result per window length, the terms taken once for all of them.
std::vector<WindowMkt> worstWindows(std::span<const double> x, std::span<const float> y, TemperatureUnit unit,
                                    double activationEnergy, qint64 intervalSeconds,
                                    std::initializer_list<qint64> windowSeconds = {DaySeconds, MonthSeconds});

double toKelvin(double reading, TemperatureUnit unit);
double fromKelvin(double kelvin, TemperatureUnit unit);

} // namespace KineticTemperature
