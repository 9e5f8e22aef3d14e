#include "core/archive/RunReport.h"

#include "core/archive/Archive.h"
#include "core/archive/Signatures.h"
#include "core/data/TDataSetStore.h"

#include <QFileInfo>

#include <algorithm>

namespace RunReport {

Result<QStringList> history(Archive &archive, const ArchiveRunInfo &run)
{
    QStringList lines{QStringLiteral("Run %1, version %2").arg(run.id).arg(run.version),
                      QStringLiteral("Fingerprint (SHA-256 of its samples): %1").arg(run.samplesSha256)};
    Result<QList<ArchiveDownloadInfo>> downloads = archive.downloadsOf(run.id);
    if (!downloads)
        return downloads.failure();
    for (const ArchiveDownloadInfo &d : *downloads)
        lines << QStringLiteral("%1 (offset %2 s)  %3 %4 by %5 on %6, version %7, record %8")
                     .arg(d.whenUtc.toUTC().toString(Qt::ISODate))
                     .arg(d.utcOffsetSeconds)
                     .arg(d.source, d.port.isEmpty() ? d.sourcePath : d.port, d.osUser, d.host)
                     .arg(d.version)
                     .arg(d.recordHash.left(16));
    Result<QList<AuditEntry>> entries = AuditTrail::list(archive);
    if (!entries)
        return entries.failure();
    for (const AuditEntry &e : *entries) {
        const bool onRun = e.runId == run.id && e.kind != u"download" && e.kind != u"import";
        // The logger's setup changed while the run was being downloaded from it.
        const bool setupDuring = e.kind.startsWith(u"setup-") && run.firstDownloadUtc.isValid()
                                 && e.whenUtc >= run.firstDownloadUtc && e.whenUtc <= run.lastDownloadUtc;
        if (!onRun && !setupDuring)
            continue;
        QString line = QStringLiteral("%1 (offset %2 s)  %3 by %4 (%5) on %6")
                           .arg(e.whenUtc.toString(Qt::ISODate))
                           .arg(e.utcOffsetSeconds)
                           .arg(e.kind, e.fullName.isEmpty() ? e.osUser : e.fullName, e.osUser, e.host);
        if (!e.oldValue.isEmpty())
            line += QStringLiteral(": %1 ->").arg(e.oldValue);
        if (!e.newValue.isEmpty())
            line += (e.oldValue.isEmpty() ? QStringLiteral(": ") : QStringLiteral(" ")) + e.newValue;
        if (!e.reason.isEmpty())
            line += QStringLiteral(" (%1)").arg(e.reason);
        if (!e.samplesSha256.isEmpty() && e.samplesSha256 != run.samplesSha256)
            line += QStringLiteral(" [on earlier samples %1]").arg(e.samplesSha256.left(16));
        lines << line;
    }
    return lines;
}

Result<QStringList> signatures(Archive &archive, qint64 runId, const QString &samplesSha256)
{
    AuditFilter filter;
    filter.runId = runId;
    filter.kind = QStringLiteral("signature");
    Result<QList<AuditEntry>> entries = AuditTrail::list(archive, filter);
    if (!entries)
        return entries.failure();
    QStringList lines;
    // A signature holds for the samples it was made on only.
    for (const AuditEntry &e : *entries)
        if (e.samplesSha256 == samplesSha256)
            lines << signatureText(e);
    return lines;
}

Result<ReportData> data(Archive &archive, qint64 runId, int version)
{
    Result<ArchiveRunInfo> run = archive.run(runId);
    if (!run)
        return run.failure();
    if (version == 0)
        version = run->version;
    Result<TDataSetStore> store = archive.runStore(runId, version);
    if (!store)
        return store.failure();
    Result<QList<ArchiveVersionInfo>> versions = archive.versions(runId);
    if (!versions)
        return versions.failure();
    const auto shown = std::find_if(versions->cbegin(), versions->cend(),
                                    [&](const ArchiveVersionInfo &v) { return v.version == version; });
    if (shown == versions->cend())
        return fail(ErrorCode::NotFound, QStringLiteral("The archive holds no version %1 of run %2.").arg(version).arg(runId));
    Result<QList<ArchiveDownloadInfo>> downloads = archive.downloadsOf(runId);
    if (!downloads)
        return downloads.failure();
    // The download the report's samples came from: the first that held them.
    const auto from = std::find_if(downloads->cbegin(), downloads->cend(),
                                   [&](const ArchiveDownloadInfo &d) { return d.version == version; });
    ReportData d = ReportData::fromStore(*store, 0, QStringLiteral("Archive run %1").arg(runId));
    d.setNumber = 0;
    ReportProvenance p;
    p.runId = runId;
    p.samplesSha256 = shown->samplesSha256;
    p.downloadId = from != downloads->cend() ? from->id : 0;
    p.downloadUtc = from != downloads->cend() ? from->whenUtc : QDateTime();
    p.note = daylightSavingNote(*run);
    Result<QStringList> lines = history(archive, *run);
    if (!lines)
        return lines.failure();
    p.history = *lines;
    Result<QStringList> signed_ = signatures(archive, runId, p.samplesSha256);
    if (!signed_)
        return signed_.failure();
    p.signatures = *signed_;
    d.archived = p;
    return d;
}

Result<std::optional<ReportData>> matching(const QString &archivePath, const ReportData &shown)
{
    if (!QFileInfo::exists(archivePath) || shown.points() == 0)
        return std::optional<ReportData>();
    Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
    if (!archive)
        return archive.failure();
    Result<ArchiveComparison> c = (*archive)->compare(shown.x, shown.humidity, shown.temperature);
    if (!c)
        return c.failure();
    if (!c->matches())
        return std::optional<ReportData>();
    Result<ReportData> d = data(**archive, c->runId, c->version);
    if (!d)
        return d.failure();
    return std::optional<ReportData>(std::move(d).value());
}

AuditEntry entry(const QString &kind, const ReportProvenance &run, const QString &value)
{
    return entry(kind, run.runId, run.samplesSha256, value);
}

AuditEntry entry(const QString &kind, qint64 runId, const QString &samplesSha256, const QString &value)
{
    AuditEntry e = AuditEntry::here(kind);
    e.runId = runId;
    e.samplesSha256 = samplesSha256;
    e.newValue = value;
    return e;
}

} // namespace RunReport
