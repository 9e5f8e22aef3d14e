// Cutting live and clock frames out of the received stream.
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "FakeSerialPort.h"

#include <QTest>

using ByteList = QList<QByteArray>;

class TestFrames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void extract_data();
    void extract();
    void readCapLeavesTheRestWaiting();
    void plausibleLiveFrames_data();
    void plausibleLiveFrames();
};

namespace {
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}
} // namespace

void TestFrames::extract_data()
{
    QTest::addColumn<int>("frameLength");
    QTest::addColumn<int>("cap");
    QTest::addColumn<ByteList>("events");
    QTest::addColumn<QList<int>>("framesAfterEvent");
    QTest::addColumn<ByteList>("frames");
    QTest::addColumn<QByteArray>("left");

    const QByteArray a = hex("efeb00270204020100fe");
    const QByteArray b = hex("ef0cfe5e0105080200fe");
    // Start, end and zero bytes inside the data do not matter: only positions count.
    const QByteArray tricky = hex("efeffe00effe0000effe");

    QTest::newRow("start end and zero bytes inside")
        << 10 << 256 << ByteList{tricky} << QList<int>{1} << ByteList{tricky} << QByteArray();
    QTest::newRow("two frames in one event")
        << 10 << 256 << ByteList{a + b} << QList<int>{2} << ByteList{a, b} << QByteArray();
    QTest::newRow("frame split across events")
        << 10 << 256 << ByteList{a.left(4), a.mid(4)} << QList<int>{0, 1} << ByteList{a} << QByteArray();
    QTest::newRow("frame split, second half with the next frame")
        << 10 << 256 << ByteList{a.left(7), a.mid(7) + b.left(2)} << QList<int>{0, 1} << ByteList{a}
        << b.left(2);
    QTest::newRow("three bytes of leading noise")
        << 10 << 256 << ByteList{hex("123456") + a} << QList<int>{1} << ByteList{a} << QByteArray();
    QTest::newRow("bad end byte resynchronises on the next start byte")
        << 10 << 256 << ByteList{hex("ef0102030405060708") + hex("09") + b} << QList<int>{1} << ByteList{b}
        << QByteArray();
    QTest::newRow("false start inside noise")
        << 10 << 256 << ByteList{hex("ef11ef") + a} << QList<int>{1} << ByteList{a} << QByteArray();
    QTest::newRow("no start byte empties the buffer")
        << 10 << 256 << ByteList{hex("0102030405060708090a0b")} << QList<int>{0} << ByteList{} << QByteArray();
    QTest::newRow("short garbage waits")
        << 10 << 256 << ByteList{hex("010203")} << QList<int>{0} << ByteList{} << hex("010203");
    QTest::newRow("incomplete frame waits")
        << 10 << 256 << ByteList{a.left(9)} << QList<int>{0} << ByteList{} << a.left(9);
    QTest::newRow("clock frames of 8 bytes")
        << 8 << 32 << ByteList{hex("ef180301") , hex("0c2238feef18")} << QList<int>{0, 1}
        << ByteList{hex("ef1803010c2238fe")} << hex("ef18");

    QByteArray thirty;
    ByteList thirtyFrames;
    for (int i = 0; i < 30; ++i) {
        QByteArray f = a;
        f[1] = char(i);
        thirty += f;
        thirtyFrames += f;
    }
    // 300 bytes wait but one event takes 256: 25 frames, then the rest next time.
    QTest::newRow("live cap 256 per event")
        << 10 << 256 << ByteList{thirty, QByteArray()} << QList<int>{25, 30} << thirtyFrames << QByteArray();
    QByteArray clocks;
    ByteList clockFrames;
    for (int i = 0; i < 5; ++i) {
        const QByteArray f = hex("ef180301") + char(i) + hex("2238fe");
        clocks += f;
        clockFrames += f;
    }
    QTest::newRow("clock cap 32 per event")
        << 8 << 32 << ByteList{clocks, QByteArray()} << QList<int>{4, 5} << clockFrames << QByteArray();
}

void TestFrames::extract()
{
    QFETCH(int, frameLength);
    QFETCH(int, cap);
    QFETCH(ByteList, events);
    QFETCH(QList<int>, framesAfterEvent);
    QFETCH(ByteList, frames);
    QFETCH(QByteArray, left);

    FakeClock clock;
    FakeSerialPort port(clock);
    QByteArray buffer;
    ByteList got;
    for (qsizetype i = 0; i < events.size(); ++i) {
        port.arriveIn(0, events.at(i));
        ReadWaiting(port, buffer, cap);
        ExtractFrames(buffer, frameLength, [&](const QByteArray &f) { got.append(f); });
        QCOMPARE(got.size(), framesAfterEvent.at(i));
    }
    QCOMPARE(got, frames);
    QCOMPARE(buffer, left);
}

void TestFrames::readCapLeavesTheRestWaiting()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    port.arriveIn(0, QByteArray(300, 'x'));
    QByteArray buffer("ab");
    QCOMPARE(ReadWaiting(port, buffer, Meter::LiveReadCap), 256);
    QCOMPARE(buffer.size(), 258);
    QCOMPARE(port.bytesWaiting(), 44);
    port.close();
    QCOMPARE(ReadWaiting(port, buffer, Meter::LiveReadCap), 0);
}

void TestFrames::plausibleLiveFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("plausible");
    using Meter::LIVE_FRAME;
    QTest::newRow("23.5 C, 45.0 %") << LIVE_FRAME(235, 450, 5, 8, 0x01) << true;
    QTest::newRow("recording, -999.9 F") << LIVE_FRAME(-9999, 0, 0, 0, 0x0A) << true;
    QTest::newRow("humidity shown, 100.0 %") << LIVE_FRAME(2424, 1000, 3, 2, 0x00) << true;
    QTest::newRow("humidity 1969.3 %") << LIVE_FRAME(235, 19693, 5, 8, 0x01) << false;
    QTest::newRow("humidity below 0") << LIVE_FRAME(235, -1, 5, 8, 0x01) << false;
    QTest::newRow("temperature 1000.0") << LIVE_FRAME(10000, 450, 5, 8, 0x01) << false;
    QTest::newRow("both units") << LIVE_FRAME(235, 450, 5, 8, 0x03) << false;
    QTest::newRow("unused status bit") << LIVE_FRAME(235, 450, 5, 8, 0x11) << false;
    QTest::newRow("6 battery bars") << LIVE_FRAME(235, 450, 6, 8, 0x01) << false;
    QTest::newRow("9 memory bars") << LIVE_FRAME(235, 450, 5, 9, 0x01) << false;
    QTest::newRow("one byte short") << LIVE_FRAME(235, 450, 5, 8, 0x01).left(9) << false;
}

void TestFrames::plausibleLiveFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, plausible);
    QCOMPARE(Meter::isPlausibleLiveFrame(frame), plausible);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
