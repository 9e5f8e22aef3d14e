#pragma once

#include "core/base/Result.h"
#include "core/data/AlarmLimits.h"
#include "core/live/LiveDecoder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Unattended monitoring of a meter: the rules that turn live readings (and
// their absence) into recorded periods and events. No port and no timer: the
// caller hands in each reading and ticks, and every time comes from a
// WatchClock, so a test drives hours of rules in microseconds.

// "60s", "2min", "1h", "500ms" (a whole number and its unit) as milliseconds.
Result<qint64> parseDuration(const QString &text);

// A moment as the rules see it: a steady count of milliseconds for the
// arithmetic (immune to clock changes) and the wall time it was, for the
// records.
struct WatchInstant
{
    qint64 ms = 0;
    QDateTime utc;
};

class WatchClock
{
public:
    virtual ~WatchClock() = default;
    virtual WatchInstant now() const = 0;
};

// The system's clocks: a monotonic timer and the UTC wall clock.
class SystemWatchClock final : public WatchClock
{
public:
    SystemWatchClock() { m_timer.start(); }
    WatchInstant now() const override { return {m_timer.elapsed(), QDateTime::currentDateTimeUtc()}; }

private:
    QElapsedTimer m_timer;
};

struct WatchSettings
{
    ChannelLimits limits[2];        // 0 humidity, 1 temperature (in the meter's unit)
    qint64 recordEveryMs = 60000;
    qint64 delayMs = 0;             // a limit counts as breached after this long outside
    qint64 silentAfterMs = 120000;
    qint64 repeatEveryMs = 3600000; // an ongoing breach is told again after this long
};

enum class WatchEventKind { Breach, StillBreached, Within, Silent, Back, RecordingStarted, RecordingStopped };

struct WatchEvent
{
    WatchEventKind kind = WatchEventKind::Breach;
    QDateTime utc;
    int channel = -1;                 // 0 humidity, 1 temperature, -1 none
    std::optional<double> value;      // the reading
    std::optional<double> limit;      // the limit it lies beyond (breach) or came back inside of
    QString unit;                     // "C", "F" or "" for the temperature

    QString kindName() const;          // "breach", "still_breached", "within", "silent", "back", ...
    QString channelName() const;       // "humidity", "temperature" or ""
    // The object the JSON line, the command's input and the MQTT message carry.
    QJsonObject toJson() const;
    // One sentence for people: "Temperature 9.1 C above the limit 8.0 since ...".
    QString sentence() const;
};

// One channel's readings over a period.
struct ChannelSummary
{
    qint64 count = 0;
    double min = 0.0;
    double max = 0.0;
    double sum = 0.0;
    void add(double v);
    std::optional<double> mean() const { return count ? std::optional<double>(sum / double(count)) : std::nullopt; }
};

// The readings of one recording period (the last one may be cut short by a stop).
struct WatchPeriod
{
    QDateTime startUtc;
    qint64 seconds = 0;
    qint64 readings = 0;
    QString unit;
    ChannelSummary channels[2];
    QJsonObject toJson() const;
};

// ISO 8601 UTC with the offset of the PC's zone at that moment beside it.
QString utcText(const QDateTime &utc);
int localOffsetSeconds(const QDateTime &utc);

class WatchRules
{
public:
    WatchRules(const WatchSettings &settings, const WatchClock &clock);

    // A reading just arrived: its events (back, recording changes, breaches).
    QList<WatchEvent> reading(const LiveReading &reading);
    // Called regularly (every poll): silence and reminders of an ongoing breach.
    QList<WatchEvent> tick();
    // The periods that have ended by now, oldest first (one may hold no reading).
    QList<WatchPeriod> endedPeriods();
    // The period under way, up to now (at a stop); empty when it holds no reading.
    std::optional<WatchPeriod> partialPeriod();

    // The limits in force from now on (the meter's unit became known).
    void setLimits(const WatchSettings &settings);
    const WatchSettings &settings() const { return m_settings; }
    QString unit() const { return m_unit; }
    QDateTime startUtc() const { return m_start.utc; }

private:
    struct ChannelState
    {
        enum class Phase { Within, Outside, Breached } phase = Phase::Within;
        qint64 outsideSinceMs = 0;
        qint64 toldMs = 0;
        std::optional<double> limit;
        double value = 0.0;
    };

    WatchEvent event(WatchEventKind kind, const WatchInstant &at, int channel = -1) const;
    void checkChannel(int channel, double value, const WatchInstant &at, QList<WatchEvent> &out);
    WatchPeriod periodFrom(qint64 startMs, qint64 endMs) const;
    QList<WatchPeriod> closeEnded(qint64 nowMs);

    WatchSettings m_settings;
    const WatchClock &m_clock;
    WatchInstant m_start;
    qint64 m_periodStartMs = 0;
    WatchPeriod m_period;
    QList<WatchPeriod> m_pending;
    qint64 m_lastReadingMs = 0;
    bool m_silent = false;
    std::optional<bool> m_recording;
    QString m_unit;
    ChannelState m_channels[2];
};
