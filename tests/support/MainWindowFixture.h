#pragma once

#include "core/app/MainOptions.h"
#include "gui/common/AppContext.h"
#include "gui/shell/TfrmMain.h"

#include "gui/dataview/TfrmGraph.h"

#include <QList>
#include <QSize>
#include <QStringList>

#include <memory>

// Options for a main window under test: the system's serial ports are not
// probed; the given ports are listed first.
MainOptions testMainOptions(const QStringList &extraPorts = {});

// Creates and shows a main window on ctx (resized when size is valid) and
// waits until its start-up search has ended.
std::unique_ptr<TfrmMain> startMainWindow(AppContext &ctx, const MainOptions &options = testMainOptions(),
                                          QSize size = QSize(1200, 800), int waitMs = 10000);

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
