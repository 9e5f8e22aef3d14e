// "kv518-cli stats" on a 16 MiB logger image of one data set (about 4.19
// million samples, readings as a logger in a room records them: FullImage.h),
// wall time from start to exit, against numpy doing the
// same decode, MAX/MIN/AVG of both channels and the mean kinetic temperature
// (stats_numpy.py, beside this file, timed from reading the file on), in the
// same run; numpy's figures must be the command's. Then, in this process,
// what the derived channels (dew point, absolute humidity, with their
// MAX/MIN/AVG) and the worst 24 h and 30 d MKT windows add to the statistics
// of those samples. Targets: kv518-cli no slower than numpy; the derived
// channels and the windows within 30 ms. Each figure is the best of several
// runs.
#include "BenchReport.h"
#include "FullImage.h"

#include "core/data/AlarmLimits.h"
#include "core/data/DerivedChannels.h"
#include "core/data/Statistics.h"
#include "core/data/TDataSetStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;

struct CliRun
{
    double ms = -1.0;   // negative when it failed
    QByteArray out;
};

CliRun runStats(const QString &path, bool json)
{
    QStringList arguments{QStringLiteral("stats"), path, QStringLiteral("--set"), QStringLiteral("1"),
                          QStringLiteral("--locale"), QStringLiteral("en_US")};
    if (json)
        arguments << QStringLiteral("--json");
    QProcess cli;
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(KV518_CLI_PATH), arguments);
    CliRun run;
    if (!cli.waitForFinished(120000))
        return run;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    run.out = cli.readAllStandardOutput();
    if (cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0 && !run.out.isEmpty())
        run.ms = ms;
    return run;
}

