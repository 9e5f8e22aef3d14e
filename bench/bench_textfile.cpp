// Writing and reading back a text data file of one million points, then
// reading the same file with pandas (textfile_pandas.py, beside this file),
// in the same run. Each figure is the best of several runs, so that a busy
// moment of the machine does not decide it. Targets: the write within 200 ms,
// our read (both passes) at least 25x faster than the pandas total
// (read_csv and to_datetime with the format given). The file stays at
// bench/points.txt in the build folder.
#include "BenchReport.h"

#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The pandas total in milliseconds, its other lines passed through;
// negative when pandas could not read the file.
double pandasTotalMs(const QString &path, int runs)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("python3"), {QStringLiteral(KV518_BENCH_SOURCE_DIR "/textfile_pandas.py"), path,
                                             QString::number(runs)});
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

    constexpr int runs = 5;
    double writeMs = 1e300;
    double readMs = 1e300;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        const Result<TextWriteResult> w = TextDataFile::save(path, x, h, t, 0, n, u'\t', texts);
        writeMs = std::min(writeMs, double(timer.nsecsElapsed()) / 1e6);
        if (!w || w->lines != n) {
            std::printf("write failed\n");
            return 1;
        }

        timer.restart();
        TextFileExtent extent;
        TextFilePoints points;
        const Result<> status = TextDataFile::read(path, u'\t', texts, extent, points);
        readMs = std::min(readMs, double(timer.nsecsElapsed()) / 1e6);
        // Every point back as written: the speed of a reader that gets them
        // wrong means nothing.
        const auto near = [](double tolerance) {
            return [tolerance](double a, double b) { return std::abs(a - b) < tolerance; };
        };
        if (!status || points.filled != n || points.undated != 0 || points.x.size() != x.size()
            || !std::equal(x.begin(), x.end(), points.x.begin(), near(0.5 / 86400.0))
            || !std::equal(h.begin(), h.end(), points.humidity.begin(), near(0.01))
            || !std::equal(t.begin(), t.end(), points.temperature.begin(), near(0.01))) {
            std::printf("read failed or read other points than written\n");
            return 1;
        }
    }
    BenchReport report;
    std::printf("text file of %d points (%s), best of %d\n", n, qPrintable(QDir::toNativeSeparators(path)), runs);
    report.figure("write", writeMs, "ms", 200, BenchReport::Goal::AtMost);
    report.info("read (both passes)", readMs, "ms");
    const double pandasMs = pandasTotalMs(path, runs);
    if (pandasMs > 0)
        report.figure("read speed against pandas (pandas total / read)", pandasMs / readMs, "x", 25,
                      BenchReport::Goal::AtLeast);
    else
        report.unmeasured("read speed against pandas", "pandas failed");
    return report.exitCode();
}
