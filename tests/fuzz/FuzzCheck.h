#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, so libFuzzer keeps
// the input as a reproducer, as it does for a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

#include <QList>

#include <cmath>

// Times of two loads of one image: a start date the logger got wrong is
// replaced by the clock's "now", which moves between the loads.
inline bool sameTimes(const QList<double> &a, const QList<double> &b)
{
    constexpr double Slack = 10.0 / 86400.0;   // 10 s, in days
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!(std::abs(a[i] - b[i]) <= Slack))
            return false;
    }
    return true;
}
