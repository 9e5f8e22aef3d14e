#pragma once

#include "core/data/LoggerImage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtEndian>

#include <cmath>

// What the window benchmarks share: a logger image of one data set of a
// million samples (every second, readings waving through their range), the
// process's resident memory, and a step timed until the window has handled
// the events it posted.

constexpr int kMillionSamples = 1'000'000;

inline QByteArray millionSampleImage()
{
    const qint64 end = LoggerImage::SampleStart + qint64(kMillionSamples) * LoggerImage::SampleBytes;
    QByteArray image(int(LoggerImage::roundUpToPacket(quint64(end))), '\0');
    uchar *e = reinterpret_cast<uchar *>(image.data()) + LoggerImage::DirectoryStart;
    qToLittleEndian<quint16>(1, e + 2); // every second
    e[4] = 24;
    e[5] = 5;
    e[6] = 1;
    qToLittleEndian<quint32>(quint32(end), e + 12);
    uchar *p = reinterpret_cast<uchar *>(image.data()) + LoggerImage::SampleStart;
    for (int i = 0; i < kMillionSamples; ++i, p += 4) {
        qToLittleEndian<qint16>(qint16(500 + std::lround(150 * std::sin(i / 5000.0))), p);
        qToLittleEndian<qint16>(qint16(220 + std::lround(40 * std::cos(i / 7000.0))), p + 2);
    }
    return image;
}

// VmRSS of this process in KiB; -1 when /proc does not say.
inline long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Runs the events already posted, once.
inline void processEvents()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

// The wall time of f and of the events it posted, in ms.
template <typename F> double timedMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    processEvents();
    return double(t.nsecsElapsed()) / 1e6;
}
