#include "core/data/DerivedChannels.h"

#include "core/base/Halves.h"

#include <algorithm>
#include <bit>

namespace Humidity {

namespace {

constexpr double A = 17.62;
constexpr double B = 243.12;   // C
constexpr double E0 = 6.112;   // hPa
constexpr double ZeroCelsius = 273.15;
constexpr float OutOfRange = 3000.0f;

// The range Sonntag states the constants for, with a margin; beyond it the
// formula has no meaning for a logger's readings.
bool covered(double celsius, double rh)
{
    return celsius > -100.0 && celsius < 200.0 && rh > 0.0 && rh <= 200.0;
}

} // namespace

namespace {

struct Values
{
    double dewPoint = NoValue;   // C
    double absolute = NoValue;   // g/m^3
};

Values fromCelsius(double c, double rh)
{
    if (!covered(c, rh))
        return {};
    const double gamma = A * c / (B + c);
    const double g = std::log(rh / 100.0) + gamma;
    return {B * g / (A - g), 216.7 * rh / 100.0 * E0 * std::exp(gamma) / (ZeroCelsius + c)};
}

} // namespace

double dewPointCelsius(double celsius, double rh)
{
    return fromCelsius(celsius, rh).dewPoint;
}

double absoluteHumidity(double celsius, double rh)
{
    return fromCelsius(celsius, rh).absolute;
}

namespace {

struct Pair
{
    float dewPoint = NoValue;
    float absolute = NoValue;
};

// Both derived values of one sample, the dew point in the reading's unit.
Pair derivedPair(float h, float v, bool fahrenheit)
{
    Pair p;
    if (!(h > -OutOfRange && h < OutOfRange && v > -OutOfRange && v < OutOfRange))
        return p;
    const double c = fahrenheit ? (double(v) - 32.0) * 5.0 / 9.0 : double(v);
    const Values values = fromCelsius(c, double(h));
    p.dewPoint = float(fahrenheit ? values.dewPoint * 9.0 / 5.0 + 32.0 : values.dewPoint);
    p.absolute = float(values.absolute);
    return p;
}

} // namespace

float derivedValue(int channel, float humidity, float temperature, TemperatureUnit unit)
{
    const Pair p = derivedPair(humidity, temperature, unit == TemperatureUnit::Fahrenheit);
    return channel == 1 ? p.absolute : p.dewPoint;
}

namespace {

// What the formulas take of one temperature reading, and of one humidity
// reading: a run holds few distinct readings of each, though many pairs of
// them, so each reading's part is kept in a small table and a sample costs
// two divisions, not an exponential and a logarithm. The values are those of
// derivedPair() to the bit: the same operations in the same order.
struct TemperaturePart
{
    quint32 bits = 0;
    bool kept = false;
    bool usable = false;   // a reading, inside the formula's range
    double gamma = 0.0;
    double expGamma = 0.0;
    double kelvin = 0.0;   // ZeroCelsius + c
};

struct HumidityPart
{
    quint32 bits = 0;
    bool kept = false;
    bool usable = false;
    double logRh = 0.0;
    double factor = 0.0;   // 216.7 x RH / 100 x E0
};

template<typename Part>
Q_ALWAYS_INLINE Part &slotOf(std::vector<Part> &table, float v)
{
    const quint32 bits = std::bit_cast<quint32>(v);
    return table[size_t((bits * 2654435761u) >> 20)];
}

// The parts of a reading not yet in its slot, computed and kept. Out of
// line: the loops call them rarely and keep their own figures in registers.
Q_NEVER_INLINE void computeTemperaturePart(TemperaturePart &p, float v, bool fahrenheit)
{
    p = {std::bit_cast<quint32>(v), true, false};
    if (!(v > -OutOfRange && v < OutOfRange))
        return;
    const double c = fahrenheit ? (double(v) - 32.0) * 5.0 / 9.0 : double(v);
    if (!(c > -100.0 && c < 200.0))
        return;
    p.usable = true;
    p.gamma = A * c / (B + c);
    p.expGamma = std::exp(p.gamma);
    p.kelvin = ZeroCelsius + c;
}

Q_NEVER_INLINE void computeHumidityPart(HumidityPart &p, float h)
{
    p = {std::bit_cast<quint32>(h), true, false};
    const double rh = double(h);
    if (!(h > -OutOfRange && h < OutOfRange) || !(rh > 0.0 && rh <= 200.0))
        return;
    p.usable = true;
    p.logRh = std::log(rh / 100.0);
    p.factor = 216.7 * rh / 100.0 * E0;
}

// The parts kept for a reading, or null when its slot holds another one.
template<typename Part> Q_ALWAYS_INLINE const Part *keptPart(std::vector<Part> &table, float v)
{
    const Part &p = slotOf(table, v);
    return p.kept && p.bits == std::bit_cast<quint32>(v) ? &p : nullptr;
}

// Two doubles divided by two others in one instruction where the processor
// has one: each quotient is the one a division of its own gives, to the bit.
using Double2 = double __attribute__((vector_size(16)));

// Calls f(i, pair) for the points from i on in order, with the derived
// values of its readings, up to n or to the first point whose parts are not
// kept; returns where it stopped. Out of line and with no call inside, so
// that the figures of its copy of f stay in registers.
template<bool Fahrenheit, typename F>
Q_NEVER_INLINE size_t pairsWhileKept(const float *rh, const float *t, size_t i, size_t n,
                                     std::vector<TemperaturePart> &temperatures, std::vector<HumidityPart> &humidities,
                                     F &out)
{
    F f = out;
    const Pair none;
    for (; i < n; ++i) {
        const TemperaturePart *tp = keptPart(temperatures, t[i]);
        const HumidityPart *hp = keptPart(humidities, rh[i]);
        if (!tp || !hp)
            break;
        if (!(tp->usable && hp->usable)) {
            f(i, none);
            continue;
        }
        const double g = hp->logRh + tp->gamma;
        // dew point = B g / (A - g), absolute = factor e^gamma / kelvin
        const Double2 numerators = {B * g, hp->factor * tp->expGamma};
        const Double2 denominators = {A - g, tp->kelvin};
        const Double2 q = numerators / denominators;
        const double dewPoint = q[0];
        f(i, Pair{float(Fahrenheit ? dewPoint * 9.0 / 5.0 + 32.0 : dewPoint), float(q[1])});
    }
    out = f;
    return i;
}

// Calls f(i, pair) for each of the points [begin, end) in order, with the
// derived values of its readings, keeping the parts of each reading met.
template<bool Fahrenheit, typename F>
void forEachPairIn(const ChartSeries &series, size_t begin, size_t n, F &f)
{
    const float *rh = series.y[0].data();
    const float *t = series.y[1].data();
    std::vector<TemperaturePart> temperatures(4096);
    std::vector<HumidityPart> humidities(4096);
    size_t i = begin;
    while ((i = pairsWhileKept<Fahrenheit>(rh, t, i, n, temperatures, humidities, f)) < n) {
        if (!keptPart(temperatures, t[i]))
            computeTemperaturePart(slotOf(temperatures, t[i]), t[i], Fahrenheit);
        if (!keptPart(humidities, rh[i]))
            computeHumidityPart(slotOf(humidities, rh[i]), rh[i]);
    }
}

template<typename F>
void forEachPair(const ChartSeries &series, size_t begin, size_t end, TemperatureUnit unit, F &f)
{
    if (unit == TemperatureUnit::Fahrenheit)
        forEachPairIn<true>(series, begin, end, f);
    else
        forEachPairIn<false>(series, begin, end, f);
}

} // namespace

DerivedSeries derive(const ChartSeries &series, TemperatureUnit unit)
{
    DerivedSeries d;
    const size_t n = size_t(series.points());
    d.x = series.x[0].first(n);
    d.dewPoint.resize(n);
    d.absolute.resize(n);
    struct Store
    {
        float *dewPoint;
        float *absolute;
        void operator()(size_t i, const Pair &p)
        {
            dewPoint[i] = p.dewPoint;
            absolute[i] = p.absolute;
        }
    } store{d.dewPoint.data(), d.absolute.data()};
    Halves::run(n, [&](int, size_t begin, size_t end) {
        Store part = store;
        forEachPair(series, begin, end, unit, part);
    });
    return d;
}

SetStatistics wholeSet(const ChartSeries &series, TemperatureUnit unit)
{
    // The derived series' own frame: its times are the humidity's.
    const size_t n = size_t(series.points());
    ChartSeries frame;
    frame.x[0] = frame.x[1] = series.x[0].first(n);
    frame.y[0] = series.y[0].first(n);
    frame.y[1] = series.y[1].first(n);
    SetStatistics s = Statistics::setFrame(frame);
    struct Accumulators
    {
        Statistics::ChannelAccumulator dewPoint;
        Statistics::ChannelAccumulator absolute;
        void operator()(size_t i, const Pair &p)
        {
            dewPoint.add(p.dewPoint, i);
            absolute.add(p.absolute, i);
        }
    };
    // In the halves Statistics::wholeSet() takes, so that the sums add up
    // in the same order.
    using Statistics::ChannelAccumulator;
    Accumulators figures[2] = {{ChannelAccumulator(s.channel[0]), ChannelAccumulator(s.channel[1])},
                               {ChannelAccumulator(s.channel[0]), ChannelAccumulator(s.channel[1])}};
    Halves::run(n, [&](int k, size_t begin, size_t end) { forEachPair(series, begin, end, unit, figures[k]); });
    figures[0].dewPoint.join(figures[1].dewPoint);
    figures[0].absolute.join(figures[1].absolute);
    figures[0].dewPoint.finish(frame.x[0]);
    figures[0].absolute.finish(frame.x[0]);
    return s;
}

StatisticsTexts panelTexts(const SetStatistics &derived, int channel, const DateTimeText &texts)
{
    StatisticsTexts t = Statistics::panelTexts(derived, channel, texts);
    if (derived.channel[channel].count == 0)
        t.maximum = t.minimum = QStringLiteral("****");
    return t;
}

ChartSeries DerivedSeries::series() const
{
    ChartSeries s;
    s.x[0] = x;
    s.x[1] = x;
    s.y[0] = dewPoint;
    s.y[1] = absolute;
    return s;
}

} // namespace Humidity
