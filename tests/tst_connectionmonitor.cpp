// The connection monitor end to end: the real serial backend on pseudo-terminals
// of kv518-sim, and the demo meter on its in-memory line.
#include "core/link/ConnectionMonitor.h"
#include "ClockedFlows.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/link/PortFactory.h"
#include "core/sim/DemoMeter.h"
#include "TestProcesses.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {
using Sim = SimProcess;

int countLines(const QString &file, const QString &line)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return int(QString::fromLatin1(f.readAll()).split(QLatin1Char('\n')).count(line));
}

bool isLiveFrame(const QByteArray &f)
{
    return f.size() == 10 && f.front() == Meter::StartByte && f.back() == Meter::EndByte;
}
} // namespace

class TestConnectionMonitor : public QObject
{
    Q_OBJECT
    PortFactory m_ports;
private Q_SLOTS:
    void initTestCase();
    void searchFindsTheMeterAndPolls_data();
    void searchFindsTheMeterAndPolls();
    void lossAndReconnect();
    void hangUpClosesThePortSilently();
    void noMeterKeepsPollingTheSavedPort();
    void demoMeterThroughMemoryLine();

private:
    QTemporaryDir m_dir;
};

void TestConnectionMonitor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::exists(QStringLiteral(KV518_SIM_PATH)));
}

void TestConnectionMonitor::searchFindsTheMeterAndPolls_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("plain") << QStringList();
    QTest::newRow("noise and split frames") << QStringList{"--noise", "--split"};
}

void TestConnectionMonitor::searchFindsTheMeterAndPolls()
{
    QFETCH(QStringList, faults);
    Sim silent({"--silent"});
    Sim meter(faults);
    QVERIFY(!silent.path().isEmpty());
    QVERIFY(!meter.path().isEmpty());

    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({silent.path(), meter.path()});
    QSignalSpy splash(&monitor, &ConnectionMonitor::splashText);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    QSignalSpy rs232(&monitor, &ConnectionMonitor::rs232Visible);
    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    QVERIFY(searchToEnd(monitor));

    QVERIFY(monitor.isConnected());
    QCOMPARE(monitor.portIndex(), 1);
    QCOMPARE(monitor.devicePath(), meter.path());
    QVERIFY(monitor.comm1().isOpen());
    QVERIFY(monitor.mainTimer().isActive());
    QCOMPARE(splash.at(0).at(0).toString(), QStringLiteral("Initializing COM Port ..."));
    QCOMPARE(splash.at(1).at(0).toString(),
             QStringLiteral("Search Logger On ") + silent.path() + QStringLiteral(", ") + meter.path());
    QCOMPARE(splash.count(), 2);
    QCOMPARE(status.first(), QVariantList({meter.path(), true}));
    QCOMPARE(rs232.first().at(0).toBool(), true);

    // The framed request after the search and then the poll bring live frames.
    for (int i = 0; i < 4; ++i)
        QVERIFY(frames.count() > i || frames.wait(3000));
    for (const QVariantList &f : std::as_const(frames))
        QVERIFY(isLiveFrame(f.at(0).toByteArray()));
    QCOMPARE(gained.count(), 0); // already connected by the search
    QCOMPARE(lost.count(), 0);
    QVERIFY(monitor.isConnected());
}

void TestConnectionMonitor::lossAndReconnect()
{
    const QString link = m_dir.filePath(QStringLiteral("meter"));
    auto meter = std::make_unique<Sim>(QStringList{"--link", link});
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({link});
    QVERIFY(searchToEnd(monitor));
    QVERIFY(monitor.isConnected());
    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    QVERIFY(frames.wait(3000));

    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    QSignalSpy rs232(&monitor, &ConnectionMonitor::rs232Visible);
    int ticks = 0;
    connect(&monitor.mainTimer(), &ClockTimer::timeout, this, [&] { ++ticks; });
    meter->stop();
    QVERIFY(lost.wait(5000));
    // The tick that saw the last frame, then three silent ones: under 2 s.
    QVERIFY2(ticks <= 4, qPrintable(QString::number(ticks)));
    QVERIFY(!monitor.isConnected());
    QVERIFY(monitor.liveBuffer().isEmpty());
    QCOMPARE(status.last(), QVariantList({link, false}));
    QCOMPARE(rs232.last().at(0).toBool(), false);

    // The meter is back behind the same path: the next good frame reconnects.
    QSignalSpy gained(&monitor, &ConnectionMonitor::connectionGained);
    meter = std::make_unique<Sim>(QStringList{"--link", link});
    QVERIFY(gained.wait(5000));
    QVERIFY(monitor.isConnected());
    QCOMPARE(status.last(), QVariantList({link, true}));
    QCOMPARE(rs232.last().at(0).toBool(), true);
    meter.reset();
}

