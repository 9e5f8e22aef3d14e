// Writing and reading back a text data file of one million points. Leaves
// the file at bench/points.txt in the build folder, where textfile_pandas.py
// reads the same file with pandas for comparison (target: our read at least
// 3x faster than the pandas total).
#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

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
    const TextWriteResult w = TextDataFile::save(path, x, h, t, 0, n, u'\t', texts);
    const double writeMs = double(timer.nsecsElapsed()) / 1e6;
    if (!w.written || w.lines != n) {
        std::printf("write failed\n");
        return 1;
    }

    timer.restart();
    TextFileExtent extent;
    TextFilePoints points;
    const TextReadStatus status = TextDataFile::read(path, u'\t', texts, extent, points);
    const double readMs = double(timer.nsecsElapsed()) / 1e6;
    if (status != TextReadStatus::Ok || points.filled != n || points.x[size_t(n - 1)] == 0.0) {
        std::printf("read failed\n");
        return 1;
    }
    std::printf("text file of %d points (%s)\n", n, qPrintable(QDir::toNativeSeparators(path)));
    std::printf("  write: %.0f ms\n", writeMs);
    std::printf("  read (both passes): %.0f ms\n", readMs);
    std::printf("  compare the read with the pandas total printed by textfile_pandas (target: 3x faster)\n");
    return 0;
}
