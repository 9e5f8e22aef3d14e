#include "core/archive/Review.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Signatures.h"

#include "core/data/TDataSetStore.h"

#include <QRegularExpression>

#include <algorithm>

namespace Review {

QStringList statuses()
{
    return {QStringLiteral("reviewed"), QStringLiteral("approved")};
}

Result<QList<Excursion>> excursions(Archive &archive, qint64 runId, const ChannelLimits (&limits)[2])
{
    Result<TDataSetStore> store = archive.runStore(runId);
    if (!store)
        return store.failure();
    const QList<double> &t = store->Times();
    const QList<float> &v = store->Values();
    const qsizetype base = store->firstSample(0);
    const qsizetype n = store->SampleCounts().value(0);
    QList<Excursion> found;
    for (int c = 0; c < 2; ++c) {
        // Above, then below, as the limit statistics count them: a reading
        // above the high limit is never also below the low one.
        for (const bool above : {true, false}) {
            const ChannelLimits &l = limits[c];
            const auto beyond = [&](float r) { return above ? l.isAbove(r) : !l.isAbove(r) && l.isBelow(r); };
            for (qsizetype i = 0; i < n;) {
                if (!beyond(v.at(2 * (base + i) + c))) {
                    ++i;
                    continue;
                }
                Excursion e;
                e.number = found.size() + 1;
                e.channel = c;
                e.above = above;
                e.first = i;
                e.start = t.at(2 * (base + i));
                e.extreme = v.at(2 * (base + i) + c);
                for (; i < n && beyond(v.at(2 * (base + i) + c)); ++i)
                    e.extreme = above ? std::max(e.extreme, v.at(2 * (base + i) + c)) : std::min(e.extreme, v.at(2 * (base + i) + c));
                e.samples = i - e.first;
                found.append(e);
            }
        }
    }
    return found;
}

Result<qint64> excursionCount(Archive &archive, qint64 runId, const ChannelLimits (&limits)[2])
{
    Result<QList<Excursion>> found = excursions(archive, runId, limits);
    if (!found)
        return found.failure();
    return qint64(found->size());
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

Result<QList<AuditEntry>> entriesOf(Archive &archive, qint64 runId)
{
    AuditFilter filter;
    filter.runId = runId;
    Result<QList<AuditEntry>> all = AuditTrail::list(archive, filter);
    if (!all)
        return all.failure();
    QList<AuditEntry> kept;
    for (const AuditEntry &e : *all)
        if (e.kind == u"review" || e.kind == u"acknowledge" || e.kind == u"signature")
            kept.append(e);
    return kept;
}

bool acknowledges(const AuditEntry &entry, qint64 excursion, const QString &limitsText, const QString &samplesSha256)
{
    // The numbers hold only for the samples and the limits they were counted on.
    if (entry.kind != u"acknowledge" || entry.samplesSha256 != samplesSha256)
        return false;
    const QRegularExpression acknowledged(
        QStringLiteral("^excursion %1 of \\d+ beyond %2$").arg(excursion).arg(QRegularExpression::escape(limitsText)));
    return acknowledged.match(entry.newValue).hasMatch();
}

QString entryText(const AuditEntry &e)
{
    const QString by = AuditTrail::actorText(e) + QStringLiteral(", ") + AuditTrail::localTimeText(e);
    const QString why = e.reason.isEmpty() ? QString() : QStringLiteral(": ") + e.reason;
    if (e.kind == u"review")
        return QStringLiteral("%1 by %2%3").arg(e.newValue, by, why);
    if (e.kind == u"acknowledge") {
        QString what = e.newValue;
        if (!what.isEmpty())
            what[0] = what.at(0).toUpper();
        return QStringLiteral("%1 acknowledged by %2%3").arg(what, by, why);
    }
    if (e.kind == u"signature")
        return QStringLiteral("Signature: ") + signatureText(e);
    return QStringLiteral("%1 by %2%3").arg(e.kind, by, why);
}

} // namespace Review
