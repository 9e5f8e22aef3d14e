#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// The clock every protocol deadline reads: monotonic, so setting the PC's clock
// back never stretches a wait. Tests give the packet exchange a FakeClock and
// a port that advances it, so the retry rules run in microseconds.
class MonotonicClock
{
public:
    virtual ~MonotonicClock() = default;
    virtual qint64 nowMs() const = 0;

    // The process-wide real clock.
    static const MonotonicClock &system();
};

class ElapsedClock final : public MonotonicClock
{
public:
    ElapsedClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

class FakeClock final : public MonotonicClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }
    void set(qint64 ms) { m_now = ms; }

private:
    qint64 m_now = 0;
};
