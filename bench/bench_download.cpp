// The download command of the main window against kv518-sim at wire speed:
// a 64 KiB logger memory from the "Download" click to live polling back,
// against the 19200-baud wire time (67 bytes per packet out, 3 bytes of ACK
// back, 10 bits per byte) plus the 3 s of silence that ends every download.
// Target: the whole command within 5% of that.
#include "BenchReport.h"

#include "core/app/MainOptions.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/download/DownloadController.h"
#include "gui/download/TfrmScope.h"
#include "gui/shell/TfrmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr int Sets = 4;
constexpr int SamplesPerSet = 4076;  // 320 + 4 * 4076 * 4 = 65536 bytes
constexpr double BitsPerByte = 10.0;
constexpr double Baud = 19200.0;
constexpr double PacketOut = 67.0;
constexpr double AckBack = 3.0;
constexpr double SilenceMs = 3000.0;

double selfCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void waitFor(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    WidgetPrompter prompter;
    AppContext ctx(prompter, AppFolders(dir.filePath(QStringLiteral("program")), dir.filePath(QStringLiteral("user/"))));
    QDir().mkpath(dir.filePath(QStringLiteral("user")));

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(KV518_SIM_PATH), {"--realtime", "--sets", QString::number(Sets), "--samples",
                                               QString::number(SamplesPerSet)});
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    if (path.isEmpty()) {
        std::fprintf(stderr, "kv518-sim did not start\n");
        return 1;
    }

    MainOptions options;
    options.listSystemPorts = false;
    options.extraPorts = {path};
    TfrmMain w(ctx, options);
    w.show();
    waitFor([&] { return w.searchDone(); }, 20000);
    if (!w.monitor().isConnected()) {
        std::fprintf(stderr, "the meter was not found\n");
        return 1;
    }

    // The received count changes after every accepted packet, and the
    // program processes events right then, so a 1 ms sampler sees each one.
    QElapsedTimer clock;
    qint64 firstPacketMs = -1;
    qint64 lastPacketMs = -1;
    QString lastText;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, &w, [&] {
        TfrmScope *p = w.downloads().progressWindow();
        if (!p || p->lblBytesReceived->text() == lastText)
            return;
        lastText = p->lblBytesReceived->text();
        if (lastText == QLatin1String("0"))
            return;
        if (firstPacketMs < 0)
            firstPacketMs = clock.elapsed();
        lastPacketMs = clock.elapsed();
    });
    sampler.start(1);

    bool finished = false;
    QObject::connect(&w.downloads(), &DownloadController::finished, &w, [&] { finished = true; });
    const double cpu0 = selfCpuSeconds();
    clock.start();
    w.btnDataLogger->click();
    waitFor([&] { return finished; }, 180000);
    const qint64 totalMs = clock.elapsed();
    const double cpu = selfCpuSeconds() - cpu0;
    sampler.stop();

    const TDataSetStore &store = w.session().store();
    const qint64 bytes = store.lastImage().size();
    if (!finished || bytes != qint64(320) + qint64(Sets) * SamplesPerSet * 4 || store.SetCount() != Sets) {
        std::fprintf(stderr, "download incomplete: %lld bytes, %d sets\n", static_cast<long long>(bytes),
                     store.SetCount());
        return 1;
    }
    w.session().discardUnsaved();

    const double packets = double(bytes) / 64.0;
    const double packetWireMs = (PacketOut + AckBack) * BitsPerByte / Baud * 1000.0;
    const double wireMs = packets * packetWireMs;
    const double targetMs = wireMs + SilenceMs;
    const double transferMs = double(lastPacketMs - firstPacketMs);
    const double transferWireMs = (packets - 1.0) * packetWireMs;

    BenchReport report;
    std::printf("image of %lld bytes, %.0f packets, %d data sets\n", static_cast<long long>(bytes), packets, Sets);
    report.info("wire time at 19200 baud", wireMs, "ms");
    report.info("wire time per packet, ACK included", packetWireMs, "ms");
    report.info("wire time + 3 s of silence", targetMs, "ms");
    report.info("click to first packet (hand-over pauses 200 + 300)", double(firstPacketMs), "ms");
    report.info("first to last packet", transferMs, "ms");
    report.info("first to last packet, share of its wire time", 100.0 * transferMs / transferWireMs, "%");
    report.info("last packet to live again (3 s silence, parse, show)", double(totalMs - lastPacketMs), "ms");
    report.figure("whole command, share of wire time + 3 s", 100.0 * double(totalMs) / targetMs, "%", 105,
                  BenchReport::Goal::AtMost);
    report.info("program CPU time, share of the command", 100.0 * cpu * 1000.0 / double(totalMs), "%");
    sim.terminate();
    sim.waitForFinished(5000);
    return report.exitCode();
}
