#include "core/data/AlarmLimits.h"

#include "core/data/DateTimeText.h"

#include <QStringList>
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

// Samples that last at least `delayMinutes`; one without a delay or interval.
qint64 samplesFor(qint64 delayMinutes, qint64 interval)
{
    if (delayMinutes <= 0 || interval <= 0)
        return 1;
    const qint64 seconds = delayMinutes > std::numeric_limits<qint64>::max() / 60
        ? std::numeric_limits<qint64>::max()
        : delayMinutes * 60;
    return std::max<qint64>(1, seconds / interval + (seconds % interval != 0 ? 1 : 0));
}

template<typename Outside>
Breach firstBreach(std::span<const double> x, std::span<const float> y, Outside outside, qint64 needed,
                   AlarmDelay delay, qint64 interval)
{
    Breach b;
    qint64 run = 0;
    qint64 total = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        if (!outside(y[i])) {
            run = 0;
            continue;
        }
        ++run;
        ++total;
        if (!b.breached && (delay == AlarmDelay::Consecutive ? run : total) >= needed) {
            b.breached = true;
            b.index = qsizetype(i);
            b.time = i < x.size() ? x[i] : 0.0;
        }
    }
    b.secondsOutside = duration(total, interval);
    return b;
}

} // namespace

ChannelBreaches breaches(std::span<const double> x, std::span<const float> y, const ChannelLimits &limits,
                         qint64 intervalSeconds)
{
    ChannelBreaches out;
    const qint64 interval = std::max<qint64>(intervalSeconds, 0);
    const qint64 needed = samplesFor(limits.delayMinutes, interval);
    const auto side = [&](const std::optional<double> &level, bool above) {
        if (!level)
            return Breach();
        const float limit = float(*level);
        if (above)
            return firstBreach(x, y, [limit](float v) { return v > limit; }, needed, limits.delay, interval);
        return firstBreach(x, y, [limit](float v) { return v < limit; }, needed, limits.delay, interval);
    };
    out.alarmAbove = side(limits.high, true);
    out.alarmBelow = side(limits.low, false);
    out.warningAbove = side(limits.warningHigh, true);
    out.warningBelow = side(limits.warningLow, false);
    return out;
}

QString breachText(const Breach &b, const DateTimeText &texts)
{
    if (b.breached)
        return QStringLiteral("at ") + texts.dateTime(b.time) + QStringLiteral(" (") + durationText(b.secondsOutside)
            + QStringLiteral(" outside)");
    if (b.secondsOutside > 0)
        return durationText(b.secondsOutside) + QStringLiteral(" outside, within the delay");
    return QStringLiteral("none");
}

QString delayText(const ChannelLimits &limits)
{
    if (limits.delayMinutes <= 0)
        return QStringLiteral("none");
    return QString::number(limits.delayMinutes)
        + (limits.delay == AlarmDelay::Total ? QStringLiteral(" min in total") : QStringLiteral(" min consecutive"));
}

QString breachesText(const ChannelLimits &limits, const ChannelBreaches &b, const DateTimeText &texts)
{
    QStringList parts;
    const auto add = [&](const std::optional<double> &level, const char *name, const Breach &breach) {
        if (level)
            parts << QLatin1String(name) + u' ' + breachText(breach, texts);
    };
    add(limits.high, "alarm above", b.alarmAbove);
    add(limits.low, "alarm below", b.alarmBelow);
    add(limits.warningHigh, "warning above", b.warningAbove);
    add(limits.warningLow, "warning below", b.warningBelow);
    parts << QStringLiteral("delay ") + delayText(limits);
    return parts.join(QStringLiteral("; "));
}

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
    ChannelLimits out = limits;
    out.low = convert(limits.low);
    out.high = convert(limits.high);
    out.warningLow = convert(limits.warningLow);
    out.warningHigh = convert(limits.warningHigh);
    return out;
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
