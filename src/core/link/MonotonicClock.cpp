#include "core/link/MonotonicClock.h"

#include <QTimer>

#include <algorithm>
#include <limits>

const MonotonicClock &MonotonicClock::system()
{
    static const ElapsedClock clock;
    return clock;
}

void ElapsedClock::callAfter(qint64 ms, QObject *context, std::function<void()> f) const
{
    const int delay = int(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max()));
    QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(f));
}

void FakeClock::callAfter(qint64 ms, QObject *context, std::function<void()> f) const
{
    m_calls.emplace(std::make_pair(m_now + std::max<qint64>(0, ms), m_order++),
                    Call{context, context != nullptr, std::move(f)});
}

bool FakeClock::fireNext()
{
    if (m_calls.empty())
        return false;
    const auto it = m_calls.begin();
    const qint64 due = it->first.first;
    Call call = std::move(it->second);
    m_calls.erase(it);
    m_now = std::max(m_now, due);
    if (!call.hasContext || call.context)
        call.f();
    return true;
}

void FakeClock::advance(qint64 ms)
{
    set(m_now + std::max<qint64>(0, ms));
}

void FakeClock::set(qint64 ms)
{
    while (!m_calls.empty() && m_calls.begin()->first.first <= ms)
        fireNext();
    m_now = std::max(m_now, ms);
}

bool FakeClock::runUntil(const std::function<bool()> &done, qint64 limitMs)
{
    const qint64 limit = m_now + limitMs;
    while (!done()) {
        if (m_calls.empty() || m_calls.begin()->first.first > limit)
            return done();
        fireNext();
    }
    return true;
}
