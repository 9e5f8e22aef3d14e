#pragma once

#include <QString>

#include <cmath>
#include <span>

class DateTimeText;

// The arrays of a data view's chart, in point order: X of each subset
// (date-times) and Y of each subset (readings); subset 0 is the humidity,
// subset 1 the temperature.
struct ChartSeries
{
    std::span<const double> x[2];
    std::span<const float> y[2];

    qsizetype points() const;
    // The points without the padding a short data file's chart ends with
    // (time 0 and the missing marker 9999 on both channels): the samples the
    // file really holds.
    qsizetype filledPoints() const;
    // The first n points (at most all of them).
    ChartSeries first(qsizetype n) const;
};

struct ChannelStatistics
{
    float maximum = -9999.0f;
    double maximumTime = 0.0;
    float minimum = 9999.0f;
    double minimumTime = 0.0;
    qint64 count = 0;       // readings inside +-3000, the ones averaged
    float average = 0.0f;   // meaningful when count > 0
};

// The whole-set figures of the statistics panel.
struct SetStatistics
{
    qsizetype points = 0;
    double first = 0.0;       // time of the first point (0 without points)
    qint64 rateSeconds = 0;   // estimated sampling interval
    ChannelStatistics channel[2];
};

// The figures between cursors A and B, both included.
struct CursorStatistics
{
    bool valid = false;       // false without points
    qsizetype indexA = 0;
    qsizetype indexB = 0;
    float valueA = 0.0f;
    double timeA = 0.0;
    float valueB = 0.0f;
    double timeB = 0.0;
    float maximum = -99999.0f;
    double maximumTime = 0.0;
    float minimum = 99999.0f;
    double minimumTime = 0.0;
    double average = 0.0;
};

// The texts of the panel's boxes for one channel.
struct StatisticsTexts
{
    QString startTime;
    QString samplingRate;
    QString dataNo;
    QString maximum;   // "OL" or value "@" date-time
    QString minimum;
    QString average;   // "****" when nothing counts
};

struct CursorTexts
{
    QString cursorA, cursorATime;
    QString cursorB, cursorBTime;
    QString maxAB, maxABTime;
    QString minAB, minABTime;
    QString avgAB;
};

// The statistics of a data view, as plain functions over the chart's arrays,
// so the window, the command-line tool and the tests share them.
namespace Statistics {

// A reading that counts (the average, the archive's ranges): inside +-3000,
// so the out-of-range markers (+-9999, shown as "OL") do not.
constexpr float OutOfRange = 3000.0f;
constexpr bool isReading(float v)
{
    return v > -OutOfRange && v < OutOfRange;
}

// Maximum, minimum (ties keep the earliest sample; the out-of-range markers
// take part) and average (readings inside +-3000 only) of each channel, and
// the sampling rate estimated as the span over the intervals between points.
SetStatistics wholeSet(const ChartSeries &series);

// The figures of wholeSet() but the channels': the points, the first time and
// the sampling rate.
SetStatistics setFrame(const ChartSeries &series);

// One channel's figures of wholeSet(), taken a reading at a time in point
// order: for readings computed on the way (the derived channels) that need
// no array of their own. Each reading comes with its point's index; the
// times of the extremes are looked up once, at the end, so that a pass over
// millions of readings does not read their times as well.
class ChannelAccumulator
{
public:
    explicit ChannelAccumulator(ChannelStatistics &channel) : m_out(&channel), m_ch(channel) {}
    void add(float v, size_t index)
    {
        if (v > m_ch.maximum) {
            m_ch.maximum = v;
            m_maximumAt = index;
        }
        if (v < m_ch.minimum) {
            m_ch.minimum = v;
            m_minimumAt = index;
        }
        // isReading(v) in one comparison: NaN fails both.
        if (std::fabs(v) < OutOfRange) {
            m_sum += v;
            ++m_ch.count;
        }
    }
    // Joins the figures of the points after this one's, taken by an
    // accumulator made from the same starting figures: extremes as if its
    // readings had come after these, the sums added.
    void join(const ChannelAccumulator &later)
    {
        if (later.m_maximumAt != NoIndex && later.m_ch.maximum > m_ch.maximum) {
            m_ch.maximum = later.m_ch.maximum;
            m_maximumAt = later.m_maximumAt;
        }
        if (later.m_minimumAt != NoIndex && later.m_ch.minimum < m_ch.minimum) {
            m_ch.minimum = later.m_ch.minimum;
            m_minimumAt = later.m_minimumAt;
        }
        m_sum += later.m_sum;
        m_ch.count += later.m_ch.count;
    }
    // Sets the figures, the extremes' times from x (the points' times) and
    // the average; call once, after the last reading.
    void finish(std::span<const double> x)
    {
        if (m_maximumAt != NoIndex)
            m_ch.maximumTime = x[m_maximumAt];
        if (m_minimumAt != NoIndex)
            m_ch.minimumTime = x[m_minimumAt];
        if (m_ch.count != 0)
            m_ch.average = float(m_sum / double(m_ch.count));
        *m_out = m_ch;
    }

private:
    static constexpr size_t NoIndex = ~size_t(0);
    ChannelStatistics *m_out;
    // The figures so far, a copy of the caller's: kept apart from any other
    // memory, they stay in registers through a loop of add().
    ChannelStatistics m_ch;
    size_t m_maximumAt = NoIndex;
    size_t m_minimumAt = NoIndex;
    // A float sum drifts over a million samples; the average is kept in
    // single precision as before, the sum is not.
    double m_sum = 0.0;
};

// Between cursors A and B of channel t, in either order; every sample counts.
// The indices are kept inside the points.
CursorStatistics betweenCursors(const ChartSeries &series, int channel, qsizetype cursorA, qsizetype cursorB);

// Texts: "OL" for an extreme beyond +-3000, else one decimal "@" date-time.
QString extremeText(float value, double time, const DateTimeText &texts);
StatisticsTexts panelTexts(const SetStatistics &s, int channel, const DateTimeText &texts);
CursorTexts cursorTexts(const CursorStatistics &c, const DateTimeText &texts);
// The point line's text: time, " H:" humidity, " T:" temperature.
QString pointLineText(const ChartSeries &series, qsizetype index, const DateTimeText &texts);

} // namespace Statistics
