// The connection monitor on a fake clock: the start-up search over many ports
// at once, the poll's timing rules, ports missing at start or lost later, a
// port the user may not open, and a reopen while the old port is still inside
// its own signal.
#include "core/link/ConnectionMonitor.h"
#include "core/link/MemoryLine.h"
#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"
#include "ClockedFlows.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(ConnectionMonitor::Settle)

namespace {
// An in-memory line with a minimal meter (or nothing) on the far end.
struct FakeMeter
{
    explicit FakeMeter(const QString &path)
        : line(path)
    {
        line.onWrite = [this](const QByteArray &bytes) {
            writes << bytes;
            if (clock)
                writtenAt << clock->nowMs();
            if (!answers)
                return;
            if (bytes == Meter::IDENTIFY_REQUEST)
                line.deliver(Meter::IDENTIFY_REPLY);
            else if (bytes == Meter::LIVE_REQUEST || bytes == Meter::FRAMED_LIVE_REQUEST)
                line.deliver(Meter::LIVE_FRAME(215, 480, 3, 2, 0));
        };
    }
    ~FakeMeter() { line.onWrite = nullptr; }
    int count(const QByteArray &message) const { return int(writes.count(message)); }

    MemoryLine line;
    bool answers = false;
    QList<QByteArray> writes;
    const FakeClock *clock = nullptr;
    QList<qint64> writtenAt; // the clock's time of each write
    // The times of the writes of one message.
    QList<qint64> timesOf(const QByteArray &message) const
    {
        QList<qint64> times;
        for (int i = 0; i < writes.size() && i < writtenAt.size(); ++i)
            if (writes.at(i) == message)
                times << writtenAt.at(i);
        return times;
    }
};
} // namespace

class TestPorts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void searchAsksAllPortsAndTheFirstMeterWins_data();
    void searchAsksAllPortsAndTheFirstMeterWins();
    void portMissingAtStartIsPickedUpByThePoll();
    void portLostLaterIsTakenUpAgain();
    void deniedPortIsReportedAndRetried();
    void reopenInsideTheReceiveHandler();
    void savedIndexOutOfRangeSelectsTheFirstPort();
    void portChangeWaitsForTheQuietPoll();
    void pollTiming_data();
    void pollTiming();
    void quietWaitTiming_data();
    void quietWaitTiming();
    void handOverTiming_data();
    void handOverTiming();
    void portListedAfterAnEmptyStartIsPolled();
    void deferredPortChangeLeavesAHeldDevice();
    void noiseFloodIsDrainedAndTheMeterIsBackAtOnce();

private:
    std::vector<std::unique_ptr<FakeMeter>> makeLines(const QString &kinds);
    PortFactory m_ports;
    FakeClock m_clock;
    int m_serial = 0;
};

// One line per letter: M a meter, s a silent device, x a missing device.
std::vector<std::unique_ptr<FakeMeter>> TestPorts::makeLines(const QString &kinds)
{
    std::vector<std::unique_ptr<FakeMeter>> lines;
    for (QChar kind : kinds) {
        auto m = std::make_unique<FakeMeter>(QStringLiteral("MEM-%1").arg(++m_serial));
        m->answers = kind == u'M';
        m->line.setPresent(kind != u'x');
        m->clock = &m_clock;
        m_ports.addLine(m->line);
        lines.push_back(std::move(m));
    }
    return lines;
}

void TestPorts::searchAsksAllPortsAndTheFirstMeterWins_data()
{
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<int>("chosen");
    QTest::newRow("meter among silent ports") << "ssMss" << 2;
    QTest::newRow("meter last of many") << "ssssssssM" << 8;
    QTest::newRow("two meters: the first in list order") << "sMsM" << 1;
    QTest::newRow("missing ports are passed over") << "xsxM" << 3;
    QTest::newRow("no meter") << "sxs" << -1;
}

