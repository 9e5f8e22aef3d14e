// Ports that come and go under the connection monitor: the start-up search
// over many ports at once, ports missing at start or lost later, a port the
// user may not open, and a reopen while the old port is still busy beneath.
#include "core/link/ConnectionMonitor.h"
#include "core/link/MemoryLine.h"
#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {
// An in-memory line with a minimal meter (or nothing) on the far end.
struct FakeMeter
{
    explicit FakeMeter(const QString &path)
        : line(path)
    {
        line.onWrite = [this](const QByteArray &bytes) {
            writes << bytes;
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

private:
    std::vector<std::unique_ptr<FakeMeter>> makeLines(const QString &kinds);
    PortFactory m_ports;
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

    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames(names);
    QSignalSpy splash(&monitor, &ConnectionMonitor::splashText);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    monitor.searchMeter();

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
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({late.line.path()});
    monitor.searchMeter();
    QVERIFY(!monitor.isConnected());
    QVERIFY(!monitor.comm1().isOpen());

    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    late.answers = true;
    late.line.setPresent(true);
    QVERIFY(gained.wait(3000));
    QVERIFY(monitor.isConnected());
    QCOMPARE(status.last(), QVariantList({late.line.path(), true}));
    monitor.suspend();
}

void TestPorts::portLostLaterIsTakenUpAgain()
{
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({meter.line.path()});
    monitor.searchMeter();
    QVERIFY(monitor.isConnected());

    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    meter.line.setPresent(false);
    QVERIFY(!monitor.comm1().isOpen());
    QVERIFY(lost.wait(5000));
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    meter.line.setPresent(true);
    QVERIFY(gained.wait(3000));
    QVERIFY(monitor.comm1().isOpen());
    monitor.suspend();
}

void TestPorts::deniedPortIsReportedAndRetried()
{
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    meter.line.setOpenFailure(SerialPort::OpenError::PermissionDenied);
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({meter.line.path()});
    QSignalSpy denied(&monitor, &ConnectionMonitor::permissionDeniedChanged);
    monitor.searchMeter();
    QVERIFY(!monitor.isConnected());
    QVERIFY(monitor.permissionDenied());
    QCOMPARE(denied.count(), 1);
    QCOMPARE(monitor.comm1().openError(), SerialPort::OpenError::PermissionDenied);

    // Retried on every tick without telling again; works once allowed.
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QTRY_VERIFY_WITH_TIMEOUT(monitor.missedPolls() >= 2, 3000);
    QCOMPARE(denied.count(), 1);
    QVERIFY(meter.writes.isEmpty());
    meter.line.setOpenFailure(SerialPort::OpenError::None);
    QVERIFY(gained.wait(3000));
    QVERIFY(!monitor.permissionDenied());
    QCOMPARE(denied.count(), 2);
    QCOMPARE(denied.last().at(0).toBool(), false);
    monitor.suspend();
}

void TestPorts::reopenInsideTheReceiveHandler()
{
    // The receive handler pauses 10 ms with events processed; a poll tick that
    // reopens the port in that pause replaces the backend whose received()
    // is still running beneath it. That backend must outlive its emission.
    auto lines = makeLines(QStringLiteral("M"));
    FakeMeter &meter = *lines.front();
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({meter.line.path()});
    bool armed = false;
    int reopened = 0;
    // Connected before the monitor's handler, so it runs first in the same emission.
    connect(&monitor.comm1(), &SerialPort::received, this, [&] {
        if (!armed)
            return;
        armed = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(monitor.receiveBusy());
            meter.line.setPresent(false);
            meter.line.setPresent(true);
            monitor.MainTimerTimer();
            if (monitor.comm1().isOpen())
                ++reopened;
        });
    });
    monitor.searchMeter();
    QVERIFY(monitor.isConnected());

    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    armed = true;
    QVERIFY(frames.wait(3000));
    QTRY_COMPARE(reopened, 1);
    // Live polling goes on over the new backend.
    const int before = int(frames.count());
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() > before + 1, 3000);
    QVERIFY(monitor.isConnected());
    monitor.suspend();
}

QTEST_GUILESS_MAIN(TestPorts)
#include "tst_ports.moc"
