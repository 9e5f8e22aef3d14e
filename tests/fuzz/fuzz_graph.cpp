// Stored chart states: graph files and the template. A damaged record fails
// and leaves the chart exactly as it was; a record that loads is stored again
// to a record that loads to the same state (store, load, store is stable).
// The graph file wrapper is fed the same bytes behind a count.
#include "FuzzCheck.h"

#include "core/chart/ChartModel.h"
#include "core/chart/GraphFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static ChartModel chart;   // the last state that loaded
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QByteArray before = chart.store();
    if (!chart.load(bytes)) {
        FUZZ_CHECK(chart.store() == before);
    } else {
        const QByteArray stored = chart.store();
        ChartModel again;
        FUZZ_CHECK(again.load(stored));
        FUZZ_CHECK(again.store() == stored);
    }

    // The same record as a graph file: the file agrees with the record, and a
    // count that runs past the file fails without touching the chart.
    const QString path = dir.filePath(QStringLiteral("fuzz.ghf"));
    const bool overstated = size > 0 && (data[0] & 1);
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    uchar head[4];
    qToLittleEndian<quint32>(quint32(size + (overstated ? 1 : 0)), head);
    f.write(reinterpret_cast<const char *>(head), 4);
    f.write(bytes.data(), bytes.size());
    f.close();
    ChartModel fromFile;
    const QByteArray fresh = fromFile.store();
    ChartModel fromRecord;
    const bool recordLoads = fromRecord.load(bytes).ok();
    const bool fileLoads = LoadGraphFile(fromFile, path).ok();
    FUZZ_CHECK(fileLoads == (recordLoads && !overstated));
    FUZZ_CHECK(fromFile.store() == (fileLoads ? fromRecord.store() : fresh));
    if (fileLoads) {
        const QString saved = dir.filePath(QStringLiteral("saved.ghf"));
        FUZZ_CHECK(SaveGraphFile(fromFile, saved));
        ChartModel reopened;
        FUZZ_CHECK(LoadGraphFile(reopened, saved));
        FUZZ_CHECK(reopened.store() == fromFile.store());
    }
    return 0;
}
