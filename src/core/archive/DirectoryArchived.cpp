#include "core/archive/DirectoryArchived.h"

#include "core/data/DataSetDirectory.h"
#include "core/data/DateTimeText.h"

#include <limits>

DirectoryArchiveStanding directoryArchiveStanding(QByteArrayView directory, const QList<ArchiveRunInfo> &runs)
{
    DirectoryArchiveStanding standing;
    // The directory alone: every end address may lie anywhere in the memory.
    constexpr qint64 anywhere = std::numeric_limits<qint32>::max();
    DataSetDirectory d;
    if (!d.load(directory, anywhere, anywhere))
        return standing;
    standing.sets = d.setCount();
    for (int k = 0; k < d.setCount(); ++k) {
        // The archive keeps a run's start as the logger's naive local time.
        const QString start = FrameworkTime::isoText(d.startTimes().at(k));
        const QString unit = d.isFahrenheit(k) ? QStringLiteral("F") : QStringLiteral("C");
        const bool covered = std::any_of(runs.cbegin(), runs.cend(), [&](const ArchiveRunInfo &run) {
            return run.start == start && run.intervalSeconds == d.intervals().at(k) && run.unit == unit
                && run.samples >= d.sampleCounts().at(k);
        });
        if (!covered)
            ++standing.notArchived;
    }
    return standing;
}
