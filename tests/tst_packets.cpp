// The packet exchange: ACK/NAK, stale partial packets, silence, retries, the
// directory target and the download cap, on a fake port and a fake clock.
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/sim/MeterModel.h"
#include "ClockedFlows.h"
#include "FakeSerialPort.h"

#include <QTest>

namespace {
// Wire time of a packet at 19200 baud, roughly.
constexpr qint64 PacketWireMs = 35;

// Puts the meter model behind the fake port: every chunk arrives after the wire
// time plus the model's own delay.
void attachModel(FakeSerialPort &port, MeterModel &model)
{
    port.onWrite = [&port, &model](const QByteArray &bytes) {
        qint64 at = 0;
        for (const MeterModel::Chunk &c : model.receive(bytes)) {
            at += c.delayMs + PacketWireMs;
            port.arriveIn(at, c.bytes);
        }
    };
}

QByteArray paddedImage(const QByteArray &image)
{
    QByteArray out = image;
    if (out.size() % 64)
        out.append(64 - out.size() % 64, '\0');
    return out;
}

int count(const QList<QByteArray> &writes, const QByteArray &message)
{
    return int(writes.count(message));
}
} // namespace

class TestPackets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void allGoodEndsBySilence();
    void badChecksumIsRejectedAndResent();
    void partialPacket_data();
    void partialPacket();
    void twentyOneRejectionsEndIt();
    void silence_data();
    void silence();
    void directoryTargetEndsWithRejectionsBetween();
    void extraBytesAfterAPacketAreDropped();
    void closedPortEndsAtOnce();
    void sixteenMebibyteCapIsAReadError();
};

void TestPackets::allGoodEndsBySilence()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(3, 100));
    attachModel(port, model);

    QList<qsizetype> sizes;
    PacketOptions options;
    options.clock = &clock;
    options.progress = [&](const QByteArray &received, PacketStep step) {
        QCOMPARE(step, PacketStep::Accepted);
        sizes.append(received.size());
    };
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);

    const QByteArray expected = paddedImage(model.image());
    QCOMPARE(r.end, PacketEnd::Silence);
    QCOMPARE(r.bytes, expected);
    QCOMPARE(r.retries, 0);
    QCOMPARE(r.packets, expected.size() / 64);
    QCOMPARE(sizes.size(), r.packets);
    QCOMPARE(sizes.last(), expected.size());
    QCOMPARE(port.writes().first(), Meter::DOWNLOAD_REQUEST);
    QCOMPARE(count(port.writes(), Meter::ACK), r.packets);
    // A complete transfer still ends 3 s after the last packet.
    QCOMPARE(clock.nowMs(), r.packets * PacketWireMs + Meter::PacketSilenceMs);
}

void TestPackets::badChecksumIsRejectedAndResent()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(2, 200));
    MeterFaults faults;
    faults.badChecksumPacket = 5;
    model.setFaults(faults);
    attachModel(port, model);

    QByteArray beforeBad;
    QByteArray atRejection;
    PacketOptions options;
    options.clock = &clock;
    options.progress = [&](const QByteArray &received, PacketStep step) {
        if (step == PacketStep::Rejected)
            atRejection = received;
        else if (received.size() == 5 * 64)
            beforeBad = received;
    };
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);

    QCOMPARE(r.retries, 1);
    QCOMPARE(count(port.writes(), Meter::NAK), 1);
    QCOMPARE(atRejection, beforeBad); // the bad packet left nothing behind
    QCOMPARE(r.bytes, paddedImage(model.image()));
    QCOMPARE(r.end, PacketEnd::Silence);
}

void TestPackets::partialPacket_data()
{
    QTest::addColumn<qint64>("restAfterMs");
    QTest::addColumn<int>("retries");
    QTest::newRow("rest within 1.5 s is one packet") << qint64(1400) << 0;
    QTest::newRow("partial that is never completed is dropped after 1.5 s") << qint64(-1) << 1;
    // The late rest is a partial of its own once the resent packet is taken.
    QTest::newRow("rest after 2.5 s is dropped too") << qint64(2500) << 2;
}

void TestPackets::partialPacket()
{
    QFETCH(qint64, restAfterMs);
    QFETCH(int, retries);

    FakeClock clock;
    FakeSerialPort port(clock);
    const QByteArray good = MeterModel::packet(QByteArray(64, 'a'));
    bool first = true;
    qint64 nakAt = -1;
    port.onWrite = [&](const QByteArray &bytes) {
        if (bytes == Meter::DOWNLOAD_REQUEST) {
            port.arriveIn(10, good.left(30));
            if (restAfterMs >= 0)
                port.arriveIn(restAfterMs, good.mid(30));
        } else if (bytes == Meter::NAK && first) {
            first = false;
            nakAt = clock.nowMs();
            port.arriveIn(PacketWireMs, good); // the meter sends the packet again, whole
        }
    };
    PacketOptions options;
    options.clock = &clock;
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);

    QCOMPARE(r.retries, retries);
    QCOMPARE(r.bytes, QByteArray(64, 'a'));
    QCOMPARE(r.end, PacketEnd::Silence);
    if (retries) {
        // Dropped only once more than 1.5 s had passed since the request.
        QVERIFY(nakAt > Meter::StalePacketMs);
        QVERIFY(nakAt <= Meter::StalePacketMs + 10);
    }
}

