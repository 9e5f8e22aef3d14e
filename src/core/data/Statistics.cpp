#include "core/data/Statistics.h"

#include "core/base/Halves.h"
#include "core/data/DateTimeText.h"

#include <algorithm>
#include <cmath>

qsizetype ChartSeries::points() const
{
    return qsizetype(std::min({x[0].size(), x[1].size(), y[0].size(), y[1].size()}));
}

qsizetype ChartSeries::filledPoints() const
{
    constexpr float Missing = 9999.0f;
    qsizetype n = points();
    while (n > 0 && x[0][size_t(n - 1)] == 0.0 && y[0][size_t(n - 1)] == Missing && y[1][size_t(n - 1)] == Missing)
        --n;
    return n;
}

ChartSeries ChartSeries::first(qsizetype n) const
{
    const size_t k = size_t(std::clamp<qsizetype>(n, 0, points()));
    return {{x[0].first(k), x[1].first(k)}, {y[0].first(k), y[1].first(k)}};
}

namespace Statistics {

SetStatistics setFrame(const ChartSeries &series)
{
    SetStatistics s;
    s.points = series.points();
    if (s.points == 0)
        return s;
    s.first = series.x[0][0];
    if (s.points >= 2) {
        const double last = series.x[0][size_t(s.points - 1)];
        // Over the intervals between the points, not over the points; unfilled
        // points (time 0) at the end would make it negative.
        const double seconds = (last - s.first) / double(s.points - 1) * FrameworkTime::SecondsPerDay + 0.5;
        // Shown times span less than 4e11 s; the bound keeps any other value
        // from a conversion out of range.
        constexpr double Longest = (FrameworkTime::EndOfShownDays - FrameworkTime::FirstShownDay)
                                   * FrameworkTime::SecondsPerDay;
        s.rateSeconds = seconds > 0.0 ? qint64(std::floor(std::min(seconds, Longest))) : 0;
    }
    return s;
}

SetStatistics wholeSet(const ChartSeries &series)
{
    SetStatistics s = setFrame(series);
    // Both channels in one pass: each sum waits on its own addition before,
    // so two of them take the time of one. A long set in two halves, one
    // on each of two threads.
    ChannelAccumulator humidity[2] = {ChannelAccumulator(s.channel[0]), ChannelAccumulator(s.channel[0])};
    ChannelAccumulator temperature[2] = {ChannelAccumulator(s.channel[1]), ChannelAccumulator(s.channel[1])};
    const float *y0 = series.y[0].data();
    const float *y1 = series.y[1].data();
    Halves::run(size_t(s.points), [&](int k, size_t begin, size_t end) {
        ChannelAccumulator h = humidity[k];
        ChannelAccumulator t = temperature[k];
        for (size_t i = begin; i < end; ++i) {
            h.add(y0[i], i);
            t.add(y1[i], i);
        }
        humidity[k] = h;
        temperature[k] = t;
    });
    humidity[0].join(humidity[1]);
    temperature[0].join(temperature[1]);
    humidity[0].finish(series.x[0]);
    temperature[0].finish(series.x[1]);
    return s;
}

CursorStatistics betweenCursors(const ChartSeries &series, int channel, qsizetype cursorA, qsizetype cursorB)
{
    CursorStatistics c;
    const qsizetype points = series.points();
    if (points == 0)
        return c;
    c.valid = true;
    c.indexA = std::clamp<qsizetype>(cursorA, 0, points - 1);
    c.indexB = std::clamp<qsizetype>(cursorB, 0, points - 1);
    const std::span<const float> y = series.y[channel];
    const std::span<const double> x = series.x[channel];
    c.valueA = y[size_t(c.indexA)];
    c.timeA = x[size_t(c.indexA)];
    c.valueB = y[size_t(c.indexB)];
    c.timeB = x[size_t(c.indexB)];
    const qsizetype lo = std::min(c.indexA, c.indexB);
    const qsizetype hi = std::max(c.indexA, c.indexB);
    double sum = 0.0;
    qsizetype counted = 0;
    for (qsizetype i = lo; i <= hi; ++i) {
        const float v = y[size_t(i)];
        // A derived channel holds NaN where a sample gives no value.
        if (!std::isnan(v)) {
            sum += v;
            ++counted;
        }
        if (v > c.maximum) {
            c.maximum = v;
            c.maximumTime = x[size_t(i)];
        }
        if (v < c.minimum) {
            c.minimum = v;
            c.minimumTime = x[size_t(i)];
        }
    }
    c.average = counted > 0 ? sum / double(counted) : std::nan("");
    return c;
}

QString extremeText(float value, double time, const DateTimeText &texts)
{
    if (value > OutOfRange || value < -OutOfRange)
        return QStringLiteral("OL");
    return texts.oneDecimal(value) + u'@' + texts.dateTime(time);
}

StatisticsTexts panelTexts(const SetStatistics &s, int channel, const DateTimeText &texts)
{
    StatisticsTexts t;
    const ChannelStatistics &ch = s.channel[channel];
    t.startTime = s.points > 0 ? texts.dateTime(s.first) : QString();
    t.samplingRate = DateTimeText::samplingRate(s.rateSeconds);
    t.dataNo = QString::number(s.points);
    t.maximum = extremeText(ch.maximum, ch.maximumTime, texts);
    t.minimum = extremeText(ch.minimum, ch.minimumTime, texts);
    t.average = ch.count == 0 ? QStringLiteral("****") : texts.threeDecimals(ch.average);
    return t;
}

CursorTexts cursorTexts(const CursorStatistics &c, const DateTimeText &texts)
{
    CursorTexts t;
    if (!c.valid)
        return t;
    // No value (a derived channel's NaN, or no extreme found among them): "****".
    const auto value = [&](double v) {
        return std::isnan(v) || std::abs(v) >= 99999.0 ? QStringLiteral("****") : texts.oneDecimal(v);
    };
    t.cursorA = value(c.valueA);
    t.cursorATime = texts.dateTime(c.timeA);
    t.cursorB = value(c.valueB);
    t.cursorBTime = texts.dateTime(c.timeB);
    const bool extremes = std::abs(c.maximum) < 99999.0f;
    t.maxAB = value(c.maximum);
    t.maxABTime = extremes ? texts.dateTime(c.maximumTime) : QString();
    t.minAB = value(c.minimum);
    t.minABTime = extremes ? texts.dateTime(c.minimumTime) : QString();
    t.avgAB = value(c.average);
    return t;
}

QString pointLineText(const ChartSeries &series, qsizetype index, const DateTimeText &texts)
{
    if (index < 0 || index >= series.points())
        return QString();
    return texts.longTime(series.x[0][size_t(index)]) + QLatin1String(" H:") + texts.oneDecimal(series.y[0][size_t(index)])
        + QLatin1String(" T:") + texts.oneDecimal(series.y[1][size_t(index)]);
}

} // namespace Statistics
