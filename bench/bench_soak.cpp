// A long run of live polling against kv518-sim while the meter goes away and
// comes back: the simulator is stopped every 15 s and started again on the
// same device link 1 s later. The program must reconnect every time, and its
// resident memory may grow by less than 5 MB over the run.
// Usage: bench_soak [seconds]   (default 600)
#include "BenchReport.h"
#include "BenchSim.h"

#include "core/link/ConnectionMonitor.h"
#include "core/link/PortFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
// Resident memory of this process, in MB (from /proc/self/statm).
double residentMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return double(fields.value(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(20, QByteArray(argv[1]).toInt()) : 600;
    constexpr int CycleMs = 15000;
    constexpr int AwayMs = 1000;
    BenchReport report;
    const char *reconnects = "meter hung up every 15 s: reconnections missed";
    const char *growth = "resident memory growth over the run";

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("meter"));
    auto sim = std::make_unique<BenchSim>();
    if (!sim->start({QStringLiteral("--link"), link})) {
        report.unmeasured(reconnects, "kv518-sim did not start");
        return report.exitCode();
    }

    PortFactory ports;
    ConnectionMonitor monitor(ports);
    monitor.setPortNames({link});
    int lost = 0;
    int resumed = 0;          // hang-ups after which live frames came again
    bool awaitingFrame = false;
    QObject::connect(&monitor, &ConnectionMonitor::connectionLost, [&] { ++lost; });
    QObject::connect(&monitor, &ConnectionMonitor::liveFrame, [&] {
        if (awaitingFrame) {
            awaitingFrame = false;
            ++resumed;
        }
    });
    if (!searchMeter(monitor)) {
        report.unmeasured(reconnects, "the meter was not found");
        return report.exitCode();
    }
    const double startMb = residentMb();

    // Every cycle: the meter runs, hangs up, stays away a second, comes back.
    int hangUps = 0;
    QTimer cycle;
    cycle.setInterval(CycleMs);
    QObject::connect(&cycle, &QTimer::timeout, [&] {
        sim.reset();
        ++hangUps;
        awaitingFrame = true;
        QTimer::singleShot(AwayMs, [&] {
            sim = std::make_unique<BenchSim>();
            sim->start({QStringLiteral("--link"), link});
        });
    });
    cycle.start();
    // The last hang-up leaves time to reconnect before the end.
    QTimer::singleShot(seconds * 1000 - CycleMs / 2, &cycle, &QTimer::stop);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double endMb = residentMb();

    std::printf("soak: %d s, %d hang-ups, %d losses reported, live frames again after %d of them, connected at "
                "the end: %s\n",
                seconds, hangUps, lost, resumed, monitor.isConnected() ? "yes" : "no");
    report.figure(reconnects, double(hangUps - resumed), "", 0, BenchReport::Goal::AtMost);
    report.info("resident memory after the first connection", startMb, "MB");
    report.figure(growth, endMb - startMb, "MB", 5);
    monitor.suspend();
    return report.exitCode();
}
