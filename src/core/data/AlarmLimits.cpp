#include "core/data/AlarmLimits.h"

#include "core/data/DateTimeText.h"

#include <QtNumeric>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace AlarmLimits {

namespace {

// Closes the run that ended before sample `end`.
void closeRun(LimitSide &side, qsizetype first, qsizetype end, std::span<const double> x)
{
    if (first < 0)
        return;
    ++side.excursions;
    const qint64 length = qint64(end - first);
    if (length > side.longestLength) {
        side.longestLength = length;
        side.longestFirst = first;
        side.longestStart = first < qsizetype(x.size()) ? x[size_t(first)] : 0.0;
    }
}

// A product past qint64 stays at its largest value rather than wrapping.
qint64 duration(qint64 samples, qint64 interval)
{
    qint64 seconds = 0;
    return qMulOverflow(samples, interval, &seconds) ? std::numeric_limits<qint64>::max() : seconds;
}

void finish(LimitSide &side, qint64 interval)
{
    side.seconds = duration(side.count, interval);
    side.longestSeconds = duration(side.longestLength, interval);
}

QString plural(qint64 n, const char *one, const char *many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

} // namespace

LimitStatistics evaluate(std::span<const double> x, std::span<const float> y, const ChannelLimits &limits,
                         qint64 intervalSeconds)
{
    LimitStatistics s;
    s.limits = limits;
    s.samples = qsizetype(y.size());
    s.intervalSeconds = std::max<qint64>(intervalSeconds, 0);
    // The limits as the readings are kept; a missing one is never crossed.
    const float high = limits.high ? float(*limits.high) : 0.0f;
    const float low = limits.low ? float(*limits.low) : 0.0f;
    const bool hasHigh = limits.high.has_value();
    const bool hasLow = limits.low.has_value();
    qsizetype aboveFrom = -1;
    qsizetype belowFrom = -1;
    for (qsizetype i = 0; i < s.samples; ++i) {
        const float v = y[size_t(i)];
        const bool above = hasHigh && v > high;
        const bool below = !above && hasLow && v < low;
        if (above) {
            ++s.above.count;
            if (aboveFrom < 0)
                aboveFrom = i;
        } else if (aboveFrom >= 0) {
            closeRun(s.above, aboveFrom, i, x);
            aboveFrom = -1;
        }
        if (below) {
            ++s.below.count;
            if (belowFrom < 0)
                belowFrom = i;
        } else if (belowFrom >= 0) {
            closeRun(s.below, belowFrom, i, x);
            belowFrom = -1;
        }
    }
    closeRun(s.above, aboveFrom, s.samples, x);
    closeRun(s.below, belowFrom, s.samples, x);
    finish(s.above, s.intervalSeconds);
    finish(s.below, s.intervalSeconds);
    if (s.samples > 0)
        s.withinPercent = 100.0 * double(s.samples - s.above.count - s.below.count) / double(s.samples);
    return s;
}

ChannelLimits converted(const ChannelLimits &limits, TemperatureUnit from, TemperatureUnit to)
{
    if (from == to)
        return limits;
    const auto convert = [&](std::optional<double> v) -> std::optional<double> {
        if (!v)
            return v;
        // Rounded to the thousandth so that 8 C -> 46.4 F -> 8 C comes back exact.
        const double out = KineticTemperature::fromKelvin(KineticTemperature::toKelvin(*v, from), to);
        return std::round(out * 1000.0) / 1000.0;
    };
    return {convert(limits.low), convert(limits.high)};
}

QString limitsText(const ChannelLimits &limits, const DateTimeText &texts)
{
    if (limits.low && limits.high)
        return texts.oneDecimal(*limits.low) + QStringLiteral(" to ") + texts.oneDecimal(*limits.high);
    if (limits.high)
        return QStringLiteral("up to ") + texts.oneDecimal(*limits.high);
    if (limits.low)
        return QStringLiteral("from ") + texts.oneDecimal(*limits.low);
    return QStringLiteral("none");
}

QString durationText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(rest / 3600)
                       .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(rest % 60, 2, 10, QLatin1Char('0'));
    if (days > 0)
        text.prepend(QString::number(days) + QStringLiteral(" d "));
    return text;
}

QString sideText(const LimitSide &side, const DateTimeText &texts)
{
    if (side.count == 0)
        return QStringLiteral("none");
    return plural(side.count, "sample", "samples") + QStringLiteral(", ") + durationText(side.seconds)
        + QStringLiteral(", ") + plural(side.excursions, "excursion", "excursions") + QStringLiteral(", longest ")
        + durationText(side.longestSeconds) + QStringLiteral(" from ") + texts.dateTime(side.longestStart);
}

QString withinText(const LimitStatistics &s, const DateTimeText &texts)
{
    if (!s.withinPercent)
        return QStringLiteral("****");
    return texts.oneDecimal(*s.withinPercent) + QStringLiteral(" %");
}

} // namespace AlarmLimits

namespace KineticTemperature {

namespace {
constexpr double ZeroCelsius = 273.15;
constexpr float OutOfRange = 3000.0f;
} // namespace

bool isValidActivationEnergy(double kiloJoulePerMole)
{
    return std::isfinite(kiloJoulePerMole) && kiloJoulePerMole > 0.0 && kiloJoulePerMole <= 10000.0;
}

double toKelvin(double reading, TemperatureUnit unit)
{
    const double celsius = unit == TemperatureUnit::Fahrenheit ? (reading - 32.0) * 5.0 / 9.0 : reading;
    return celsius + ZeroCelsius;
}

double fromKelvin(double kelvin, TemperatureUnit unit)
{
    const double celsius = kelvin - ZeroCelsius;
    return unit == TemperatureUnit::Fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

std::optional<double> compute(std::span<const float> y, TemperatureUnit unit, double activationEnergy)
{
    if (!isValidActivationEnergy(activationEnergy))
        return std::nullopt;
    const double ratio = activationEnergy * 1000.0 / GasConstant;   // dH/R in kelvin
    const auto counts = [](float v) { return v > -OutOfRange && v < OutOfRange; };

    // The hottest reading gives the largest term; every term is taken relative
    // to it, so the sum lies in [1, n] whatever the temperatures.
    qint64 n = 0;
    double hottest = 0.0;
    for (const float v : y) {
        if (!counts(v))
            continue;
        const double kelvin = toKelvin(double(v), unit);
        if (!(kelvin > 0.0))
            continue;
        ++n;
        hottest = std::max(hottest, kelvin);
    }
    if (n == 0)
        return std::nullopt;
    const double top = ratio / hottest;
    double sum = 0.0;
    // The meter resolves tenths, so a long set holds few distinct readings:
    // each one's term is kept in a small table instead of taken again.
    struct Term
    {
        float reading = std::numeric_limits<float>::quiet_NaN();   // equal to no reading
        double term = 0.0;
    };
    std::vector<Term> terms(4096);
    for (const float v : y) {
        if (!counts(v))
            continue;
        Term &slot = terms[(std::bit_cast<quint32>(v) * 2654435761u) >> 20];
        if (slot.reading == v) {
            sum += slot.term;
            continue;
        }
        const double kelvin = toKelvin(double(v), unit);
        if (!(kelvin > 0.0))
            continue;
        slot = {v, std::exp(top - ratio / kelvin)};
        sum += slot.term;
    }
    const double kelvin = ratio / (top - std::log(sum / double(n)));
    return fromKelvin(kelvin, unit);
}

} // namespace KineticTemperature