void TestConnectionMonitor::hangUpClosesThePortSilently()
{
    // Identify (5) + framed live (10) + two polled frames, then the line dies
    // in the middle of the third frame.
    Sim meter({"--hangup-after", "39"});
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({meter.path()});
    QVERIFY(searchToEnd(monitor));
    QVERIFY(monitor.isConnected());
    QSignalSpy closed(&monitor.comm1(), &SerialPort::closedByError);
    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    QSignalSpy lost(&monitor, &ConnectionMonitor::connectionLost);
    QVERIFY(closed.count() > 0 || closed.wait(5000));
    QVERIFY(!monitor.comm1().isOpen());
    QVERIFY(lost.count() > 0 || lost.wait(5000));
    QVERIFY(!monitor.isConnected());
    QVERIFY(frames.count() <= 3);
    // The poll goes on with nothing to send to.
    QVERIFY(monitor.mainTimer().isActive());
    QVERIFY(!monitor.pollBusy());
}

void TestConnectionMonitor::noMeterKeepsPollingTheSavedPort()
{
    const QString logA = m_dir.filePath(QStringLiteral("a.log"));
    const QString logB = m_dir.filePath(QStringLiteral("b.log"));
    Sim a({"--silent", "--log", logA});
    Sim b({"--silent", "--log", logB});
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({a.path(), b.path()});
    monitor.setPortIndex(1);
    QSignalSpy selected(&monitor, &ConnectionMonitor::entrySelected);
    QSignalSpy status(&monitor, &ConnectionMonitor::statusChanged);
    QVERIFY(searchToEnd(monitor));

    QVERIFY(!monitor.isConnected());
    QCOMPARE(monitor.portIndex(), 1);
    QCOMPARE(selected.last().at(0).toInt(), 1);
    QCOMPARE(status.first(), QVariantList({b.path(), false}));
    QTRY_COMPARE_WITH_TIMEOUT(countLines(logA, "IDENTIFY_REQUEST ef4dfe"), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(countLines(logB, "FRAMED_LIVE_REQUEST 0241c103"), 1, 5000);
    // Not connected: every tick wakes the meter before asking.
    QTRY_VERIFY_WITH_TIMEOUT(countLines(logB, "LIVE_REQUEST ef41fe") >= 3, 5000);
    QVERIFY(countLines(logB, "WAKE_BYTE 00") >= 2);
    QCOMPARE(countLines(logA, "LIVE_REQUEST ef41fe"), 0);
}

void TestConnectionMonitor::demoMeterThroughMemoryLine()
{
    DemoMeter demo(m_ports);
    ConnectionMonitor monitor(m_ports);
    monitor.setPortNames({QStringLiteral("DEMO")});
    QCOMPARE(monitor.devicePathFor(QStringLiteral("DEMO")), QStringLiteral("DEMO"));
    QVERIFY(searchToEnd(monitor));
    QVERIFY(monitor.isConnected());
    QSignalSpy frames(&monitor, &ConnectionMonitor::liveFrame);
    QVERIFY(frames.wait(3000));
    QVERIFY(frames.wait(3000));
    QVERIFY(isLiveFrame(frames.last().at(0).toByteArray()));

    // The download hands the device over to a port of its own, then back.
    monitor.suspend();
    ComPort comm2;
    comm2.setPortFactory(&m_ports);
    comm2.setDeviceName(monitor.devicePath());
    QVERIFY(comm2.open());
    PacketOptions directory;
    directory.target = Meter::DirectoryBytes;
    std::optional<PacketResult> result;
    PacketExchange exchange;
    exchange.start(comm2, Meter::DIRECTORY_REQUEST, directory, [&](const PacketResult &r) { result = r; });
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000);
    const PacketResult r = *result;
    QCOMPARE(r.end, PacketEnd::TargetReached);
    QCOMPARE(r.bytes, demo.model().image().left(320));
    comm2.close();
    monitor.resume();
    QVERIFY(frames.wait(3000));
    QVERIFY(monitor.isConnected());
}

QTEST_GUILESS_MAIN(TestConnectionMonitor)
#include "tst_connectionmonitor.moc"
