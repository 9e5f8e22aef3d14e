#include "core/archive/DaylightSaving.h"

#include <QDateTime>

namespace DaylightSaving {

namespace {

// A naive time read in zone; one in the hour a change skips is taken an
// hour on, after the change.
QDateTime inZone(const QString &iso, const QTimeZone &zone)
{
    const QDateTime naive = QDateTime::fromString(iso, Qt::ISODate);
    if (!naive.isValid())
        return {};
    QDateTime dt(naive.date(), naive.time(), zone);
    if (!dt.isValid())
        dt = QDateTime(naive.date(), naive.time().addSecs(3600), zone);
    return dt;
}

} // namespace

QDate firstChangeWithin(const QString &first, const QString &last, const QTimeZone &zone)
{
    if (!zone.isValid() || !zone.hasTransitions())
        return {};
    const QDateTime from = inZone(first, zone);
    const QDateTime to = inZone(last, zone);
    if (!from.isValid() || !to.isValid() || to < from)
        return {};
    // The same offset at both ends may still hold a change there and back
    // (a run over a whole summer); no zone changes twice within two days.
    const bool differ = zone.offsetFromUtc(from) != zone.offsetFromUtc(to);
    if (!differ && from.secsTo(to) < 2 * 86400)
        return {};
    const QTimeZone::OffsetDataList changes = zone.transitions(from, to);
    if (!changes.isEmpty())
        return changes.first().atUtc.toTimeZone(zone).date();
    return differ ? to.date() : QDate();
}

bool changesWithin(const QString &first, const QString &last, const QTimeZone &zone)
{
    return firstChangeWithin(first, last, zone).isValid();
}

} // namespace DaylightSaving
