#include "core/chart/DataSetChart.h"

#include "core/chart/ChartModel.h"
#include "core/data/DateTimeText.h"
#include "core/data/TDataSetStore.h"

#include <span>
#include <vector>

PrepareChartArgs dataSetChartArgs(const TDataSetStore &store, int k)
{
    const qint32 n = store.SampleCounts().at(k);
    const double start = store.StartTimes().at(k);
    const qint32 interval = store.Intervals().at(k);
    PrepareChartArgs args;
    args.xMin = start;
    args.xMax = start + double(n) * interval / FrameworkTime::SecondsPerDay;
    args.points = n;
    return args;
}

void setDataSetPoints(ChartModel &chart, const TDataSetStore &store, int k, const CalibrationOffsets &offsets)
{
    const qint64 offset = store.firstSample(k);
    const qint64 n = store.SampleCounts().at(k);
    const std::span<const double> times(store.Times().constData(), size_t(store.Times().size()));
    const std::span<const float> values(store.Values().constData(), size_t(store.Values().size()));
    chart.setXDataIIArray(times.subspan(size_t(2 * offset), size_t(2 * n)));
    const std::span<const float> block = values.subspan(size_t(2 * offset), size_t(2 * n));
    if (!offsets.any()) {
        chart.setYDataArray(block);
        return;
    }
    // Point by point: humidity, temperature, humidity, ...
    std::vector<float> corrected(block.begin(), block.end());
    for (size_t i = 0; i + 1 < corrected.size(); i += 2) {
        corrected[i] = Calibration::corrected(corrected[i], offsets.humidity);
        corrected[i + 1] = Calibration::corrected(corrected[i + 1], offsets.temperature);
    }
    chart.setYDataArray(corrected);
}
