#pragma once

#include "core/data/LoggerImage.h"
#include "core/link/MeterMessages.h"

#include <QByteArray>
#include <QtEndian>

// A full 16 MiB logger memory: fifteen data sets sharing the sample area
// (about 4.19 million samples), readings drifting through the whole range,
// out-of-range markers included.
inline QByteArray fullLoggerImage()
{
    constexpr qint64 size = Meter::MaxImageBytes;
    QByteArray image(size, '\0');
    char *b = image.data();
    const qint64 perSet = (size - LoggerImage::SampleStart) / LoggerImage::MaxSets / 4 * 4;
    for (int k = 0; k < LoggerImage::MaxSets; ++k) {
        uchar *e = reinterpret_cast<uchar *>(b) + LoggerImage::entryOffset(k);
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
    return image;
}
