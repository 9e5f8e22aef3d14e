#pragma once

#include <QDate>
#include <QString>
#include <QTimeZone>

// The logger's clock counts naive local time and never follows a
// daylight-saving change; a run whose span holds one has its later samples
// an hour off the PC's clock (or its earlier ones, seen from after it).
namespace DaylightSaving {

// Whether zone's offset from UTC changes between the naive local times
// first and last (ISO 8601), both read as times of that zone. False for a
// text that is no time, or for last before first.
bool changesWithin(const QString &first, const QString &last,
                   const QTimeZone &zone = QTimeZone::systemTimeZone());

// The date (in zone) of the first such change between them; invalid when
// there is none.
QDate firstChangeWithin(const QString &first, const QString &last,
                        const QTimeZone &zone = QTimeZone::systemTimeZone());

} // namespace DaylightSaving
