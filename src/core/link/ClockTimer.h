#pragma once

#include "core/link/MonotonicClock.h"

#include <QObject>

// A timer on a MonotonicClock: what QTimer is to the real clock, so a flow
// that repeats (the live poll) runs on a FakeClock in tests.
class ClockTimer : public QObject
{
    Q_OBJECT
public:
    explicit ClockTimer(const MonotonicClock &clock, QObject *parent = nullptr);

    void setInterval(int ms) { m_interval = ms; }
    int interval() const { return m_interval; }
    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    bool isActive() const { return m_active; }

    // (Re)starts the timer: the first timeout comes one interval from now.
    void start();
    void stop();

Q_SIGNALS:
    void timeout();

private:
    void arm(qint64 due);

    const MonotonicClock &m_clock;
    int m_interval = 0;
    bool m_singleShot = false;
    bool m_active = false;
    quint64 m_generation = 0;
    qint64 m_due = 0;
};
