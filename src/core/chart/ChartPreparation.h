#pragma once

#include "core/base/Result.h"

#include <QString>

class ChartModel;

// What a chart is prepared for: PrepareChart (chart, subsets, yMax, yMin, xMax,
// xMin, points). The views pass 2 subsets, yMax 100 and yMin -20.
struct PrepareChartArgs
{
    int subsets = 2;
    float yMax = 100.0f;
    float yMin = -20.0f;
    double xMax = 0.0;
    double xMin = 0.0;
    int points = 0;
};

// The X axis of a data set of one sample reaches this far (one minute, in
// days) to either side of it.
inline constexpr double LoneSampleMarginDays = 60.0 / 86400.0;

// Where the graph template lives and how the Y axes scale.
struct PrepareChartContext
{
    QString programFolder;   // holds "template/graph.ghf"; templates are written here
    QString shippedFolder;   // read-only install folder with a shipped template, or empty
    int autoScaleSetting = 1;
    // Without the template the chart gets the program's first look, and no
    // template is read or written (kv518-cli, which keeps no files of its own).
    bool withTemplate = true;
};

struct PrepareChartResult
{
    bool templateLoaded = false;   // the chart started from a template
    bool templateWritten = false;  // a new template was written
    Result<> templateWrite;        // why the new template could not be written
    QString templateFolder;        // program folder + "template/"
};

// The graph template inside a program folder, and its folder (with a trailing "/").
QString graphTemplatePath(const QString &programFolder);
QString graphTemplateFolder(const QString &programFolder);

// Configures a chart for new content, every step but the redraw (the widget's
// job). A template that cannot be read is treated as missing and rewritten.
PrepareChartResult prepareChartModel(ChartModel &chart, const PrepareChartArgs &args,
                                     const PrepareChartContext &context);

// Writes the chart's looks (not its data) as the graph template, creating the
// template folder. A failure says what the user is told: "Cannot create
// <folder> directory." for the folder, "Cannot create file "<path>"" for the
// file.
Result<> writeGraphTemplate(const ChartModel &chart, const QString &programFolder);
// "Cannot create <folder> directory.", with the folder's trailing separator.
QString cannotCreateFolderText(const QString &folder);

// The split view: one subset on each of the first two Y axes, with equal
// shares of the height; or, unsplit, every subset on one axis.
void arrangeSplitAxes(ChartModel &chart, bool split);
// Y axes 0 and 1 scale themselves (the "Auto Scale" setting).
void setYAxesAutoScale(ChartModel &chart);