// numpy's best time in milliseconds and its figures; a negative time when
// numpy could not run.
double numpyMs(const QString &path, qint64 samples, double start, qint64 interval, QJsonObject &figures)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(KV518_BENCH_SOURCE_DIR "/stats_numpy.py"), path,
                  QString::number(LoggerImage::SampleStart), QString::number(samples), QString::number(start, 'g', 17),
                  QString::number(interval), QString::number(kRuns)});
    if (!python.waitForFinished(300000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return -1.0;
    const QList<QByteArray> lines = python.readAllStandardOutput().trimmed().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        std::printf("%s\n", lines.at(i).constData());
    const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
    figures = last.value(QStringLiteral("figures")).toObject();
    return last.value(QStringLiteral("ms")).toDouble(-1.0);
}

// Whether numpy found what kv518-cli --json says: the extremes exactly, the
// averages and the MKT as far as the command rounds them.
bool sameFigures(const QJsonObject &cli, const QJsonObject &numpy)
{
    bool same = true;
    for (const char *channel : {"humidity", "temperature"}) {
        const QJsonObject a = cli.value(QLatin1String(channel)).toObject();
        const QJsonObject b = numpy.value(QLatin1String(channel)).toObject();
        for (const char *key : {"max", "min"}) {
            if (float(a.value(QLatin1String(key)).toDouble()) != float(b.value(QLatin1String(key)).toDouble()))
                same = false;
        }
        if (std::abs(a.value(QLatin1String("avg")).toDouble() - b.value(QLatin1String("avg")).toDouble()) > 6e-4
            || a.value(QLatin1String("count")).toInteger() != b.value(QLatin1String("count")).toInteger())
            same = false;
    }
    if (std::abs(cli.value(QLatin1String("mkt")).toDouble() - numpy.value(QLatin1String("mkt")).toDouble()) > 1e-3)
        same = false;
    if (!same)
        std::printf("kv518-cli: %s\nnumpy: %s\n", QJsonDocument(cli).toJson(QJsonDocument::Compact).constData(),
                    QJsonDocument(numpy).toJson(QJsonDocument::Compact).constData());
    return same;
}

template<typename F>
double bestMs(F f)
{
    double best = 1e300;
    QElapsedTimer t;
    for (int i = 0; i < kRuns; ++i) {
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one-set.518"));
    const QByteArray image = singleSetLoggerImage();
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        std::printf("cannot write the collection file\n");
        return 1;
    }
    file.close();
    TDataSetStore store;
    if (!store.load(image, image.size()) || store.SetCount() != 1) {
        std::printf("the image does not load\n");
        return 1;
    }
    const qsizetype n = store.SampleCounts().at(0);
    const size_t count = size_t(n);
    std::vector<double> x(count);
    std::vector<float> h(count), t(count);
    for (qsizetype j = 0; j < n; ++j) {
        x[size_t(j)] = store.Times().at(2 * j);
        h[size_t(j)] = store.Values().at(2 * j);
        t[size_t(j)] = store.Values().at(2 * j + 1);
    }
    const ChartSeries series{{x, x}, {h, t}};
    const qint64 interval = store.Intervals().at(0);

    BenchReport report;
    std::printf("kv518-cli stats on one data set of %lld samples, best of %d\n", qlonglong(n), kRuns);
    double cliMs = 1e300;
    for (int i = 0; i < kRuns; ++i) {
        const CliRun run = runStats(path, false);
        if (run.ms < 0 || !run.out.contains("Mean Kinetic Temperature: ") || run.out.contains("Kinetic Temperature: *")) {
            std::printf("kv518-cli stats failed:\n%s\n", run.out.constData());
            return 1;
        }
        cliMs = std::min(cliMs, run.ms);
    }
    const CliRun json = runStats(path, true);
    QJsonObject numpyFigures;
    const double numpy = numpyMs(path, n, store.StartTimes().at(0), interval, numpyFigures);
    report.info("kv518-cli stats, start to exit", cliMs, "ms");
    if (numpy <= 0 || json.ms < 0)
        report.unmeasured("kv518-cli stats against numpy", "numpy failed");
    else if (!sameFigures(QJsonDocument::fromJson(json.out).object(), numpyFigures))
        report.unmeasured("kv518-cli stats against numpy", "other figures");
    else
        report.figure("kv518-cli stats / numpy", cliMs / numpy, "x", 1.0, BenchReport::Goal::AtMost);

    // The results go somewhere, so that nothing is left out as unused.
    double sink = 0.0;
    const double baseMs = bestMs([&] {
        const SetStatistics s = Statistics::wholeSet(series);
        sink += s.channel[1].average + KineticTemperature::compute(t, TemperatureUnit::Celsius).value_or(0.0);
    });
    const double derivedMs = bestMs([&] {
        const SetStatistics s = Humidity::wholeSet(series, TemperatureUnit::Celsius);
        const auto windows = KineticTemperature::worstWindows(x, t, TemperatureUnit::Celsius,
                                                              KineticTemperature::DefaultActivationEnergy, interval);
        sink += s.channel[0].average + windows[0].mkt.value_or(0.0) + windows[1].mkt.value_or(0.0);
    });
    const double derivedOnlyMs = bestMs([&] {
        sink += Humidity::wholeSet(series, TemperatureUnit::Celsius).channel[1].average;
    });
    const double windowsOnlyMs = bestMs([&] {
        const auto windows = KineticTemperature::worstWindows(x, t, TemperatureUnit::Celsius,
                                                              KineticTemperature::DefaultActivationEnergy, interval);
        sink += windows[0].mkt.value_or(0.0);
    });
    std::printf("statistics of the same %lld samples in this process (%g)\n", qlonglong(n), sink > 0 ? 1.0 : 0.0);
    report.info("MAX/MIN/AVG of both channels and the MKT", baseMs, "ms");
    report.info("the derived channels alone", derivedOnlyMs, "ms");
    report.info("the worst 24 h / 30 d MKT alone", windowsOnlyMs, "ms");
    report.figure("derived channels and the worst 24 h / 30 d MKT add", derivedMs, "ms", 30,
                  BenchReport::Goal::AtMost);
    return report.exitCode();
}
