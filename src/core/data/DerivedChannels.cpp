#include "core/data/DerivedChannels.h"

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

DerivedSeries derive(const ChartSeries &series, TemperatureUnit unit)
{
    DerivedSeries d;
    const size_t n = size_t(series.points());
    d.x = series.x[0].first(n);
    d.dewPoint.resize(n);
    d.absolute.resize(n);
    const bool fahrenheit = unit == TemperatureUnit::Fahrenheit;
    const std::span<const float> rh = series.y[0];
    const std::span<const float> t = series.y[1];
    // The logger resolves tenths, so a run holds few distinct (RH, T) pairs:
    // each pair's values are kept in a table, which spares most exponentials
    // and logarithms.
    struct Slot
    {
        quint64 key = ~quint64(0);   // no pair of readings has all bits set
        Pair values;
    };
    std::vector<Slot> table(1 << 14);
    for (size_t i = 0; i < n; ++i) {
        const quint64 key = quint64(std::bit_cast<quint32>(rh[i])) << 32 | std::bit_cast<quint32>(t[i]);
        Slot &slot = table[size_t((key * 0x9E3779B97F4A7C15ull) >> 50)];
        if (slot.key != key)
            slot = {key, derivedPair(rh[i], t[i], fahrenheit)};
        d.dewPoint[i] = slot.values.dewPoint;
        d.absolute[i] = slot.values.absolute;
    }
    return d;
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
