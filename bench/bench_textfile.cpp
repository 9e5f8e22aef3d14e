// Writing and reading back a text data file of one million points, then
// reading the same file with pandas (textfile_pandas.py, beside this file).
// Target: our read at least 3x faster than the pandas total. The file stays
// at bench/points.txt in the build folder.
#include "BenchReport.h"

#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <vector>

namespace {

// The pandas total in milliseconds, its other lines passed through;
// negative when pandas could not read the file.
double pandasTotalMs(const QString &path)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("python3"), {QStringLiteral(KV518_BENCH_SOURCE_DIR "/textfile_pandas.py"), path});
    if (!python.waitForFinished(300000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return -1.0;
    double total = -1.0;
    for (const QByteArray &line : python.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        std::printf("%s\n", line.constData());
        const QList<QByteArray> words = line.simplified().split(' ');
        if (line.trimmed().startsWith("pandas total") && words.size() >= 2)
            total = words.at(words.size() - 2).toDouble();
    }
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int n = 1'000'000;
    std::vector<double> x(n);
    std::vector<float> h(n), t(n);
    const double start = FrameworkTime::fromDateTime(QDateTime(QDate(2020, 6, 1), QTime(8, 0)));
    for (int i = 0; i < n; ++i) {
        x[size_t(i)] = start + double(i) * 2.0 / 86400.0;
        h[size_t(i)] = float(i % 1000) / 10.0f;
        t[size_t(i)] = i % 5000 == 0 ? 9999.0f : float(i % 600 - 200) / 10.0f;
    }
    // Day/month/year and a 24-hour clock, the format the pandas step parses.
    const DateTimeText texts{QLocale(QStringLiteral("en_GB"))};
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("points.txt"));

    QElapsedTimer timer;
    timer.start();
    const Result<TextWriteResult> w = TextDataFile::save(path, x, h, t, 0, n, u'\t', texts);
    const double writeMs = double(timer.nsecsElapsed()) / 1e6;
    if (!w || w->lines != n) {
        std::printf("write failed\n");
        return 1;
    }

    timer.restart();
    TextFileExtent extent;
    TextFilePoints points;
    const Result<> status = TextDataFile::read(path, u'\t', texts, extent, points);
    const double readMs = double(timer.nsecsElapsed()) / 1e6;
    if (!status || points.filled != n || points.x[size_t(n - 1)] == 0.0) {
        std::printf("read failed\n");
        return 1;
    }
    BenchReport report;
    std::printf("text file of %d points (%s)\n", n, qPrintable(QDir::toNativeSeparators(path)));
    report.info("write", writeMs, "ms");
    report.info("read (both passes)", readMs, "ms");
    const double pandasMs = pandasTotalMs(path);
    if (pandasMs > 0)
        report.figure("read speed against pandas (pandas total / read)", pandasMs / readMs, "x", 3,
                      BenchReport::Goal::AtLeast);
    else
        report.unmeasured("read speed against pandas", "pandas failed");
    return report.exitCode();
}
