// The statistics a data view computes when it shows a data set of 4 million
// samples with alarm limits on both channels: the whole-set figures, counts,
// durations and excursions against the limits, and the mean kinetic
// temperature of the set and of the samples between the cursors.
#include "BenchReport.h"

#include "core/data/AlarmLimits.h"
#include "core/data/DerivedChannels.h"
#include "core/data/Statistics.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr size_t Samples = 4'000'000;

struct Set
{
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
};

// One reading a minute. Logged: a daily swing at the meter's resolution of
// 0.1, so neighbours often repeat. Noisy: no two neighbours alike.
Set makeSet(bool logged)
{
    Set s;
    s.x.resize(Samples);
    s.humidity.resize(Samples);
    s.temperature.resize(Samples);
    std::mt19937 random(518);
    std::normal_distribution<double> noise(0.0, logged ? 0.05 : 2.0);
    for (size_t i = 0; i < Samples; ++i) {
        const double day = std::sin(double(i) * 2.0 * M_PI / 1440.0);
        s.x[i] = 40000.0 + double(i) / 1440.0;
        double t = 5.0 + 3.5 * day + noise(random);
        double h = 55.0 - 10.0 * day + noise(random);
        if (logged) {
            t = std::round(t * 10.0) / 10.0;
            h = std::round(h * 10.0) / 10.0;
        }
        s.temperature[i] = i % 100'000 == 7 ? 9999.0f : float(t);
        s.humidity[i] = float(h);
    }
    return s;
}

double checksum = 0.0;

// One full recomputation, in milliseconds.
double statisticsMs(const Set &s)
{
    const auto start = std::chrono::steady_clock::now();
    const ChartSeries series{{s.x, s.x}, {s.humidity, s.temperature}};
    const SetStatistics whole = Statistics::wholeSet(series);
    const ChannelLimits limits[2] = {{40.0, 60.0}, {2.0, 8.0}};
    for (int c = 0; c < 2; ++c) {
        const LimitStatistics l = AlarmLimits::evaluate(series.x[c], series.y[c], limits[c], 60);
        checksum += double(l.above.count + l.below.excursions);
    }
    const auto mkt = KineticTemperature::compute(s.temperature, TemperatureUnit::Celsius);
    const auto between = KineticTemperature::compute(
        std::span<const float>(s.temperature).subspan(Samples / 3, Samples / 3 + 1), TemperatureUnit::Celsius);
    checksum += whole.channel[1].average + mkt.value_or(0.0) + between.value_or(0.0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// What the analysis adds to it: the dew point and absolute humidity of every
// sample with their whole-set figures, and the worst 24 hours' and 30 days'
// MKT by the rolling sum.
double analysisMs(const Set &s)
{
    const auto start = std::chrono::steady_clock::now();
    const ChartSeries series{{s.x, s.x}, {s.humidity, s.temperature}};
    const Humidity::DerivedSeries derived = Humidity::derive(series, TemperatureUnit::Celsius);
    const SetStatistics d = Statistics::wholeSet(derived.series());
    const auto windows = KineticTemperature::worstWindows(s.x, s.temperature, TemperatureUnit::Celsius,
                                                          KineticTemperature::DefaultActivationEnergy, 60);
    checksum += d.channel[0].average + d.channel[1].average + windows[0].mkt.value_or(0.0)
        + windows[1].mkt.value_or(0.0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double best(const Set &s, int runs, double (*measure)(const Set &) = statisticsMs)
{
    double ms = 1e300;
    for (int i = 0; i < runs; ++i)
        ms = std::min(ms, measure(s));
    return ms;
}

} // namespace

int main()
{
    BenchReport report;
    const Set logged = makeSet(true);
    report.figure("4 M logged samples: statistics, limits, MKT x2, best of 5", best(logged, 5), "ms", 100.0);
    const Set noisy = makeSet(false);
    report.figure("4 M noisy samples (no repeats), best of 5", best(noisy, 5), "ms", 100.0);
    report.figure("4 M logged: + dew point, abs. humidity, MKT 24 h/30 d", best(logged, 5, analysisMs), "ms", 30.0,
                  BenchReport::Goal::AtMost);
    report.figure("4 M noisy: + dew point, abs. humidity, MKT 24 h/30 d", best(noisy, 5, analysisMs), "ms", 30.0,
                  BenchReport::Goal::AtMost);
    report.info("(checksum, keeps the work from being optimised away)", checksum, "");
    return report.exitCode();
}
