// The real serial backend (QSerialPort through ComPort) against a
// pseudo-terminal pair: what the meter dialogues rely on.
#include "PendingEvents.h"
#include "PtyPair.h"

#include "core/link/ComPort.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

class TestQtSerialPort : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void openIsExclusive();
    void missingDeviceFailsSoftly();
    void writeReachesTheFarEnd();
    void receivedBytesWaitAndRead();
    void clearInputDiscardsWaitingBytes();
    void receiveEventRunsOnTheGuiThread();
    void hangUpClosesThePortOnce();
    void reopenInsideTheBackendsOwnSignal();

private:
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<ComPort> m_port;
};

void TestQtSerialPort::init()
{
    m_pty = std::make_unique<PtyPair>();
    if (!m_pty->isValid())
        QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + m_pty->errorText()));
    m_port = std::make_unique<ComPort>();
    m_port->setDeviceName(m_pty->slavePath());
}

void TestQtSerialPort::openIsExclusive()
{
    QVERIFY2(m_port->open(), qPrintable(m_port->lastError()));
    QVERIFY(m_port->isOpen());
    ComPort second;
    second.setDeviceName(m_pty->slavePath());
    QVERIFY(!second.open());
    QVERIFY(!second.isOpen());
    QVERIFY(!second.lastError().isEmpty());
    m_port->close();
    QVERIFY(!m_port->isOpen());
    QVERIFY2(second.open(), qPrintable(second.lastError()));
}

void TestQtSerialPort::missingDeviceFailsSoftly()
{
    ComPort port;
    port.setDeviceName(QStringLiteral("/dev/kv518-no-such-device"));
    QVERIFY(!port.open());
    QCOMPARE(port.write("abc"), 0);
    QCOMPARE(port.bytesWaiting(), 0);
    ComPort unnamed;
    QVERIFY(!unnamed.open());
}

void TestQtSerialPort::writeReachesTheFarEnd()
{
    QVERIFY(m_port->open());
    const QByteArray request = QByteArray::fromHex("ef4dfe");
    QCOMPARE(m_port->write(request), request.size());
    // The write is handed to the device when it returns: no event loop needed.
    QCOMPARE(m_pty->readMaster(request.size()), request);
}

void TestQtSerialPort::receivedBytesWaitAndRead()
{
    QVERIFY(m_port->open());
    QSignalSpy received(m_port.get(), &SerialPort::received);
    m_pty->writeMaster("hello");
    QTRY_COMPARE(m_port->bytesWaiting(), 5);
    QVERIFY(received.count() >= 1);
    QCOMPARE(m_port->read(2), QByteArray("he"));
    QCOMPARE(m_port->bytesWaiting(), 3);
    QCOMPARE(m_port->read(10), QByteArray("llo"));
    QCOMPARE(m_port->bytesWaiting(), 0);
}

void TestQtSerialPort::clearInputDiscardsWaitingBytes()
{
    QVERIFY(m_port->open());
    m_pty->writeMaster("noise");
    QTRY_COMPARE(m_port->bytesWaiting(), 5);
    m_port->clearInput();
    QCOMPARE(m_port->bytesWaiting(), 0);
    m_pty->writeMaster("ok");
    QTRY_COMPARE(m_port->bytesWaiting(), 2);
    QCOMPARE(m_port->read(2), QByteArray("ok"));
}

void TestQtSerialPort::receiveEventRunsOnTheGuiThread()
{
    QVERIFY(m_port->open());
    QThread *seen = nullptr;
    connect(m_port.get(), &SerialPort::received, this, [&] { seen = QThread::currentThread(); });
    m_pty->writeMaster("x");
    QTRY_VERIFY(seen != nullptr);
    QCOMPARE(seen, QCoreApplication::instance()->thread());
}

void TestQtSerialPort::hangUpClosesThePortOnce()
{
    QVERIFY(m_port->open());
    QSignalSpy closed(m_port.get(), &SerialPort::closedByError);
    m_pty->closeMaster();
    QVERIFY(closed.wait(3000));
    QVERIFY(!m_port->isOpen());
    QVERIFY(!m_port->lastError().isEmpty());
    // A vanished device must not keep reporting errors: let everything it has
    // queued or made ready run.
    processPendingEvents();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(m_port->write("abc"), 0);
    QCOMPARE(m_port->bytesWaiting(), 0);
}

void TestQtSerialPort::reopenInsideTheBackendsOwnSignal()
{
    // QSerialPort still has work to do after its readyRead() returns: a
    // reopen from a pause inside the receive handler must not destroy it
    // there (a use after free, caught by AddressSanitizer).
    QVERIFY(m_port->open());
    int reopened = 0;
    bool armed = true;
    connect(m_port.get(), &SerialPort::received, this, [&] {
        if (!armed)
            return;
        armed = false;
        QEventLoop pause;
        QTimer::singleShot(0, &pause, [&] {
            m_port->close();
            if (m_port->open())
                ++reopened;
            pause.quit();
        });
        pause.exec();
    });
    m_pty->writeMaster("first");
    QTRY_COMPARE(reopened, 1);
    processPendingEvents();
    m_port->clearInput();
    m_pty->writeMaster("second");
    QTRY_COMPARE(m_port->bytesWaiting(), 6);
    QCOMPARE(m_port->read(6), QByteArray("second"));
}

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
