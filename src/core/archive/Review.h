#pragma once

#include "core/base/Result.h"
#include "core/data/AlarmLimits.h"

#include <QList>
#include <QString>

class Archive;
struct AuditEntry;

// Review of an archived run: each excursion beyond the alarm limits is
// acknowledged with a comment, and the run is marked reviewed or approved.
// Each step is an entry of the audit trail bound to the run's samples.
namespace Review {

// "reviewed" or "approved".
QStringList statuses();

// One excursion: a maximal stretch of consecutive samples beyond a limit.
struct Excursion
{
    qint64 number = 0;    // 1-based, in the order below
    int channel = 0;      // 0 humidity, 1 temperature
    bool above = true;    // above the high limit, else below the low one
    qsizetype first = 0;  // the index of its first sample
    qsizetype samples = 0;
    double start = 0.0;   // the time of its first sample (framework days)
    float extreme = 0.0f; // the highest (above) or lowest (below) reading
};

// The excursions of a run's latest samples beyond limits (0 humidity,
// 1 temperature), numbered from 1: humidity above, humidity below, then
// temperature above and below.
Result<QList<Excursion>> excursions(Archive &archive, qint64 runId, const ChannelLimits (&limits)[2]);

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

// The run's reviews, acknowledgements and signatures, oldest first.
Result<QList<AuditEntry>> entriesOf(Archive &archive, qint64 runId);
// Whether an entry acknowledges excursion number of the samples with that
// hash, counted under the limits limitsText says.
bool acknowledges(const AuditEntry &entry, qint64 excursion, const QString &limitsText, const QString &samplesSha256);
// "Reviewed by Jane Doe (jdoe), 2026-03-01 10:00:00 +01:00: checked",
// "Excursion 2 of 3 beyond ... acknowledged by ...: door open",
// "Signature: Jane Doe (jdoe), 2026-03-01 10:00:00 +01:00, approved", with
// the date and time where it was done.
QString entryText(const AuditEntry &entry);

} // namespace Review
