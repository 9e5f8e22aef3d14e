#pragma once

#include "Harness.h"

#include "gui/dataview/TfrmGraph.h"

#include <QList>
#include <QSize>
#include <QStringList>

#include <memory>

// The main window of a test starts as the harness starts it.
using Harness::startMainWindow;
using Harness::testMainOptions;

// Everything the download view shows of its data set: the data set list, the
// chart's arrays, the strip, a statistic, a cursor box and the table's size.
// Two snapshots compare equal when nothing on screen changed.
struct ShownView
{
    QStringList setList;
    QList<double> x;
    QList<float> y;
    QStringList strip;
    bool operator==(const ShownView &) const = default;
};
ShownView shownView(const TfrmGraph &view);
