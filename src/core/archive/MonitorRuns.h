#pragma once

#include "core/archive/Archive.h"
#include "core/archive/MonitorStore.h"
#include "core/base/Result.h"

#include <QJsonObject>
#include <QList>

class TDataSetStore;

// The monitoring runs of `kv518-cli watch` as the archive window shows and
// opens them: a row of the run list like a downloaded run's, and a data set
// of one sample per recorded period.
namespace MonitorRuns {

// The listing row of a run from its periods (as MonitorStore::periods()
// gives them): start and end in the PC's local time at the run's start,
// counted on from there as the logger's clock counts (no daylight-saving
// step), the period as the interval, the periods as the samples, and the
// extremes of every reading of the run (the periods' own minimum and
// maximum, not those of the means). Versions and downloads stay empty.
ArchiveRunInfo listing(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods);

// A store holding one data set: sample i is the mean of the period starting
// i intervals after the run's start, humidity and temperature in tenths as
// the logger stores them, in the run's unit (a period in the other unit is
// converted). A period without a reading, or one the watch did not record,
// is an out-of-range marker, which the chart leaves as a gap and the
// statistics leave out. The periods' minimum and maximum have no place in a
// sample: the data view's extremes are those of the means, the run list's
// those of the readings. Fails for a run without periods, and for an
// interval the logger's directory cannot express (8, 16, 44 and 88 s,
// above 65535 s).
Result<TDataSetStore> dataSet(const MonitorStore::RunInfo &run, const QList<QJsonObject> &periods);

// The runs of a monitor store, each with its listing row.
struct Listed
{
    MonitorStore::RunInfo run;
    ArchiveRunInfo info;
};
Result<QList<Listed>> list(MonitorStore &store);
// The data set of one run of the store (NotFound when there is none).
Result<TDataSetStore> open(MonitorStore &store, qint64 runId);

} // namespace MonitorRuns
