// Meter link figures against kv518-sim on a pseudo-terminal:
//  1. CPU time of live polling a connected meter (target: at most 1% of a core);
//  2. the packet exchange of a 1 MiB download without wire pacing: packets per
//     second and the program's time per packet (target: under 0.2 ms), against
//     the 19200-baud wire time of the same image.
// Usage: bench_link [live-seconds]   (default 60)
#include "BenchReport.h"
#include "BenchSim.h"

#include "core/link/ComPort.h"
#include "core/link/ConnectionMonitor.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
double selfCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double processCpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

void livePolling(BenchReport &report, int seconds)
{
    const char *figure = "live polling: program CPU, share of one core";
    BenchSim sim;
    if (!sim.start({})) {
        report.unmeasured(figure, "kv518-sim did not start");
        return;
    }
    PortFactory ports;
    ConnectionMonitor monitor(ports);
    monitor.setPortNames({sim.path});
    if (!searchMeter(monitor)) {
        report.unmeasured(figure, "meter not found");
        return;
    }
    int frames = 0;
    QObject::connect(&monitor, &ConnectionMonitor::liveFrame, [&frames] { ++frames; });

    const double cpu0 = selfCpuSeconds();
    const double simCpu0 = processCpuSeconds(sim.process.processId());
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double cpu = selfCpuSeconds() - cpu0;
    const double simCpu = processCpuSeconds(sim.process.processId()) - simCpu0;

    std::printf("live polling: %.1f s, %d frames, connected=%s\n", elapsed, frames,
                monitor.isConnected() ? "yes" : "no");
    report.figure(figure, 100.0 * cpu / elapsed, "%", 1, BenchReport::Goal::AtMost);
    report.info("live polling: kv518-sim CPU, share of one core", 100.0 * simCpu / elapsed, "%");
}

void packetExchange(BenchReport &report)
{
    const char *figure = "packet exchange: program CPU per packet";
    // 4 sets of 65456 samples: 320 + 4 * 4 * 65456 = 1 047 616 bytes, about 1 MiB.
    BenchSim sim;
    if (!sim.start({"--sets", "4", "--samples", "65456"})) {
        report.unmeasured(figure, "kv518-sim did not start");
        return;
    }
    ComPort comm2;
    comm2.setDeviceName(sim.path);
    if (!comm2.open()) {
        report.unmeasured(figure, "cannot open the port");
        return;
    }
    QElapsedTimer wall;
    qint64 lastPacketNs = 0;
    double cpuAtLastPacket = 0.0;
    PacketOptions options;
    options.progress = [&](const QByteArray &, PacketStep) {
        lastPacketNs = wall.nsecsElapsed();
        cpuAtLastPacket = selfCpuSeconds();
    };
    const double cpu0 = selfCpuSeconds();
    wall.start();
    PacketResult r;
    PacketExchange exchange;
    QEventLoop exchangeLoop;
    exchange.start(comm2, Meter::DOWNLOAD_REQUEST, options, [&](const PacketResult &result) {
        r = result;
        exchangeLoop.quit();
    });
    exchangeLoop.exec();
    const double total = double(wall.nsecsElapsed()) / 1e9;
    comm2.close();

    const double transfer = double(lastPacketNs) / 1e9;
    const int packets = r.packets;
    const double cpu = cpuAtLastPacket - cpu0;
    const double wireBytes = double(packets) * (Meter::PacketLength + Meter::ACK.size()) + Meter::DOWNLOAD_REQUEST.size();
    const double wire = wireBytes * 10.0 / Meter::BaudRate;
    std::printf("packet exchange: %lld bytes in %d packets, %d retries, ended after %.2f s (3 s silence included)\n",
                qlonglong(r.bytes.size()), packets, r.retries, total);
    if (packets == 0) {
        report.unmeasured(figure, "no packet arrived");
        return;
    }
    report.info("packet exchange: transfer (wall, pty and kv518-sim)", transfer, "s");
    report.info("packet exchange: packets per second", packets / transfer, "/s");
    report.info("packet exchange: wall time per packet", 1000.0 * transfer / packets, "ms");
    report.figure(figure, 1000.0 * cpu / packets, "ms", 0.2);
    report.info("packet exchange: 19200-baud wire time per packet", 1000.0 * wire / packets, "ms");
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 60;
    BenchReport report;
    packetExchange(report);
    livePolling(report, seconds);
    return report.exitCode();
}
