// A long run of kv518-cli watch against kv518-sim, recording a period every
// second into an archive: the watch's resident memory must stay flat and it
// may use at most 1 % of a core.
// Usage: bench_watch_soak   (KV518_WATCH_SOAK_SECONDS, default 600, at least 20)
#include "BenchReport.h"
#include "BenchSim.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

QList<QByteArray> procFields(qint64 pid, const char *file)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = f.readAll();
    // In stat, the fields after the command name (which may hold spaces).
    if (qstrcmp(file, "stat") == 0)
        text = text.mid(text.lastIndexOf(')') + 2);
    return text.split(' ');
}

double residentMb(qint64 pid)
{
    return double(procFields(pid, "statm").value(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// User and system time of the process so far, in seconds.
double cpuSeconds(qint64 pid)
{
    const QList<QByteArray> f = procFields(pid, "stat");
    // utime and stime are fields 14 and 15 of stat, 12 and 13 after the name.
    return double(f.value(11).toLongLong() + f.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = qMax(20, qEnvironmentVariableIntValue("KV518_WATCH_SOAK_SECONDS") > 0
                                     ? qEnvironmentVariableIntValue("KV518_WATCH_SOAK_SECONDS")
                                     : 600);
    BenchReport report;
    const char *growth = "watch: resident memory growth after the first 10 s";
    const char *cpu = "watch: CPU time, % of one core";

    QTemporaryDir dir;
    BenchSim sim;
    if (!sim.start({QStringLiteral("--control")})) {
        report.unmeasured(growth, "kv518-sim did not start");
        return report.exitCode();
    }
    QProcess watch;
    watch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KV518_LOCK_DIR"), dir.path());
    watch.setProcessEnvironment(env);
    qint64 lines = 0;
    QObject::connect(&watch, &QProcess::readyReadStandardOutput, [&] {
        while (watch.canReadLine()) {
            watch.readLine();
            ++lines;
        }
    });
    watch.start(QStringLiteral(KV518_CLI_PATH),
                {QStringLiteral("watch"), QStringLiteral("--port"), sim.path, QStringLiteral("--archive"),
                 dir.filePath(QStringLiteral("archive.sqlite")), QStringLiteral("--record-every"), QStringLiteral("1s"),
                 QStringLiteral("--limits"), QStringLiteral("temp=:30")});
    if (!watch.waitForStarted(5000)) {
        report.unmeasured(growth, "kv518-cli watch did not start");
        return report.exitCode();
    }
    const qint64 pid = watch.processId();
    double startMb = 0;
    double startCpu = 0;
    QTimer::singleShot(10000, [&] {
        startMb = residentMb(pid);
        startCpu = cpuSeconds(pid);
    });
    // A breach and its end every 30 s, so the events are written too.
    bool warm = false;
    QTimer flip;
    flip.setInterval(15000);
    QObject::connect(&flip, &QTimer::timeout, [&] {
        warm = !warm;
        sim.process.write(warm ? "temperature 31\n" : "temperature 23\n");
    });
    flip.start();
    double endMb = 0;
    double endCpu = 0;
    QTimer::singleShot(seconds * 1000, [&] {
        endMb = residentMb(pid);
        endCpu = cpuSeconds(pid);
        app.quit();
    });
    QCoreApplication::exec();
    watch.terminate();
    watch.waitForFinished(10000);

    std::printf("watch soak: %d s, %lld lines printed\n", seconds, lines);
    report.info("watch: resident memory after 10 s", startMb, "MB");
    report.figure(growth, endMb - startMb, "MB", 1);
    report.figure(cpu, 100.0 * (endCpu - startCpu) / double(seconds - 10), "%", 1, BenchReport::Goal::AtMost);
    return report.exitCode();
}
