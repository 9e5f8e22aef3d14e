// The logger image and the data set store: the parse behind Download, Open
// and kv518-cli. A failed load leaves the store exactly as it was; a
// successful one keeps the image byte for byte, loads again to the same data
// sets, and agrees with the directory-only check kv518-cli sets makes.
#include "FuzzCheck.h"

#include "core/data/DataSetDirectory.h"
#include "core/data/TDataSetStore.h"

#include <QByteArray>

#include <utility>

namespace {

// Names the first part that differs, so a finding says what broke.
bool sameStore(const TDataSetStore &a, const TDataSetStore &b)
{
    const std::pair<const char *, bool> parts[] = {
        {"image", a.lastImage() == b.lastImage()},
        {"expected bytes", a.ExpectedBytes() == b.ExpectedBytes()},
        {"set count", a.SetCount() == b.SetCount()},
        {"start times", sameTimes(a.StartTimes(), b.StartTimes())},
        {"intervals", a.Intervals() == b.Intervals()},
        {"sample counts", a.SampleCounts() == b.SampleCounts()},
        {"unit flags", a.UnitFlags() == b.UnitFlags()},
        {"start addresses", a.StartAddresses() == b.StartAddresses()},
        {"end addresses", a.EndAddresses() == b.EndAddresses()},
        {"values", a.Values() == b.Values()},
        {"times", sameTimes(a.Times(), b.Times())},
    };
    for (const auto &[name, same] : parts) {
        if (!same) {
            std::fprintf(stderr, "stores differ in: %s\n", name);
            return false;
        }
    }
    return true;
}

// The store before each input: the last input that loaded, so a failed load
// is checked against real data sets, not an empty store.
TDataSetStore &before()
{
    static TDataSetStore store;
    return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray image(reinterpret_cast<const char *>(data), qsizetype(size));
    TDataSetStore store = before();
    const Result<> result = store.load(image, image.size());

    DataSetDirectory directory;
    const Result<> listed = directory.load(image.left(LoggerImage::DirectoryEnd), image.size(), image.size());
    FUZZ_CHECK(listed.ok() == result.ok() && (result || listed.code() == result.code()));

    if (!result) {
        FUZZ_CHECK(sameStore(store, before()));
        return 0;
    }
    FUZZ_CHECK(store.lastImage() == image);
    FUZZ_CHECK(store.SetCount() == directory.setCount());
    FUZZ_CHECK(store.SampleCounts() == directory.sampleCounts());
    qint64 samples = 0;
    for (qint32 n : store.SampleCounts())
        samples += n;
    FUZZ_CHECK(store.Values().size() == 2 * samples);
    FUZZ_CHECK(store.Times().size() == store.Values().size());

    // The collection file holds lastImage(): opening it gives the same sets.
    TDataSetStore reopened;
    FUZZ_CHECK(reopened.load(store.lastImage(), store.lastImage().size()));
    FUZZ_CHECK(sameStore(reopened, store));
    before() = store;
    return 0;
}
