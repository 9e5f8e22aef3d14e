#include "data/DateTimeText.h"

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
}

namespace FrameworkTime {

double fromDateTime(const QDateTime &dt)
{
    const qint64 days = kEpoch.daysTo(dt.date());
    const qint64 ms = dt.time().msecsSinceStartOfDay();
    return double(days) + double(ms) / double(kMsPerDay);
}

QDateTime toDateTime(double days)
{
    if (!std::isfinite(days))
        return QDateTime();
    // Round to the millisecond first, so 0.5 s steps never drift to the previous second.
    const double totalMs = std::round(days * double(kMsPerDay));
    qint64 whole = qint64(std::floor(totalMs / double(kMsPerDay)));
    qint64 ms = qint64(totalMs - double(whole) * double(kMsPerDay));
    if (ms < 0) {
        ms += kMsPerDay;
        --whole;
    }
    return QDateTime(kEpoch.addDays(whole), QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::LocalTime);
}

} // namespace FrameworkTime
