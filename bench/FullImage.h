#pragma once

#include "core/data/LoggerImage.h"
#include "core/link/MeterMessages.h"

#include <QByteArray>
#include <QtEndian>

#include <cmath>

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

// A 16 MiB memory holding one data set of about 4.19 million samples at
// 5 minutes from 2020-06-01 08:00 (some 40 years), with readings as a logger
// in a room records them: temperatures in tenths around 20 C with a daily
// and a yearly swing, humidity against them, now and then an out-of-range
// reading.
inline QByteArray singleSetLoggerImage()
{
    constexpr qint64 size = Meter::MaxImageBytes;
    QByteArray image(size, '\0');
    uchar *b = reinterpret_cast<uchar *>(image.data());
    uchar *e = b + LoggerImage::entryOffset(0);
    qToLittleEndian<quint16>(0x2C, e + 2);
    e[4] = 20;
    e[5] = 6;
    e[6] = 1;
    e[7] = 8;
    const qint64 samples = (size - LoggerImage::SampleStart) / LoggerImage::SampleBytes;
    qToLittleEndian<quint32>(quint32(LoggerImage::SampleStart + samples * LoggerImage::SampleBytes), e + 12);
    constexpr double tau = 6.283185307179586;
    for (qint64 j = 0; j < samples; ++j) {
        const double day = double(j) * 300.0 / 86400.0;
        const double daily = std::sin(tau * day);
        const double yearly = std::sin(tau * day / 365.25);
        const int jitter = int(j * 7919 % 7) - 3;
        qint16 t = qint16(std::lround(200.0 + 80.0 * yearly + 40.0 * daily) + jitter);
        const qint16 h = qint16(std::lround(550.0 - 150.0 * daily + 50.0 * yearly) - jitter);
        if (j % 100000 == 99999)
            t = 13701;
        uchar *sample = b + LoggerImage::SampleStart + j * LoggerImage::SampleBytes;
        qToLittleEndian<qint16>(h, sample);
        qToLittleEndian<qint16>(t, sample + 2);
    }
    return image;
}
