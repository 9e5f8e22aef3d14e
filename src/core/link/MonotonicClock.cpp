#include "core/link/MonotonicClock.h"

const MonotonicClock &MonotonicClock::system()
{
    static const ElapsedClock clock;
    return clock;
}
