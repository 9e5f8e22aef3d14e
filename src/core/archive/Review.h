#pragma once

#include "core/base/Result.h"
#include "core/data/AlarmLimits.h"

#include <QString>

class Archive;

// Review of an archived run: each excursion beyond the alarm limits is
// acknowledged with a comment, and the run is marked reviewed or approved.
// Each step is an entry of the audit trail bound to the run's samples.
namespace Review {

// "reviewed" or "approved".
QStringList statuses();

// The excursions of a run's latest samples beyond limits (0 humidity,
// 1 temperature), numbered from 1: humidity above, humidity below, then
// temperature above and below.
Result<qint64> excursionCount(Archive &archive, qint64 runId, const ChannelLimits (&limits)[2]);

// Marks a run; the comment cannot be empty.
Result<qint64> markRun(Archive &archive, qint64 runId, const QString &status, const QString &comment);
// Acknowledges excursion number (1-based) of the run against limits; the
// comment cannot be empty.
Result<qint64> acknowledge(Archive &archive, qint64 runId, qint64 excursion, const ChannelLimits (&limits)[2],
                           const QString &limitsText, const QString &comment);

} // namespace Review
