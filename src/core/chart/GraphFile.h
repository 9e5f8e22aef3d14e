#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QString>

class ChartModel;

// Graph files ("*.GHF") and the graph template: a 4-byte unsigned little-endian
// byte count n, then the n bytes of the chart's stored state. Nothing follows.

// Reads a graph file into the chart. A file that cannot be opened, is shorter
// than its count or holds a damaged state fails with the user's message (and
// one kv518.chart line with the reason); the chart then keeps the state it
// had. Nothing is allocated before the count has been checked against the
// file's size.
Result<> LoadGraphFile(ChartModel &chart, const QString &path);

// Writes the chart's state as a graph file, atomically: an existing file is
// replaced only when the new one has been written completely.
Result<> SaveGraphFile(const ChartModel &chart, const QString &path);

// Writes a stored chart state (ChartModel::store() or storeLooks()) as a graph
// file, atomically.
Result<> writeGraphFile(const QByteArray &body, const QString &path);
