// "kv518-cli sets" on a full 16 MiB collection file against the same command
// on a tiny one, wall time from start to exit, best of several runs each.
// The list shows only the directory, so the size of the file should hardly
// matter. Target: the 16 MiB file within 30 ms of the tiny one.
#include "BenchReport.h"
#include "FullImage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 9;

// One data set of ten samples, padded to a whole packet as a download leaves it.
QByteArray tinyImage()
{
    const qint64 end = LoggerImage::SampleStart + 10 * LoggerImage::SampleBytes;
    QByteArray image(qsizetype(LoggerImage::roundUpToPacket(quint64(end))), '\0');
    uchar *e = reinterpret_cast<uchar *>(image.data()) + LoggerImage::entryOffset(0);
    qToLittleEndian<quint16>(60, e + LoggerImage::EntryField::IntervalCode);
    e[LoggerImage::EntryField::Year] = 24;
    e[LoggerImage::EntryField::Month] = 5;
    e[LoggerImage::EntryField::Day] = 1;
    qToLittleEndian<quint32>(quint32(end), e + LoggerImage::EntryField::EndAddress);
    return image;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Wall milliseconds of one run; negative when it failed or listed another
// number of data sets.
double runMs(const QString &path, int sets)
{
    QProcess cli;
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(KV518_CLI_PATH), {QStringLiteral("sets"), path, QStringLiteral("--locale"),
                                                QStringLiteral("en_US")});
    if (!cli.waitForFinished(30000))
        return -1.0;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const QByteArray out = cli.readAllStandardOutput();
    const bool ok = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0 && out.count('\n') == sets + 1;
    return ok ? ms : -1.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString tiny = dir.filePath(QStringLiteral("tiny.518"));
    const QString full = dir.filePath(QStringLiteral("full.518"));
    if (!dir.isValid() || !write(tiny, tinyImage()) || !write(full, fullLoggerImage())) {
        std::printf("cannot write the collection files\n");
        return 1;
    }

    // Alternating runs, so that a busy moment of the machine hits both alike.
    double bestTiny = 1e300;
    double bestFull = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        const double t = runMs(tiny, 1);
        const double f = runMs(full, LoggerImage::MaxSets);
        if (t < 0 || f < 0) {
            std::printf("kv518-cli sets failed or listed the wrong data sets\n");
            return 1;
        }
        bestTiny = std::min(bestTiny, t);
        bestFull = std::min(bestFull, f);
    }

    BenchReport report;
    std::printf("kv518-cli sets, wall time from start to exit, best of %d\n", kRuns);
    report.info("tiny collection file (1 data set)", bestTiny, "ms");
    report.info("16 MiB collection file (15 data sets)", bestFull, "ms");
    report.figure("16 MiB file minus tiny file", bestFull - bestTiny, "ms", 30);
    return report.exitCode();
}
