#pragma once

#include "core/chart/ChartPreparation.h"

class AppContext;
class ChartModel;
class ChartWidget;
class QWidget;

// Configures a chart for new content from the graph template (written on first
// use) and redraws it. The Y scaling follows the run's auto-scale setting; the
// template lives in the program data folder (a template shipped beside the
// executable is read when that folder has none). When the template cannot be
// written, "Cannot create <folder> directory." is shown once per run and the
// caller carries on.
PrepareChartResult PrepareChart(AppContext &ctx, ChartWidget &chart, int subsets, float yMax, float yMin,
                                double xMax, double xMin, int points);
PrepareChartResult PrepareChart(AppContext &ctx, ChartWidget &chart, const PrepareChartArgs &args);
// The same without the redraw, for a caller that fills the chart at once and
// redraws it then: drawing a million empty points first costs a third of a second.
PrepareChartResult PrepareChartUndrawn(AppContext &ctx, ChartWidget &chart, const PrepareChartArgs &args);

// The redraw sequence after a change of chart content or settings.
void Redraw(ChartWidget &chart);

// Writes the chart's looks as the graph template (after an accepted
// customization or "Range" with "Save this setting "). The user asked for it,
// so every failure is shown: "Cannot create <folder> directory." for the
// folder, "Cannot create file "<path>"" for the file. Returns whether the
// template was written.
bool SaveGraphTemplate(AppContext &ctx, const ChartModel &chart, QWidget *parent = nullptr);

