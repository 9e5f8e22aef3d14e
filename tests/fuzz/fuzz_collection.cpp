// Collection files on disk: what the Save command writes, Open reads back
// byte for byte (the readers refuse nothing a logger can hold), and a failed
// Open of a damaged file leaves the loaded data sets as they were. Saving over
// an existing file replaces it whole.
#include "FuzzCheck.h"

#include "core/data/CollectionFile.h"
#include "core/data/TDataSetStore.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray readBack(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static TDataSetStore shown;   // the data sets on screen: the last file that opened
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = dir.filePath(QStringLiteral("fuzz.518"));

    // Written over the previous input's file: the new bytes, nothing of the old.
    FUZZ_CHECK(CollectionFile::writeImage(path, bytes));
    FUZZ_CHECK(readBack(path) == bytes);

    qint64 announced = -1;
    const Result<QByteArray> image = CollectionFile::readImage(path, &announced);
    FUZZ_CHECK(bool(image));
    FUZZ_CHECK(*image == bytes);
    FUZZ_CHECK(announced == bytes.size());

    // Open: the file's bytes go to the store, or the store keeps its sets.
    const QByteArray shownBefore = shown.lastImage();
    const int setsBefore = shown.SetCount();
    if (shown.load(*image, announced)) {
        FUZZ_CHECK(shown.lastImage() == bytes);
        // Save of what is shown, then Open of that file: the same sets again.
        const QString saved = dir.filePath(QStringLiteral("saved.518"));
        FUZZ_CHECK(CollectionFile::writeImage(saved, shown.lastImage()));
        TDataSetStore reopened;
        const Result<QByteArray> again = CollectionFile::readImage(saved);
        FUZZ_CHECK(again && reopened.load(*again, again->size()));
        FUZZ_CHECK(reopened.Values() == shown.Values() && sameTimes(reopened.Times(), shown.Times()));
    } else {
        FUZZ_CHECK(shown.lastImage() == shownBefore);
        FUZZ_CHECK(shown.SetCount() == setsBefore);
    }
    return 0;
}
