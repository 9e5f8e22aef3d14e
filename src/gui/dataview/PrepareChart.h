#pragma once

#include "core/chart/ChartPreparation.h"

class ChartModel;
class ChartWidget;
class QWidget;

// Configures a chart for new content from the graph template (written on first
// use) and redraws it. The Y scaling follows ScaleSettings::autoScaleSetting();
// the template lives in AppPaths::programFolder() (a template shipped beside
// the executable is read when that folder has none). When the template cannot
// be written, "Cannot create <folder> directory." is shown once per run and
// the caller carries on.
PrepareChartResult PrepareChart(ChartWidget &chart, int subsets, float yMax, float yMin,
                                double xMax, double xMin, int points);
PrepareChartResult PrepareChart(ChartWidget &chart, const PrepareChartArgs &args,
                                int autoScaleSetting);

// The redraw sequence after a change of chart content or settings.
void Redraw(ChartWidget &chart);

// Writes the chart as the graph template (after an accepted customization or
// "Range" with "Save this setting "). On failure shows the "Cannot create"
// message, once per run. Returns whether the template was written.
bool SaveGraphTemplate(const ChartModel &chart, QWidget *parent = nullptr);

// Tests: forget that the failure message was shown.
void resetTemplateFailureNotice();
