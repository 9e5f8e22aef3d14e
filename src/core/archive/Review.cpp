#include "core/archive/Review.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"

#include <QtEndian>

#include <vector>

namespace Review {

QStringList statuses()
{
    return {QStringLiteral("reviewed"), QStringLiteral("approved")};
}

Result<qint64> excursionCount(Archive &archive, qint64 runId, const ChannelLimits (&limits)[2])
{
    Result<ArchiveRunInfo> run = archive.run(runId);
    if (!run)
        return run.failure();
    Result<QByteArray> bytes = archive.samples(runId, run->version);
    if (!bytes)
        return bytes.failure();
    const qsizetype n = bytes->size() / 8;
    std::vector<double> x(static_cast<size_t>(n));
    std::vector<float> y[2] = {std::vector<float>(size_t(n)), std::vector<float>(size_t(n))};
    for (qsizetype i = 0; i < n; ++i) {
        x[size_t(i)] = double(i);
        for (int c = 0; c < 2; ++c)
            y[c][size_t(i)] = qFromLittleEndian<float>(bytes->constData() + i * 8 + c * 4);
    }
    qint64 count = 0;
    for (int c = 0; c < 2; ++c) {
        const LimitStatistics s = AlarmLimits::evaluate(x, y[c], limits[c], run->intervalSeconds);
        count += s.above.excursions + s.below.excursions;
    }
    return count;
}

namespace {

Result<> needsComment(const QString &comment, const QString &what)
{
    if (comment.trimmed().isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("%1 needs a comment.").arg(what));
    return {};
}

} // namespace

Result<qint64> markRun(Archive &archive, qint64 runId, const QString &status, const QString &comment)
{
    if (!statuses().contains(status))
        return fail(ErrorCode::Usage, QStringLiteral("The status is reviewed or approved."));
    if (Result<> given = needsComment(comment, QStringLiteral("A review")); !given)
        return given.failure();
    Result<ArchiveRunInfo> run = archive.run(runId);
    if (!run)
        return run.failure();
    AuditEntry e = AuditEntry::here(QStringLiteral("review"));
    e.runId = runId;
    e.samplesSha256 = run->samplesSha256;
    e.newValue = status == u"approved" ? QStringLiteral("Approved") : QStringLiteral("Reviewed");
    e.reason = comment.trimmed();
    return AuditTrail::append(archive, e);
}

Result<qint64> acknowledge(Archive &archive, qint64 runId, qint64 excursion, const ChannelLimits (&limits)[2],
                           const QString &limitsText, const QString &comment)
{
    if (Result<> given = needsComment(comment, QStringLiteral("An acknowledgement")); !given)
        return given.failure();
    if (!limits[0].isSet() && !limits[1].isSet())
        return fail(ErrorCode::Usage, QStringLiteral("Excursions need alarm limits (--limits)."));
    Result<qint64> count = excursionCount(archive, runId, limits);
    if (!count)
        return count.failure();
    if (excursion < 1 || excursion > *count)
        return fail(ErrorCode::Usage, QStringLiteral("Run %1 has %2 excursion(s) beyond %3; there is no excursion %4.")
                                          .arg(runId)
                                          .arg(*count)
                                          .arg(limitsText)
                                          .arg(excursion));
    Result<ArchiveRunInfo> run = archive.run(runId);
    if (!run)
        return run.failure();
    AuditEntry e = AuditEntry::here(QStringLiteral("acknowledge"));
    e.runId = runId;
    e.samplesSha256 = run->samplesSha256;
    e.newValue = QStringLiteral("excursion %1 of %2 beyond %3").arg(excursion).arg(*count).arg(limitsText);
    e.reason = comment.trimmed();
    return AuditTrail::append(archive, e);
}

} // namespace Review
