#pragma once

#include "core/chart/ChartPreparation.h"
#include "core/data/Calibration.h"

class ChartModel;
class TDataSetStore;

// A data set of the store as a chart: what the chart is prepared for (its
// start, its end after n intervals, n points) and its points, handed over as
// the two whole blocks the store keeps. The data view and kv518-cli share it.
PrepareChartArgs dataSetChartArgs(const TDataSetStore &store, int k);
// Sets the points of data set k on a chart prepared with dataSetChartArgs(),
// with the calibration offsets added to the readings (the store keeps them raw).
void setDataSetPoints(ChartModel &chart, const TDataSetStore &store, int k, const CalibrationOffsets &offsets = {});
