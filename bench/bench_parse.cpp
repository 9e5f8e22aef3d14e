// Decoding a full 16 MiB logger image (about four million samples) into the
// data set store. Target: under 100 ms.
#include "core/data/TDataSetStore.h"
#include "core/link/MeterMessages.h"

#include <QElapsedTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

int main()
{
    constexpr qint64 size = Meter::MaxImageBytes;
    QByteArray image(size, '\0');
    char *b = image.data();
    // Fifteen sets sharing the sample area, readings drifting through the range.
    const qint64 perSet = (size - LoggerImage::SampleStart) / 15 / 4 * 4;
    for (int k = 0; k < 15; ++k) {
        uchar *e = reinterpret_cast<uchar *>(b) + 16 + 16 * k;
        e[1] = uchar(k & 1);
        qToLittleEndian<quint16>(quint16(k == 0 ? 0x2C : 1 + k), e + 2);
        e[4] = 20;
        e[5] = 6;
        e[6] = 1;
        e[7] = 8;
        qToLittleEndian<quint32>(quint32(LoggerImage::SampleStart + perSet * (k + 1)), e + 12);
    }
    for (qint64 a = LoggerImage::SampleStart; a + 4 <= size; a += 4) {
        qToLittleEndian<qint16>(qint16((a / 4) % 1200), b + a);
        qToLittleEndian<qint16>(qint16((a / 4) % 16000 - 2500), b + a + 2);
    }

    TDataSetStore store;
    double best = 1e9;
    qint64 samples = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        const TLoadResult r = store.load(image, size);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (r != TLoadResult::lrOk) {
            std::printf("parse failed: %d\n", int(r));
            return 1;
        }
        best = std::min(best, ms);
        samples = store.Values().size() / 2;
    }
    std::printf("parse of a %lld-byte image: %lld samples in %.1f ms (best of 5), %.1f million samples/s "
                "(target < 100 ms)\n",
                static_cast<long long>(size), static_cast<long long>(samples), best, double(samples) / best / 1e3);
    return 0;
}
