// The download archive on a real SQLite file in a temporary folder.
// Targets: archiving a full 16 MiB download (image + 15 runs) at most 300 ms;
// checking a download against an archive of 10,000 runs at most 20 ms;
// verifying an archive at least 400 MB/s (the target is for 1 GB; measured
// on about 240 MB: five full downloads, each with 15 new runs, which keeps
// the temporary file and the run short).
#include "BenchReport.h"
#include "FullImage.h"

#include "core/archive/Archive.h"
#include "core/data/TDataSetStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>

namespace {

// An image of 15 short data sets, each starting a minute after the one
// before from minute `first` on: every download brings 15 new runs.
QByteArray smallImage(int first)
{
    QByteArray image(LoggerImage::SampleStart + 15 * 8, '\0');
    uchar *b = reinterpret_cast<uchar *>(image.data());
    for (int k = 0; k < LoggerImage::MaxSets; ++k) {
        const int minute = first + k;
        uchar *e = b + LoggerImage::entryOffset(k);
        qToLittleEndian<quint16>(60, e + 2);
        e[4] = 20;
        e[5] = 1 + (minute / 1440 / 28) % 12;
        e[6] = 1 + (minute / 1440) % 28;
        e[7] = (minute / 60) % 24;
        e[8] = minute % 60;
        qToLittleEndian<quint32>(quint32(LoggerImage::SampleStart + 8 * (k + 1)), e + 12);
    }
    for (int a = LoggerImage::SampleStart; a < image.size(); a += 2)
        qToLittleEndian<qint16>(qint16(300 + a % 97), b + a);
    return image;
}

void verifySpeed(BenchReport &report)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("verify.sqlite"));
    Result<std::unique_ptr<Archive>> archive = Archive::open(path);
    if (!archive) {
        report.unmeasured("verify an archive", qPrintable(archive.message()));
        return;
    }
    QByteArray image = fullLoggerImage();
    TDataSetStore store;
    if (!store.load(image, image.size()))
        return;
    for (int d = 0; d < 5; ++d) {
        // Every data set's first sample changed: a new image and 15 new runs.
        for (int k = 0; k < store.SetCount(); ++k)
            image[store.StartAddresses().at(k)] = char(d + 1);
        if (!(*archive)->add(ArchiveDownload::here(image, ArchiveSource::Download))) {
            report.unmeasured("verify an archive", "the archive could not be filled");
            return;
        }
    }
    const double megabytes = double(QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size()) / 1e6;
    QElapsedTimer t;
    t.start();
    Result<QStringList> problems = (*archive)->verify();
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (!problems || !problems->isEmpty()) {
        report.unmeasured("verify an archive", problems ? "it found problems" : qPrintable(problems.message()));
        return;
    }
    report.info("archive verified (file and log)", megabytes, "MB");
    report.figure("verify an archive", megabytes / seconds, "MB/s", 400, BenchReport::Goal::AtLeast);
}

} // namespace

int main()
{
    BenchReport report;
    QTemporaryDir dir;
    Result<std::unique_ptr<Archive>> archive = Archive::open(dir.filePath(QStringLiteral("archive.sqlite")));
    if (!archive) {
        std::printf("%s\n", qPrintable(archive.message()));
        return 1;
    }
    const QByteArray full = fullLoggerImage();
    QElapsedTimer t;
    t.start();
    Result<ArchiveOutcome> added = (*archive)->add(ArchiveDownload::here(full, ArchiveSource::Download));
    const double addMs = double(t.nsecsElapsed()) / 1e6;
    if (added)
        report.figure("archive a full 16 MiB download (image + 15 runs)", addMs, "ms", 300, BenchReport::Goal::AtMost);
    else
        report.unmeasured("archive a full 16 MiB download (image + 15 runs)", qPrintable(added.message()));

    t.start();
    int runs = 15;
    for (int d = 0; runs < 10000; ++d, runs += 15) {
        if (!(*archive)->add(ArchiveDownload::here(smallImage(d * 15), ArchiveSource::Download))) {
            report.unmeasured("check a download against 10,000 runs", "the archive could not be filled");
            return report.exitCode();
        }
    }
    report.info("filling the archive to 10,000 runs", double(t.elapsed()) / 1000.0, "s");

    TDataSetStore store;
    const QByteArray typical = smallImage(7);
    if (!store.load(typical, typical.size()))
        return 1;
    t.start();
    Result<QList<RunOutcome>> checked = (*archive)->check(store);
    const double checkMs = double(t.nsecsElapsed()) / 1e6;
    if (checked)
        report.figure("check a download (15 runs) against 10,000 runs", checkMs, "ms", 20, BenchReport::Goal::AtMost);
    else
        report.unmeasured("check a download (15 runs) against 10,000 runs", qPrintable(checked.message()));

    TDataSetStore fullStore;
    if (fullStore.load(full, full.size())) {
        t.start();
        checked = (*archive)->check(fullStore);
        report.info("check the full 16 MiB download against 10,000 runs", double(t.nsecsElapsed()) / 1e6, "ms");
    }
    verifySpeed(report);
    return report.exitCode();
}
