#include "core/watch/WatchRules.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <limits>

Result<qint64> parseDuration(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,12})\\s*(ms|s|min|h)\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return fail(ErrorCode::Usage,
                    QStringLiteral("\"%1\" is no duration; write a whole number and a unit, such as 60s, 2min or 1h.")
                        .arg(text));
    const qint64 n = m.captured(1).toLongLong();
    const QString unit = m.captured(2);
    const qint64 factor = unit == u"ms" ? 1 : unit == u"s" ? 1000 : unit == u"min" ? 60000 : 3600000;
    // At most about a century, so no sum of durations and times overflows.
    if (n > std::numeric_limits<qint64>::max() / 4 / factor || n * factor > qint64(100) * 366 * 86400000)
        return fail(ErrorCode::Usage, QStringLiteral("The duration \"%1\" is too long.").arg(text));
    return n * factor;
}

QString utcText(const QDateTime &utc)
{
    return utc.toUTC().toString(Qt::ISODateWithMs);
}

int localOffsetSeconds(const QDateTime &utc)
{
    return utc.toTimeZone(QTimeZone::systemTimeZone()).offsetFromUtc();
}

QString WatchEvent::kindName() const
{
    switch (kind) {
    case WatchEventKind::Breach: return QStringLiteral("breach");
    case WatchEventKind::StillBreached: return QStringLiteral("still_breached");
    case WatchEventKind::Within: return QStringLiteral("within");
    case WatchEventKind::Silent: return QStringLiteral("silent");
    case WatchEventKind::Back: return QStringLiteral("back");
    case WatchEventKind::RecordingStarted: return QStringLiteral("recording_started");
    case WatchEventKind::RecordingStopped: return QStringLiteral("recording_stopped");
    }
    return {};
}

QString WatchEvent::channelName() const
{
    return channel == 0 ? QStringLiteral("humidity") : channel == 1 ? QStringLiteral("temperature") : QString();
}

namespace {
QJsonValue optional(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}
} // namespace

QJsonObject WatchEvent::toJson() const
{
    return {
        {QStringLiteral("kind"), kindName()},
        {QStringLiteral("time"), utcText(utc)},
        {QStringLiteral("utc_offset_s"), localOffsetSeconds(utc)},
        {QStringLiteral("channel"), channel < 0 ? QJsonValue() : QJsonValue(channelName())},
        {QStringLiteral("value"), optional(value)},
        {QStringLiteral("limit"), optional(limit)},
        {QStringLiteral("unit"), channel == 0 ? QStringLiteral("%") : unit},
    };
}

QString WatchEvent::sentence() const
{
    const QString when = utc.toTimeZone(QTimeZone::systemTimeZone()).toString(Qt::ISODate);
    const QString what = channel == 0 ? QStringLiteral("Humidity") : QStringLiteral("Temperature");
    const QString u = channel == 0 ? QStringLiteral(" %") : unit.isEmpty() ? QString() : u' ' + unit;
    auto number = [](const std::optional<double> &v) { return v ? QString::number(*v, 'f', 1) : QStringLiteral("-"); };
    switch (kind) {
    case WatchEventKind::Breach:
    case WatchEventKind::StillBreached:
        return QStringLiteral("%1 %2%3 is %4 the limit %5%3 (%6)%7.")
            .arg(what, number(value), u, value && limit && *value > *limit ? QStringLiteral("above") : QStringLiteral("below"),
                 number(limit), when, kind == WatchEventKind::StillBreached ? QStringLiteral(", still") : QString());
    case WatchEventKind::Within:
        return QStringLiteral("%1 %2%3 is back within the limits (%4).").arg(what, number(value), u, when);
    case WatchEventKind::Silent:
        return QStringLiteral("The meter stopped answering (%1).").arg(when);
    case WatchEventKind::Back:
        return QStringLiteral("The meter answers again (%1).").arg(when);
    case WatchEventKind::RecordingStarted:
        return QStringLiteral("The logger started recording (%1).").arg(when);
    case WatchEventKind::RecordingStopped:
        return QStringLiteral("The logger stopped recording (%1).").arg(when);
    }
    return {};
}

void ChannelSummary::add(double v)
{
    if (count == 0) {
        min = max = v;
    } else {
        min = qMin(min, v);
        max = qMax(max, v);
    }
    sum += v;
    ++count;
}

QJsonObject WatchPeriod::toJson() const
{
    auto channel = [](const ChannelSummary &c) {
        return QJsonObject{{QStringLiteral("min"), c.count ? QJsonValue(c.min) : QJsonValue()},
                           {QStringLiteral("max"), c.count ? QJsonValue(c.max) : QJsonValue()},
                           {QStringLiteral("mean"), optional(c.mean())}};
    };
    return {{QStringLiteral("kind"), QStringLiteral("period")},
            {QStringLiteral("time"), utcText(startUtc)},
            {QStringLiteral("utc_offset_s"), localOffsetSeconds(startUtc)},
            {QStringLiteral("seconds"), seconds},
            {QStringLiteral("readings"), readings},
            {QStringLiteral("unit"), unit},
            {QStringLiteral("humidity"), channel(channels[0])},
            {QStringLiteral("temperature"), channel(channels[1])}};
}

