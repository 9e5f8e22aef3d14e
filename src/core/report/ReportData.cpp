#include "core/report/ReportData.h"

#include "core/data/TDataSetStore.h"

ChartSeries ReportData::series() const
{
    return {{std::span<const double>(x), std::span<const double>(x)},
            {std::span<const float>(humidity), std::span<const float>(temperature)}};
}

std::optional<TemperatureUnit> ReportData::temperatureUnit() const
{
    if (unit == QLatin1String("F"))
        return TemperatureUnit::Fahrenheit;
    if (unit == QLatin1String("C"))
        return TemperatureUnit::Celsius;
    return std::nullopt;
}

ReportData ReportData::fromStore(const TDataSetStore &store, int k, const QString &fileName)
{
    ReportData d;
    d.fileName = fileName;
    if (k < 0 || k >= store.SetCount())
        return d;
    d.setNumber = k + 1;
    d.start = store.StartTimes().at(k);
    d.intervalSeconds = store.Intervals().at(k);
    d.unit = store.isFahrenheit(k) ? QStringLiteral("F") : QStringLiteral("C");
    const qsizetype n = store.SampleCounts().at(k);
    const qsizetype base = 2 * store.firstSample(k);
    d.x.resize(size_t(n));
    d.humidity.resize(size_t(n));
    d.temperature.resize(size_t(n));
    for (qsizetype j = 0; j < n; ++j) {
        d.x[size_t(j)] = store.Times().at(base + 2 * j);
        d.humidity[size_t(j)] = store.Values().at(base + 2 * j);
        d.temperature[size_t(j)] = store.Values().at(base + 2 * j + 1);
    }
    return d;
}

ReportData ReportData::window(std::optional<double> from, std::optional<double> to) const
{
    ReportData d;
    d.fileName = fileName;
    d.setNumber = setNumber;
    d.start = start;
    d.intervalSeconds = intervalSeconds;
    d.unit = unit;
    d.archived = archived;
    for (size_t i = 0; i < x.size(); ++i) {
        if ((from && x[i] < *from) || (to && x[i] > *to))
            continue;
        d.x.push_back(x[i]);
        d.humidity.push_back(humidity[i]);
        d.temperature.push_back(temperature[i]);
    }
    return d;
}

void ReportData::applyOffsets(const CalibrationOffsets &offsets)
{
    Calibration::apply(humidity, offsets.humidity);
    Calibration::apply(temperature, offsets.temperature);
}
