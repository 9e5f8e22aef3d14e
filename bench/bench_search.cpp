// The start-up search against kv518-sim on pseudo-terminals: eight silent
// meters listed before a real one. Measured from the start of the search to
// "On Connection" (target: under 1.5 s); the same ports asked one after the
// other, as a scan with a pause per port would, for comparison.
// Usage: bench_search [silent-ports]   (default 8)
#include "BenchReport.h"
#include "BenchSim.h"

#include "core/link/ComPort.h"
#include "core/link/ConnectionMonitor.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QProcess>

#include <memory>
#include <string>
#include <vector>

namespace {
// Turns the event loop for ms (the benchmark's top level).
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Milliseconds until the search reported "On Connection", or -1.
double searchToConnection(const QStringList &ports)
{
    PortFactory factory;
    ConnectionMonitor monitor(factory);
    monitor.setPortNames(ports);
    QElapsedTimer clock;
    double connectedAt = -1;
    QObject::connect(&monitor, &ConnectionMonitor::statusChanged, &monitor,
                     [&](const QString &, bool connected) {
                         if (connected && connectedAt < 0)
                             connectedAt = double(clock.nsecsElapsed()) / 1e6;
                     });
    QEventLoop loop;
    QObject::connect(&monitor, &ConnectionMonitor::searchFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    clock.start();
    monitor.searchMeter();
    loop.exec();
    monitor.suspend();
    return connectedAt;
}

// The same question asked port after port, a full pause each.
double oneByOne(const QStringList &ports)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString &path : ports) {
        ComPort port;
        port.setDeviceName(path);
        if (!port.open())
            continue;
        port.clearInput();
        SendRequest(port, Meter::IDENTIFY_REQUEST);
        pause(Meter::SearchReplyDelayMs);
        if (port.bytesWaiting() >= Meter::IdentifyReplyLength
            && Meter::isIdentifyReply(port.read(Meter::IdentifyReplyLength)))
            return double(clock.nsecsElapsed()) / 1e6;
    }
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int silentCount = argc > 1 ? qMax(0, QByteArray(argv[1]).toInt()) : 8;
    BenchReport report;
    const std::string label = "start-up search: " + std::to_string(silentCount) + " silent ports, then the meter";
    const char *figure = label.c_str();

    std::vector<std::unique_ptr<BenchSim>> sims;
    QStringList ports;
    for (int i = 0; i <= silentCount; ++i) {
        auto sim = std::make_unique<BenchSim>();
        const bool last = i == silentCount;
        if (!sim->start(last ? QStringList() : QStringList{QStringLiteral("--silent")})) {
            report.unmeasured(figure, "kv518-sim did not start");
            return report.exitCode();
        }
        ports << sim->path;
        sims.push_back(std::move(sim));
    }

    const double ms = searchToConnection(ports);
    if (ms < 0)
        report.unmeasured(figure, "the meter was not found");
    else
        report.figure(figure, ms, "ms", 1500);
    const double old = oneByOne(ports);
    if (old >= 0)
        report.info("the same ports asked one by one (comparison)", old, "ms");
    return report.exitCode();
}