void TestPorts::searchAsksAllPortsAndTheFirstMeterWins()
{
    QFETCH(QString, kinds);
    QFETCH(int, chosen);
    auto lines = makeLines(kinds);
    QStringList names;
    for (const auto &m : lines)
        names << m->line.path();

    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames(names);
    QSignalSpy splash(&monitor, &ConnectionMonitor::splashText);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    QVERIFY(searchToEnd(monitor, &m_clock));

    // One line names every port searched.
    QCOMPARE(splash.count(), 2);
    QCOMPARE(splash.at(1).at(0).toString(), QStringLiteral("Search Logger On ") + names.join(QStringLiteral(", ")));
    QCOMPARE(monitor.isConnected(), chosen >= 0);
    const int polled = chosen >= 0 ? chosen : 0;
    QCOMPARE(monitor.portIndex(), polled);
    QCOMPARE(monitor.devicePath(), names.at(polled));
    QCOMPARE(status.first(), QVariantList({names.at(polled), chosen >= 0}));
    for (int i = 0; i < int(lines.size()); ++i) {
        const FakeMeter &m = *lines[size_t(i)];
        // Every present port was asked once; only the polled one stays open.
        QCOMPARE(m.count(Meter::IDENTIFY_REQUEST), m.line.isPresent() ? 1 : 0);
        QCOMPARE(m.line.isOpen(), i == polled && m.line.isPresent());
        QCOMPARE(m.count(Meter::FRAMED_LIVE_REQUEST), i == polled && m.line.isPresent() ? 1 : 0);
    }
    monitor.suspend();
}

