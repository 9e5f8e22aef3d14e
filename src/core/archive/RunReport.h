#pragma once

#include "core/archive/AuditTrail.h"
#include "core/base/Result.h"
#include "core/report/ReportData.h"

#include <QString>
#include <QStringList>

#include <optional>

class Archive;
struct ArchiveRunInfo;

// The report of an archived run, as kv518-cli's archive report and the
// program's report of a data view showing a run both print it: the samples of
// one version, and on every page their fingerprint and signatures, with the
// run's history on pages of its own.
namespace RunReport {

// The run's history: its fingerprint, the downloads that held it, its audit
// entries, and the logger's setup changes from its first download to its last.
Result<QStringList> history(Archive &archive, const ArchiveRunInfo &run);
// The signatures of these samples of a run, one line each: printed name,
// date and time with the offset from UTC, and meaning.
Result<QStringList> signatures(Archive &archive, qint64 runId, const QString &samplesSha256);

// Version (0: the latest) of a run as a report shows it, named "Archive run
// N", with its provenance filled in.
Result<ReportData> data(Archive &archive, qint64 runId, int version = 0);
// When the samples of shown are exactly a version of a run in the archive at
// archivePath, that version's report data; nothing when there is no archive
// there or no run holds them.
Result<std::optional<ReportData>> matching(const QString &archivePath, const ReportData &shown);

// The audit entry of a step (export, report, print) on the run a report's
// provenance names: the run, its samples and value.
AuditEntry entry(const QString &kind, const ReportProvenance &run, const QString &value);
// The same for a run known by its id and the SHA-256 of its samples.
AuditEntry entry(const QString &kind, qint64 runId, const QString &samplesSha256, const QString &value);

} // namespace RunReport
