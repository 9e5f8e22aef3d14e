#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QtGlobal>

#include <functional>
#include <map>
#include <utility>

class QObject;

// The clock every protocol deadline and pause reads: monotonic, so setting the
// PC's clock back never stretches a wait. The meter flows wait by asking the
// clock to call them back (callAfter), never by blocking, so a FakeClock runs
// their timing rules of seconds in microseconds.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowMs() const = 0;
    // Calls f from the event loop once ms have passed on this clock; dropped
    // when context is destroyed first.
    virtual void callAfter(qint64 ms, QObject *context, std::function<void()> f) const = 0;

    // The process-wide real clock.
    static const MonotonicClock &system();
};

class ElapsedClock final : public MonotonicClock
{
public:
    ElapsedClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }
    void callAfter(qint64 ms, QObject *context, std::function<void()> f) const override;

private:
    QElapsedTimer m_timer;
};

// Time that moves only when told. The calls due on the way fire in time order
// (calls due at the same time in the order they were made), each with the
// clock standing at its due time.
class FakeClock final : public MonotonicClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void callAfter(qint64 ms, QObject *context, std::function<void()> f) const override;

    void advance(qint64 ms);
    // Moves to ms (never back), firing what falls due on the way.
    void set(qint64 ms);
    // Moves to the next pending call and fires it; false when none is pending.
    bool fireNext();
    // Fires pending calls until done() holds or limitMs have passed on this
    // clock; returns done().
    bool runUntil(const std::function<bool()> &done, qint64 limitMs);
    int pendingCalls() const { return int(m_calls.size()); }
    // When the next pending call is due; -1 when none is pending.
    qint64 nextDue() const { return m_calls.empty() ? -1 : m_calls.begin()->first.first; }

private:
    struct Call
    {
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> f;
    };

    qint64 m_now = 0;
    mutable quint64 m_order = 0;
    // By due time, then by the order they were asked for.
    mutable std::map<std::pair<qint64, quint64>, Call> m_calls;
};