void TestPorts::portMissingAtStartIsPickedUpByThePoll()
{
    auto lines = makeLines(QStringLiteral("x"));
    FakeMeter &late = *lines.front();
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({late.line.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(!monitor.isConnected());
    QVERIFY(!monitor.comm1().isOpen());

    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    late.answers = true;
    late.line.setPresent(true);
    QVERIFY(passTime(m_clock, 3000, [&] { return gained.count() > 0; }));
    QVERIFY(monitor.isConnected());
    QCOMPARE(status.last(), QVariantList({late.line.path(), true}));
    monitor.suspend();
}

void TestPorts::portLostLaterIsTakenUpAgain()
{
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(monitor.isConnected());

    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    meter.line.setPresent(false);
    QVERIFY(!monitor.comm1().isOpen());
    QVERIFY(passTime(m_clock, 5000, [&] { return lost.count() > 0; }));
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    meter.line.setPresent(true);
    QVERIFY(passTime(m_clock, 3000, [&] { return gained.count() > 0; }));
    QVERIFY(monitor.comm1().isOpen());
    monitor.suspend();
}

void TestPorts::deniedPortIsReportedAndRetried()
{
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    meter.line.setOpenFailure(SerialPort::OpenError::PermissionDenied);
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QSignalSpy denied(&monitor, &ConnectionMonitor::permissionDeniedChanged);
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(!monitor.isConnected());
    QVERIFY(monitor.permissionDenied());
    QCOMPARE(denied.count(), 1);
    QCOMPARE(monitor.comm1().openError(), SerialPort::OpenError::PermissionDenied);

    // Retried on every tick without telling again; works once allowed.
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QVERIFY(passTime(m_clock, 3000, [&] { return monitor.missedPolls() >= 2; }));
    QCOMPARE(denied.count(), 1);
    QVERIFY(meter.writes.isEmpty());
    meter.line.setOpenFailure(SerialPort::OpenError::None);
    QVERIFY(passTime(m_clock, 3000, [&] { return gained.count() > 0; }));
    QVERIFY(!monitor.permissionDenied());
    QCOMPARE(denied.count(), 2);
    QCOMPARE(denied.last().at(0).toBool(), false);
    monitor.suspend();
}

void TestPorts::reopenInsideTheReceiveHandler()
{
    // A handler of the port's received() that reopens the port replaces the
    // backend whose received() is still running beneath it (a poll tick in a
    // dialog's event loop can do the same). That backend must outlive its
    // emission.
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    bool armed = false;
    int reopened = 0;
    // Connected before the monitor's handler, so it runs first in the same emission.
    connect(&monitor.comm1(), &SerialPort::received, this, [&] {
        if (!armed)
            return;
        armed = false;
        meter.line.setPresent(false);
        meter.line.setPresent(true);
        monitor.MainTimerTimer();
        if (monitor.comm1().isOpen())
            ++reopened;
    });
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(monitor.isConnected());

    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    armed = true;
    QVERIFY(passTime(m_clock, 3000, [&] { return reopened > 0; }));
    QCOMPARE(reopened, 1);
    // Live polling goes on over the new backend.
    const int before = int(frames.count());
    QVERIFY(passTime(m_clock, 3000, [&] { return frames.count() > before + 1; }));
    QVERIFY(monitor.isConnected());
    monitor.suspend();
}

void TestPorts::savedIndexOutOfRangeSelectsTheFirstPort()
{
    MemoryLine a(QStringLiteral("MEM-SILENT-A"));
    m_ports.addLine(a);
    MemoryLine b(QStringLiteral("MEM-SILENT-B"));
    m_ports.addLine(b);
    for (int saved : {5, -1}) {
        ConnectionMonitor monitor(m_ports, m_clock);
        monitor.setPortNames({a.path(), b.path()});
        monitor.setPortIndex(saved);
        QVERIFY(searchToEnd(monitor, &m_clock));
        QCOMPARE(monitor.portIndex(), 0);
        QCOMPARE(monitor.devicePath(), a.path());
        monitor.suspend();
    }
    // No ports at all: nothing is selected and the port stays closed.
    ConnectionMonitor empty(m_ports, m_clock);
    QSignalSpy selected(&empty, &ConnectionMonitor::entrySelected);
    QVERIFY(searchToEnd(empty, &m_clock));
    QCOMPARE(selected.count(), 0);
    QVERIFY(!empty.comm1().isOpen());
    QVERIFY(empty.devicePath().isEmpty());
}

void TestPorts::portChangeWaitsForTheQuietPoll()
{
    MemoryLine a(QStringLiteral("MEM-POLL-A"));
    m_ports.addLine(a);
    MemoryLine b(QStringLiteral("MEM-POLL-B"));
    m_ports.addLine(b);
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({a.path(), b.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QCOMPARE(monitor.devicePath(), a.path());

    // The user picks the other port while the poll pauses after WAKE_BYTE.
    bool requested = false;
    a.onWrite = [&](const QByteArray &bytes) {
        if (bytes == Meter::WAKE_BYTE && !requested) {
            QVERIFY(monitor.pollBusy());
            requested = true;
            monitor.changePort(b.path(), 1);
        }
    };
    bool busyAtReopen = true;
    b.onOpenChanged = [&](bool open) {
        if (open)
            busyAtReopen = monitor.pollBusy() || monitor.receiveBusy();
    };
    QVERIFY(passTime(m_clock, 5000, [&] { return b.isOpen(); }));
    QVERIFY(requested);
    QVERIFY(!busyAtReopen);
    QVERIFY(!a.isOpen());
    QCOMPARE(monitor.portIndex(), 1);
    QCOMPARE(monitor.devicePath(), b.path());
    a.onWrite = nullptr;
    b.onOpenChanged = nullptr;
}

void TestPorts::pollTiming_data()
{
    QTest::addColumn<bool>("meterFirst");
    QTest::newRow("meter found by the search") << true;
    QTest::newRow("meter plugged in later") << false;
}

void TestPorts::pollTiming()
{
    // The poll's rules in clock time: a request every 500 ms, the wake byte
    // 200 ms before it while no meter answers, the loss on the third tick
    // without data.
    QFETCH(bool, meterFirst);
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    meter.answers = meterFirst;
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    const qint64 start = m_clock.nowMs();
    QVERIFY(searchToEnd(monitor, &m_clock));
    // One identification pause (when a port opened) and the three pauses of the hand-over.
    QCOMPARE(m_clock.nowMs() - start, qint64(Meter::SearchReplyDelayMs + 500 + 200 + 200));
    QCOMPARE(monitor.isConnected(), meterFirst);

    if (!meterFirst) {
        meter.answers = true;
        QVERIFY(passTime(m_clock, 2000, [&] { return gained.count() > 0; }));
        // Connected by the answer to the first tick's request, which came
        // 200 ms after that tick's wake byte.
        const QList<qint64> wakes = meter.timesOf(Meter::WAKE_BYTE);
        QCOMPARE(wakes.size(), 1);
        QCOMPARE(wakes.first() - start, qint64(1400 + Meter::PollIntervalMs));
        QCOMPARE(meter.timesOf(Meter::LIVE_REQUEST).first() - wakes.first(), qint64(Meter::WakeDelayMs));
    }

    // Connected, every tick is one request, 500 ms apart, and no wake byte.
    const qint64 connectedAt = m_clock.nowMs();
    passTime(m_clock, 2000);
    QList<qint64> polls = meter.timesOf(Meter::LIVE_REQUEST);
    polls.removeIf([&](qint64 t) { return t <= connectedAt; });
    QCOMPARE(polls.size(), 4);
    for (int i = 1; i < polls.size(); ++i)
        QCOMPARE(polls.at(i) - polls.at(i - 1), qint64(Meter::PollIntervalMs));
    QCOMPARE(meter.timesOf(Meter::WAKE_BYTE).size(), meterFirst ? 0 : 1);

    // Silent from now: the tick after the last request still sees its
    // answer; the third tick after that without data loses the meter.
    meter.answers = false;
    const qint64 lastTick = polls.last();
    QVERIFY(passTime(m_clock, 5000, [&] { return lost.count() > 0; }));
    QCOMPARE(m_clock.nowMs() - lastTick, qint64((Meter::MissedPollLimit + 1) * Meter::PollIntervalMs));
    QVERIFY(!monitor.isConnected());
    monitor.suspend();
}

void TestPorts::quietWaitTiming_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("flooded");
    QTest::addColumn<qint64>("quietAfter"); // from the moment the handler became busy
    QTest::newRow("a live frame: the receive handler's settle")
        << true << false << qint64(Meter::ReceiveSettleMs);
    QTest::newRow("no meter: the poll's wake pause") << false << false << qint64(Meter::WakeDelayMs);
    // Bytes faster than the reads keep the receive handler busy for good:
    // the wait gives up after its cap and runs all the same.
    QTest::newRow("noise at full speed: the cap") << true << true << qint64(Meter::QuietWaitMs);
}

void TestPorts::quietWaitTiming()
{
    // The wait for a quiet moment looks again every 10 ms, so it ends on the
    // first look after the busy handler's pause has run out.
    QFETCH(bool, connected);
    QFETCH(bool, flooded);
    QFETCH(qint64, quietAfter);
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    meter.answers = connected;
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QCOMPARE(monitor.isConnected(), connected);
    if (flooded)
        meter.line.setFlood(QByteArray(64, '\x55'));
    if (connected)
        meter.line.deliver(Meter::LIVE_FRAME(215, 480, 3, 2, 0));
    QVERIFY(passTime(m_clock, 2000, [&] { return monitor.pollBusy() || monitor.receiveBusy(); }));
    const qint64 busySince = m_clock.nowMs();
    qint64 quietAt = -1;
    bool busyAtRun = false;
    monitor.runWhenQuiet(this, [&] {
        quietAt = m_clock.nowMs();
        busyAtRun = monitor.pollBusy() || monitor.receiveBusy();
    });
    QVERIFY(passTime(m_clock, 5000, [&] { return quietAt >= 0; }));
    meter.line.setFlood({});
    const qint64 waited = quietAt - busySince;
    QVERIFY2(waited >= quietAfter && waited < quietAfter + Meter::QuietCheckMs, qPrintable(QString::number(waited)));
    QCOMPARE(busyAtRun, flooded);
    QCOMPARE(waited < Meter::QuietWaitMs, !flooded);
    monitor.suspend();
}

void TestPorts::handOverTiming_data()
{
    QTest::addColumn<ConnectionMonitor::Settle>("settle");
    QTest::addColumn<qint64>("timerAfter"); // from the moment Comm1 opened again
    QTest::newRow("download") << ConnectionMonitor::Settle::No << qint64(0);
    QTest::newRow("setup") << ConnectionMonitor::Settle::Yes << qint64(Meter::HandBackSettleMs);
}

void TestPorts::handOverTiming()
{
    // The device leaves Comm1 at once, the other port may open 200 + 300 ms
    // later; back, Comm1 opens 300 ms after the call, and MainTimer starts
    // with it (download) or 200 ms after it (setup).
    QFETCH(ConnectionMonitor::Settle, settle);
    QFETCH(qint64, timerAfter);
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));

    const qint64 out = m_clock.nowMs();
    qint64 handedAt = -1;
    monitor.handOver(this, [&] { handedAt = m_clock.nowMs(); });
    QVERIFY(!monitor.comm1().isOpen() && !monitor.mainTimer().isActive());
    QVERIFY(passTime(m_clock, 2000, [&] { return handedAt >= 0; }));
    QCOMPARE(handedAt - out, qint64(Meter::HandOverCloseMs + Meter::HandOverOpenMs));
    QVERIFY(!monitor.comm1().isOpen());

    qint64 openedAt = -1;
    meter.line.onOpenChanged = [&](bool open) {
        if (open)
            openedAt = m_clock.nowMs();
    };
    qint64 doneAt = -1;
    bool timerAtDone = false;
    const qint64 back = m_clock.nowMs();
    monitor.handBack(this, settle, [&] {
        doneAt = m_clock.nowMs();
        timerAtDone = monitor.mainTimer().isActive();
    });
    QVERIFY(passTime(m_clock, 2000, [&] { return doneAt >= 0; }));
    meter.line.onOpenChanged = nullptr;
    QCOMPARE(openedAt - back, qint64(Meter::HandBackMs));
    QCOMPARE(doneAt - openedAt, timerAfter);
    QVERIFY(timerAtDone);
    QVERIFY(!monitor.isSuspended());
    monitor.suspend();
}

void TestPorts::portListedAfterAnEmptyStartIsPolled()
{
    ConnectionMonitor monitor(m_ports, m_clock);
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(monitor.devicePath().isEmpty());
    // The port list is read again and now holds the adapter just plugged in.
    auto lines = makeLines(QStringLiteral("M"));
    QSignalSpy selected(&monitor, &ConnectionMonitor::entrySelected);
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    monitor.setPortNames({lines.front()->line.path()});
    QCOMPARE(selected.count(), 1);
    QCOMPARE(monitor.devicePath(), lines.front()->line.path());
    QVERIFY(passTime(m_clock, 3000, [&] { return gained.count() > 0; }));
    monitor.suspend();
}

void TestPorts::deferredPortChangeLeavesAHeldDevice()
{
    // A port change waits for the poll's wake pause; a download takes the
    // device meanwhile. The change must not reopen Comm1 under it.
    MemoryLine a(QStringLiteral("MEM-HELD-A"));
    m_ports.addLine(a);
    MemoryLine b(QStringLiteral("MEM-HELD-B"));
    m_ports.addLine(b);
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({a.path(), b.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(passTime(m_clock, 2000, [&] { return monitor.pollBusy(); }));
    monitor.changePort(b.path(), 1);
    monitor.suspend();
    QSignalSpy selected(&monitor, &ConnectionMonitor::entrySelected);
    passTime(m_clock, 1000);
    QVERIFY(!b.isOpen() && !a.isOpen());
    QCOMPARE(monitor.devicePath(), a.path());
    QCOMPARE(monitor.portIndex(), 0);
    // The port box goes back to the port in use.
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().at(0).toInt(), 0);
}

void TestPorts::noiseFloodIsDrainedAndTheMeterIsBackAtOnce()
{
    // Random bytes far faster than a live read takes them (a relay on a
    // pseudo-terminal has no baud rate) for ten seconds, the meter answering
    // every poll in between: the input stays bounded, nothing decoded from
    // the noise counts as a reading, and the first poll after the noise
    // brings the meter's reading again.
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports, m_clock);
    monitor.setPortNames({meter.line.path()});
    QVERIFY(searchToEnd(monitor, &m_clock));
    QVERIFY(monitor.isConnected());
    const QByteArray reading = Meter::LIVE_FRAME(215, 480, 3, 2, 0);
    int readings = 0;
    int noiseReadings = 0;
    connect(&monitor, &ConnectionMonitor::liveFrame, this,
            [&](const QByteArray &frame) { ++(frame == reading ? readings : noiseReadings); });

    constexpr qint64 FloodMs = 10000;
    constexpr int ChunkBytes = 4096; // every 10 ms: 16 times what a read takes
    const qint64 floodEnd = m_clock.nowMs() + FloodMs;
    QRandomGenerator random(518);
    qint64 mostWaiting = 0;
    std::function<void()> flood = [&] {
        mostWaiting = std::max(mostWaiting, monitor.comm1().bytesWaiting());
        if (m_clock.nowMs() >= floodEnd)
            return;
        QByteArray noise(ChunkBytes, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32 *>(noise.data()), ChunkBytes / 4);
        meter.line.deliver(noise);
        m_clock.callAfter(10, this, flood);
    };
    flood();
    passTime(m_clock, FloodMs);
    QVERIFY(monitor.isConnected());
    QVERIFY2(mostWaiting <= 2 * ChunkBytes, qPrintable(QString::number(mostWaiting)));
    QCOMPARE(noiseReadings, 0);

    readings = 0;
    QVERIFY(passTime(m_clock, 2 * Meter::PollIntervalMs, [&] { return readings > 0; }));
    QVERIFY(monitor.isConnected());
    QCOMPARE(noiseReadings, 0);
    monitor.suspend();
}

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
