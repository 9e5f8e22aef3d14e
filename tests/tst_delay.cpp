// Delay: the pause of every meter dialogue.
#include "core/link/Delay.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <time.h>

namespace {

qint64 processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

class TestDelay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void returnsAfterMoreThanTheTime_data();
    void returnsAfterMoreThanTheTime();
    void runsPendingTimersInside();
    void nestedDelaysBothReturn();
    void doesNotSpin();
    void returnsAtOnceWhileQuitting();
};

void TestDelay::returnsAfterMoreThanTheTime_data()
{
    QTest::addColumn<int>("ms");
    QTest::newRow("0 ms") << 0;
    QTest::newRow("1 ms") << 1;
    QTest::newRow("200 ms") << 200;
}

void TestDelay::returnsAfterMoreThanTheTime()
{
    QFETCH(int, ms);
    QElapsedTimer clock;
    clock.start();
    const qint64 reported = Delay(ms);
    const qint64 measured = clock.elapsed();
    QVERIFY2(reported > ms, qPrintable(QString::number(reported)));
    QVERIFY(measured >= reported);
}

void TestDelay::runsPendingTimersInside()
{
    bool ran = false;
    QTimer::singleShot(0, this, [&] { ran = true; });
    int ticks = 0;
    QTimer repeating;
    connect(&repeating, &QTimer::timeout, this, [&] { ++ticks; });
    repeating.start(20);
    Delay(200);
    QVERIFY(ran);
    QVERIFY2(ticks >= 2, qPrintable(QString::number(ticks)));
}

void TestDelay::nestedDelaysBothReturn()
{
    qint64 inner = -1;
    QTimer::singleShot(10, this, [&] { inner = Delay(100); });
    const qint64 outer = Delay(50);
    // The outer pause cannot end before the handler running inside it has.
    QVERIFY(inner > 100);
    QVERIFY(outer > 100);
}

void TestDelay::doesNotSpin()
{
    const qint64 cpuBefore = processCpuMs();
    const qint64 elapsed = Delay(300);
    const qint64 cpu = processCpuMs() - cpuBefore;
    QVERIFY(elapsed > 300);
    QVERIFY2(cpu < 50, qPrintable(QStringLiteral("%1 ms of CPU time").arg(cpu)));
}

void TestDelay::returnsAtOnceWhileQuitting()
{
    qint64 elapsed = -1;
    QTimer::singleShot(0, this, [&] {
        QCoreApplication::exit(0);
        elapsed = Delay(5000);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY2(elapsed >= 0 && elapsed < 1000, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestDelay)
#include "tst_delay.moc"
