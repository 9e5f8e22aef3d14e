// "kv518-cli report" on a data set of 100,000 samples (about 2,000 pages of
// sample table), wall time from start to exit. Target: under 20 s. The same
// data set with --no-table shows what the chart and statistics page costs.
#include "BenchReport.h"

#include "core/data/LoggerImage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <cstdio>

namespace {

constexpr qint64 kSamples = 100000;

// One data set, readings swinging slowly with a little noise, as a logger
// hanging in a room for a few days records them.
QByteArray image()
{
    const qint64 end = LoggerImage::SampleStart + kSamples * LoggerImage::SampleBytes;
    QByteArray bytes(qsizetype(LoggerImage::roundUpToPacket(quint64(end))), '\0');
    uchar *b = reinterpret_cast<uchar *>(bytes.data());
    uchar *e = b + LoggerImage::entryOffset(0);
    qToLittleEndian<quint16>(2, e + LoggerImage::EntryField::IntervalCode);
    e[LoggerImage::EntryField::Year] = 26;
    e[LoggerImage::EntryField::Month] = 3;
    e[LoggerImage::EntryField::Day] = 1;
    qToLittleEndian<quint32>(quint32(end), e + LoggerImage::EntryField::EndAddress);
    for (qint64 i = 0; i < kSamples; ++i) {
        uchar *s = b + LoggerImage::SampleStart + i * LoggerImage::SampleBytes;
        const double phase = double(i) / 4000.0;
        qToLittleEndian<qint16>(qint16(500 + 150 * std::sin(phase) + (i * 7919) % 11), s);
        qToLittleEndian<qint16>(qint16(220 + 40 * std::cos(phase / 3) + (i * 104729) % 5), s + 2);
    }
    return bytes;
}

double runSeconds(const QStringList &arguments)
{
    QProcess cli;
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(KV518_CLI_PATH), arguments);
    if (!cli.waitForFinished(300000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
        std::printf("kv518-cli failed: %s\n", cli.readAllStandardError().constData());
        return -1.0;
    }
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("room.518"));
    QFile f(input);
    const QByteArray bytes = image();
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::printf("cannot write the collection file\n");
        return 1;
    }
    f.close();

    BenchReport report;
    const QString out = dir.filePath(QStringLiteral("room.pdf"));
    const double pageOne = runSeconds({QStringLiteral("report"), input, QStringLiteral("-o"), out,
                                       QStringLiteral("--locale"), QStringLiteral("en_US"),
                                       QStringLiteral("--no-table")});
    if (pageOne < 0)
        report.unmeasured("report of 100,000 samples, page 1 only", "kv518-cli failed");
    else
        report.info("report of 100,000 samples, page 1 only", pageOne, "s");

    const double full = runSeconds({QStringLiteral("report"), input, QStringLiteral("-o"), out,
                                    QStringLiteral("--locale"), QStringLiteral("en_US")});
    if (full < 0) {
        report.unmeasured("report of 100,000 samples, 2,001 pages", "kv518-cli failed");
    } else {
        report.figure("report of 100,000 samples, 2,001 pages", full, "s", 20.0);
        report.info("its size", double(QFileInfo(out).size()) / (1024.0 * 1024.0), "MiB");
    }
    return report.exitCode();
}
