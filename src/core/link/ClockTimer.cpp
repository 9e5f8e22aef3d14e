#include "core/link/ClockTimer.h"

ClockTimer::ClockTimer(const MonotonicClock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
}

void ClockTimer::start()
{
    m_active = true;
    arm(m_clock.nowMs() + m_interval);
}

void ClockTimer::stop()
{
    m_active = false;
    ++m_generation; // the call already asked for finds itself outdated
}

void ClockTimer::arm(qint64 due)
{
    m_due = due;
    const quint64 generation = ++m_generation;
    m_clock.callAfter(due - m_clock.nowMs(), this, [this, generation] {
        if (generation != m_generation || !m_active)
            return;
        if (m_singleShot)
            m_active = false;
        else
            // Ticks keep their beat; ticks missed while the thread was busy
            // are dropped, not fired in a burst.
            arm(m_due + m_interval > m_clock.nowMs() ? m_due + m_interval : m_clock.nowMs() + m_interval);
        Q_EMIT timeout();
    });
}
