// The in-memory serial line behind the demo meter and many tests.
#include "core/link/ComPort.h"
#include "core/link/MemoryLine.h"
#include "core/link/PortFactory.h"
#include "PendingEvents.h"

#include <QSignalSpy>
#include <QTest>

class TestMemoryLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void openIsExclusiveAndNeedsTheDevice();
    void writesReachThePeerAndAnswersArriveAsEvents();
    void removedDeviceClosesThePortOnce();
    void closedPortFailsSoftly();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void reopenInsideTheBackendsOwnSignal();
    void factoryNamesDevices_data();
    void factoryNamesDevices();
};

void TestMemoryLine::openIsExclusiveAndNeedsTheDevice()
{
    MemoryLine line(QStringLiteral("MEM-A"));
    PortFactory ports;
    ports.addLine(line);
    ComPort a, b, c;
    for (ComPort *p : {&a, &b, &c})
        p->setPortFactory(&ports);
    a.setDeviceName(line.path());
    b.setDeviceName(line.path());
    c.setDeviceName(QStringLiteral("MEM-NONE"));
    QVERIFY(a.open());
    QVERIFY(!b.open());
    QVERIFY(!b.isOpen());
    QVERIFY(!c.open());
    a.close();
    QVERIFY(b.open());
    line.setPresent(false);
    QVERIFY(!a.open());
}

void TestMemoryLine::writesReachThePeerAndAnswersArriveAsEvents()
{
    MemoryLine line(QStringLiteral("MEM-B"));
    PortFactory ports;
    ports.addLine(line);
    QByteArray seen;
    line.onWrite = [&](const QByteArray &bytes) {
        seen += bytes;
        line.deliver(QByteArray::fromHex("ef3531 38fe"));
    };
    ComPort port;
    port.setPortFactory(&ports);
    port.setDeviceName(line.path());
    QVERIFY(port.open());
    QSignalSpy spy(&port, &SerialPort::received);
    QCOMPARE(port.write(QByteArray::fromHex("ef4dfe")), 3);
    QCOMPARE(seen, QByteArray::fromHex("ef4dfe"));
    // Like a wire: nothing is waiting until the event loop has run.
    QCOMPARE(port.bytesWaiting(), 0);
    QVERIFY(spy.wait(1000));
    QCOMPARE(port.bytesWaiting(), 5);
    QCOMPARE(port.read(2), QByteArray::fromHex("ef35"));
    QCOMPARE(port.read(10), QByteArray::fromHex("3138fe"));
    QCOMPARE(port.bytesWaiting(), 0);
}

void TestMemoryLine::removedDeviceClosesThePortOnce()
{
    MemoryLine line(QStringLiteral("MEM-D"));
    PortFactory ports;
    ports.addLine(line);
    ComPort port;
    port.setPortFactory(&ports);
    port.setDeviceName(line.path());
    QVERIFY(port.open());
    QSignalSpy spy(&port, &SerialPort::closedByError);
    line.setPresent(false);
    QVERIFY(!port.isOpen());
    QVERIFY(spy.wait(1000));
    // Anything the loss queued has run: no second report.
    processPendingEvents();
    QCOMPARE(spy.count(), 1);
    QVERIFY(!port.lastError().isEmpty());
}

void TestMemoryLine::closedPortFailsSoftly()
{
    ComPort port;
    QCOMPARE(port.write("abc"), 0);
    QCOMPARE(port.bytesWaiting(), 0);
    QVERIFY(port.read(5).isEmpty());
    port.clearInput();
    port.clearOutput();
    port.close();
    QVERIFY(!port.isOpen());
}

void TestMemoryLine::openFailureSaysWhy_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<SerialPort::OpenError>("error");
    QTest::newRow("opens") << "" << SerialPort::OpenError::None;
    QTest::newRow("permission denied") << "denied" << SerialPort::OpenError::PermissionDenied;
    QTest::newRow("missing") << "missing" << SerialPort::OpenError::Other;
    QTest::newRow("busy") << "busy" << SerialPort::OpenError::Other;
}

void TestMemoryLine::openFailureSaysWhy()
{
    QFETCH(QString, state);
    QFETCH(SerialPort::OpenError, error);
    MemoryLine line(QStringLiteral("MEM-F"));
    PortFactory ports;
    ports.addLine(line);
    ComPort holder, port;
    for (ComPort *p : {&holder, &port}) {
        p->setPortFactory(&ports);
        p->setDeviceName(line.path());
    }
    if (state == u"denied")
        line.setOpenFailure(SerialPort::OpenError::PermissionDenied);
    else if (state == u"missing")
        line.setPresent(false);
    else if (state == u"busy")
        QVERIFY(holder.open());
    QCOMPARE(port.open(), error == SerialPort::OpenError::None);
    QCOMPARE(port.openError(), error);
    // The next good open forgets the failure.
    line.setOpenFailure(SerialPort::OpenError::None);
    line.setPresent(true);
    holder.close();
    QVERIFY(port.open());
    QCOMPARE(port.openError(), SerialPort::OpenError::None);
}

void TestMemoryLine::reopenInsideTheBackendsOwnSignal()
{
    // A handler of received() closes and reopens the port: the backend that
    // is emitting is replaced beneath its own emission and must not be
    // destroyed there (MemoryPort aborts the test if it is).
    MemoryLine line(QStringLiteral("MEM-G"));
    PortFactory ports;
    ports.addLine(line);
    ComPort port;
    port.setPortFactory(&ports);
    port.setDeviceName(line.path());
    QVERIFY(port.open());
    int reopened = 0;
    bool armed = true;
    connect(&port, &SerialPort::received, this, [&] {
        if (!armed)
            return;
        armed = false;
        port.close();
        if (port.open())
            ++reopened;
    });
    line.deliver("first");
    QTRY_COMPARE(reopened, 1);
    processPendingEvents();
    // The new backend carries on.
    QSignalSpy spy(&port, &SerialPort::received);
    line.deliver("second");
    QVERIFY(spy.wait(1000));
    QCOMPARE(port.read(10), QByteArray("second"));
}

void TestMemoryLine::factoryNamesDevices_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("path");
    QTest::newRow("port name") << "ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("path") << "/dev/pts/3" << "/dev/pts/3";
    QTest::newRow("registered line") << "MEM-E" << "MEM-E";
    QTest::newRow("empty") << "" << "";
}

void TestMemoryLine::factoryNamesDevices()
{
    QFETCH(QString, entry);
    QFETCH(QString, path);
    PortFactory ports;
    {
        MemoryLine line(QStringLiteral("MEM-E"));
        ports.addLine(line);
        QCOMPARE(ports.devicePathFor(entry), path);
        QCOMPARE(ports.line(QStringLiteral("MEM-E")), &line);
    }
    // A line that is gone is a device name like any other.
    QVERIFY(!ports.line(QStringLiteral("MEM-E")));
    QCOMPARE(PortFactory().devicePathFor(QStringLiteral("MEM-E")), QStringLiteral("/dev/MEM-E"));
}

QTEST_MAIN(TestMemoryLine)
#include "tst_memoryline.moc"