void TestPackets::twentyOneRejectionsEndIt()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    MeterFaults faults;
    faults.badChecksumEvery = 1;
    model.setFaults(faults);
    attachModel(port, model);
    PacketOptions options;
    options.clock = &clock;
    int rejected = 0;
    options.progress = [&](const QByteArray &received, PacketStep step) {
        QVERIFY(received.isEmpty());
        rejected += step == PacketStep::Rejected;
    };
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);
    QCOMPARE(r.end, PacketEnd::TooManyRetries);
    QCOMPARE(r.retries, Meter::MaxPacketRetries + 1);
    QCOMPARE(rejected, 21);
    QCOMPARE(count(port.writes(), Meter::NAK), 21);
    QVERIFY(r.bytes.isEmpty());
}

void TestPackets::silence_data()
{
    QTest::addColumn<int>("stallMs");
    QTest::addColumn<bool>("complete");
    QTest::newRow("no answer at all") << -1 << false;
    QTest::newRow("pause of 2.9 s between packets survives") << 2900 << true;
    QTest::newRow("pause of 3.1 s between packets ends it") << 3100 << false;
}

void TestPackets::silence()
{
    QFETCH(int, stallMs);
    QFETCH(bool, complete);

    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(1, 100));
    MeterFaults faults;
    faults.silent = stallMs < 0;
    faults.stallAfterPackets = 3;
    faults.stallMs = stallMs;
    model.setFaults(faults);
    attachModel(port, model);
    PacketOptions options;
    options.clock = &clock;
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);

    QCOMPARE(r.end, PacketEnd::Silence);
    QCOMPARE(r.retries, 0);
    if (complete)
        QCOMPARE(r.bytes, paddedImage(model.image()));
    else
        QCOMPARE(r.bytes.size(), stallMs < 0 ? 0 : 3 * 64);
    if (stallMs < 0)
        QCOMPARE(clock.nowMs(), qint64(Meter::PacketSilenceMs));
}

void TestPackets::directoryTargetEndsWithRejectionsBetween()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(4, 500));
    MeterFaults faults;
    faults.badChecksumEvery = 2;
    model.setFaults(faults);
    attachModel(port, model);
    PacketOptions options;
    options.clock = &clock;
    options.target = Meter::DirectoryBytes;
    const PacketResult r = runExchange(clock, port, Meter::DIRECTORY_REQUEST, options);

    QCOMPARE(r.end, PacketEnd::TargetReached);
    QCOMPARE(r.bytes, model.image().left(320));
    QCOMPARE(r.packets, 5);
    QCOMPARE(r.retries, 4);
    // It stops at once, without waiting for the silence.
    QVERIFY(clock.nowMs() < Meter::PacketSilenceMs);
}

void TestPackets::extraBytesAfterAPacketAreDropped()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    port.onWrite = [&](const QByteArray &bytes) {
        if (bytes == Meter::DOWNLOAD_REQUEST)
            port.arriveIn(PacketWireMs, MeterModel::packet(QByteArray(64, 'b')) + "xyz");
    };
    PacketOptions options;
    options.clock = &clock;
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);
    QCOMPARE(r.bytes, QByteArray(64, 'b'));
    QCOMPARE(port.bytesWaiting(), 0);
}

void TestPackets::closedPortEndsAtOnce()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(2, 300));
    attachModel(port, model);
    PacketOptions options;
    options.clock = &clock;
    options.progress = [&](const QByteArray &received, PacketStep) {
        if (received.size() == 3 * 64)
            port.fail();
    };
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);
    QCOMPARE(r.end, PacketEnd::PortClosed);
    QCOMPARE(r.bytes.size(), 3 * 64);
    QVERIFY(clock.nowMs() < Meter::PacketSilenceMs);

    port.close();
    const PacketResult none = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);
    QCOMPARE(none.end, PacketEnd::PortClosed);
    QVERIFY(none.bytes.isEmpty());
}

void TestPackets::sixteenMebibyteCapIsAReadError()
{
    // A device that never stops sending good packets.
    FakeClock clock;
    FakeSerialPort port(clock);
    const QByteArray packet = MeterModel::packet(QByteArray(64, 'c'));
    port.onWrite = [&](const QByteArray &bytes) {
        if (bytes == Meter::DOWNLOAD_REQUEST || bytes == Meter::ACK)
            port.arriveIn(1, packet);
    };
    PacketOptions options;
    options.clock = &clock;
    const PacketResult r = runExchange(clock, port, Meter::DOWNLOAD_REQUEST, options);
    QCOMPARE(r.end, PacketEnd::SizeCap);
    QCOMPARE(r.bytes.size(), Meter::MaxImageBytes);
}

QTEST_GUILESS_MAIN(TestPackets)
#include "tst_packets.moc"
