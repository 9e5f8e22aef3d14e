#pragma once

// The one line layout every benchmark prints its figures in, so a reader
// sees at a glance which figure missed:
//
//   parse, best of 5                     8.744 ms   target < 25 ms
//   live polling: program CPU, ...       1.200 %    target <= 1 %         MISSED
//   first load into a new store          296.4 ms
//
// A figure without a target only informs.
// A benchmark returns exitCode() from main: non-zero when a figure missed or
// could not be measured.

#include <cstdio>
#include <string>

class BenchReport
{
public:
    enum class Goal {
        Below,     // value < target
        AtMost,    // value <= target
        AtLeast,   // value >= target
    };

    // Prints the figure beside its target; returns whether it met it.
    bool figure(const char *what, double value, const char *unit, double target, Goal goal = Goal::Below)
    {
        const bool met = goal == Goal::Below ? value < target : goal == Goal::AtMost ? value <= target : value >= target;
        const char *sign = goal == Goal::Below ? "<" : goal == Goal::AtMost ? "<=" : ">=";
        char aim[48];
        std::snprintf(aim, sizeof aim, "target %s %g %s", sign, target, unit);
        std::printf("  %-52s %12s %-3s  %-22s%s\n", what, number(value).c_str(), unit, aim,
                    met ? "" : "MISSED");
        if (!met)
            ++m_missed;
        std::fflush(stdout);
        return met;
    }

    // A figure that only informs.
    void info(const char *what, double value, const char *unit)
    {
        std::printf("  %-52s %12s %s\n", what, number(value).c_str(), unit);
        std::fflush(stdout);
    }

    // A figure with a target that could not be measured counts as missed.
    void unmeasured(const char *what, const char *why)
    {
        std::printf("  %-52s %12s      %-22sMISSED\n", what, "-", why);
        std::fflush(stdout);
        ++m_missed;
    }

    int exitCode() const { return m_missed ? 1 : 0; }

private:
    // Three decimals for small figures, fewer as they grow.
    static std::string number(double v)
    {
        char buf[32];
        const double a = v < 0 ? -v : v;
        std::snprintf(buf, sizeof buf, "%.*f", a < 10 ? 3 : a < 1000 ? 1 : 0, v);
        return buf;
    }

    int m_missed = 0;
};