WatchRules::WatchRules(const WatchSettings &settings, const WatchClock &clock)
    : m_settings(settings)
    , m_clock(clock)
    , m_start(clock.now())
    , m_periodStartMs(m_start.ms)
    , m_lastReadingMs(m_start.ms)
{
    m_settings.recordEveryMs = qMax<qint64>(m_settings.recordEveryMs, 1);
}

void WatchRules::setLimits(const WatchSettings &settings)
{
    m_settings.limits[0] = settings.limits[0];
    m_settings.limits[1] = settings.limits[1];
}

WatchEvent WatchRules::event(WatchEventKind kind, const WatchInstant &at, int channel) const
{
    WatchEvent e;
    e.kind = kind;
    e.utc = at.utc;
    e.channel = channel;
    e.unit = m_unit;
    return e;
}

QList<WatchEvent> WatchRules::reading(const LiveReading &r)
{
    const WatchInstant at = m_clock.now();
    QList<WatchEvent> out;
    // A reading after the end of a period belongs to the next one.
    m_pending += closeEnded(at.ms);
    if (r.unit != LiveUnit::None)
        m_unit = unitText(r.unit);
    if (m_silent) {
        m_silent = false;
        out << event(WatchEventKind::Back, at);
    }
    m_lastReadingMs = at.ms;
    if (m_recording && *m_recording != r.recording)
        out << event(r.recording ? WatchEventKind::RecordingStarted : WatchEventKind::RecordingStopped, at);
    m_recording = r.recording;

    if (m_period.readings == 0)
        m_period.unit = m_unit;
    ++m_period.readings;
    m_period.channels[0].add(r.humidity);
    m_period.channels[1].add(r.temperature);
    checkChannel(0, r.humidity, at, out);
    checkChannel(1, r.temperature, at, out);
    return out;
}

void WatchRules::checkChannel(int channel, double value, const WatchInstant &at, QList<WatchEvent> &out)
{
    const ChannelLimits &limits = m_settings.limits[channel];
    ChannelState &s = m_channels[channel];
    const float v = float(value);
    const bool above = limits.isAbove(v);
    const bool outside = above || limits.isBelow(v);
    s.value = value;
    if (!outside) {
        if (s.phase == ChannelState::Phase::Breached) {
            WatchEvent e = event(WatchEventKind::Within, at, channel);
            e.value = value;
            e.limit = s.limit;
            out << e;
        }
        s.phase = ChannelState::Phase::Within;
        return;
    }
    s.limit = above ? limits.high : limits.low;
    if (s.phase == ChannelState::Phase::Within) {
        s.phase = ChannelState::Phase::Outside;
        s.outsideSinceMs = at.ms;
    }
    if (s.phase == ChannelState::Phase::Outside && at.ms - s.outsideSinceMs >= m_settings.delayMs) {
        s.phase = ChannelState::Phase::Breached;
        s.toldMs = at.ms;
        WatchEvent e = event(WatchEventKind::Breach, at, channel);
        e.value = value;
        e.limit = s.limit;
        out << e;
    }
}

QList<WatchEvent> WatchRules::tick()
{
    const WatchInstant at = m_clock.now();
    QList<WatchEvent> out;
    if (!m_silent && at.ms - m_lastReadingMs >= m_settings.silentAfterMs) {
        m_silent = true;
        out << event(WatchEventKind::Silent, at);
        // Minutes without readings are not minutes outside: the delay counts
        // afresh once the meter answers again.
        for (ChannelState &s : m_channels)
            if (s.phase == ChannelState::Phase::Outside)
                s.phase = ChannelState::Phase::Within;
    }
    for (int c = 0; c < 2; ++c) {
        ChannelState &s = m_channels[c];
        if (s.phase == ChannelState::Phase::Breached && !m_silent && m_settings.repeatEveryMs > 0
            && at.ms - s.toldMs >= m_settings.repeatEveryMs) {
            s.toldMs = at.ms;
            WatchEvent e = event(WatchEventKind::StillBreached, at, c);
            e.value = s.value;
            e.limit = s.limit;
            out << e;
        }
    }
    return out;
}

WatchPeriod WatchRules::periodFrom(qint64 startMs, qint64 endMs) const
{
    WatchPeriod p = m_period;
    p.startUtc = m_start.utc.addMSecs(startMs - m_start.ms);
    p.seconds = (endMs - startMs + 500) / 1000;
    return p;
}

QList<WatchPeriod> WatchRules::closeEnded(qint64 nowMs)
{
    QList<WatchPeriod> out;
    while (nowMs - m_periodStartMs >= m_settings.recordEveryMs) {
        const qint64 end = m_periodStartMs + m_settings.recordEveryMs;
        out << periodFrom(m_periodStartMs, end);
        m_period = {};
        m_periodStartMs = end;
    }
    return out;
}

QList<WatchPeriod> WatchRules::endedPeriods()
{
    QList<WatchPeriod> out = std::exchange(m_pending, {});
    out += closeEnded(m_clock.now().ms);
    return out;
}

std::optional<WatchPeriod> WatchRules::partialPeriod()
{
    if (m_period.readings == 0)
        return std::nullopt;
    WatchPeriod p = periodFrom(m_periodStartMs, m_clock.now().ms);
    m_period = {};
    return p;
}
