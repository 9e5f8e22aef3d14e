#include "ClockedFlows.h"

#include "PendingEvents.h"
#include "core/link/ConnectionMonitor.h"

#include <QSignalSpy>
#include <QTest>

#include <optional>

namespace {
// Longer than any exchange a test sets up: a 16 MiB transfer at one packet a
// millisecond, plus its closing silence.
constexpr qint64 LimitMs = 24LL * 3600 * 1000;
} // namespace

PacketResult runExchange(FakeClock &clock, SerialPort &port, const QByteArray &request, PacketOptions options)
{
    options.clock = &clock;
    PacketExchange exchange;
    std::optional<PacketResult> result;
    exchange.start(port, request, std::move(options), [&result](const PacketResult &r) { result = r; });
    if (!clock.runUntil([&] { return result.has_value(); }, LimitMs))
        qWarning("the packet exchange did not end");
    return result.value_or(PacketResult{});
}

LoggerDownloadResult runDownload(FakeClock &clock, SerialPort &port, LoggerDownloadOptions options)
{
    options.clock = &clock;
    LoggerDownload download;
    std::optional<LoggerDownloadResult> result;
    download.start(port, std::move(options), [&result](const LoggerDownloadResult &r) { result = r; });
    if (!clock.runUntil([&] { return result.has_value(); }, LimitMs))
        qWarning("the download did not end");
    return result.value_or(LoggerDownloadResult{});
}

bool passTime(FakeClock &clock, qint64 ms, const std::function<bool()> &done)
{
    const qint64 until = clock.nowMs() + ms;
    while (true) {
        processPendingEvents();
        if (done && done())
            return true;
        const qint64 due = clock.nextDue();
        if (due < 0 || due > until)
            break;
        clock.fireNext();
    }
    clock.set(until);
    processPendingEvents();
    return done && done();
}

bool searchToEnd(ConnectionMonitor &monitor, FakeClock *clock)
{
    QSignalSpy finished(&monitor, &ConnectionMonitor::searchFinished);
    monitor.searchMeter();
    if (clock)
        return passTime(*clock, 10000, [&] { return finished.count() > 0; });
    return finished.count() > 0 || finished.wait(10000);
}
