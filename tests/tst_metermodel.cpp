// The meter model: its answer to every request, the memory images it builds,
// and the faults it injects.
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/sim/MeterModel.h"

#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>

namespace {
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

QByteArray joined(const QList<MeterModel::Chunk> &chunks)
{
    QByteArray out;
    for (const auto &c : chunks)
        out += c.bytes;
    return out;
}

const QDateTime FixedNow(QDate(2024, 3, 1), QTime(12, 34, 56));

quint32 le32(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

quint16 le16(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
} // namespace

class TestMeterModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void builders();
    void answers_data();
    void answers();
    void requestsSplitOrAfterGarbage();
    void liveFrame_data();
    void liveFrame();
    void settingsStick();
    void imageLayout();
    void directoryAndDownloadPacing();
    void faults();
    void hangUpTruncatesAndSilences();
    void loadsACollectionFile();
};

void TestMeterModel::builders()
{
    QCOMPARE(Meter::SET_CLOCK(FixedNow), hex("ef741803010c2238fe"));
    QCOMPARE(Meter::SET_INTERVAL(13), hex("ef690d00fe"));
    QCOMPARE(Meter::SET_UNIT(true), hex("ef5301fe"));
    QCOMPARE(Meter::SET_UNIT(false), hex("ef5300fe"));
    QCOMPARE(Meter::stxEnvelope(Meter::LIVE_REQUEST), Meter::FRAMED_LIVE_REQUEST);
    QCOMPARE(Meter::ERASE_REQUEST, hex("ef6500fe"));
    QCOMPARE(Meter::requestName(Meter::SET_CLOCK(FixedNow)), QStringLiteral("SET_CLOCK"));
    QCOMPARE(Meter::requestName(Meter::ACK), QStringLiteral("ACK"));
    QCOMPARE(Meter::requestName(hex("ef7afe")), QString());
}

void TestMeterModel::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("identify") << Meter::IDENTIFY_REQUEST << Meter::IDENTIFY_REPLY;
    QTest::newRow("wake byte") << Meter::WAKE_BYTE << QByteArray();
    QTest::newRow("clock") << Meter::CLOCK_REQUEST << hex("ef1803010c2238fe");
    QTest::newRow("set clock") << Meter::SET_CLOCK(FixedNow) << Meter::CONFIRM_REPLY;
    QTest::newRow("interval") << Meter::INTERVAL_REQUEST << hex("ef07fe");
    QTest::newRow("set interval") << Meter::SET_INTERVAL(3) << Meter::CONFIRM_REPLY;
    QTest::newRow("set unit") << Meter::SET_UNIT(true) << Meter::CONFIRM_REPLY;
    QTest::newRow("erase") << Meter::ERASE_REQUEST << Meter::CONFIRM_REPLY;
    QTest::newRow("default setup") << Meter::DEFAULT_SETUP_REQUEST << Meter::CONFIRM_REPLY;
    QTest::newRow("ack outside a transfer") << Meter::ACK << QByteArray();
    QTest::newRow("nak outside a transfer") << Meter::NAK << QByteArray();
    QTest::newRow("unknown letter") << hex("ef7afe") << QByteArray();
}

void TestMeterModel::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    MeterModel model;
    model.setTimeSource([] { return FixedNow; });
    QStringList names;
    model.onRequest = [&](const QString &name, const QByteArray &) { names << name; };
    QCOMPARE(joined(model.receive(request)), answer);
    QCOMPARE(names.size(), Meter::requestName(request).isEmpty() ? 0 : 1);
}

void TestMeterModel::requestsSplitOrAfterGarbage()
{
    MeterModel model;
    QByteArray out = joined(model.receive(hex("ef4d")));
    QVERIFY(out.isEmpty());
    out = joined(model.receive(hex("fe1234ef4dfe")));
    QCOMPARE(out, Meter::IDENTIFY_REPLY + Meter::IDENTIFY_REPLY);
    // A start byte with a wrong end is dropped and the next request still heard.
    QCOMPARE(joined(model.receive(hex("ef4d00ef4dfe"))), Meter::IDENTIFY_REPLY);
    QCOMPARE(joined(model.receive(Meter::FRAMED_LIVE_REQUEST)).size(), Meter::LiveFrameLength);
}

void TestMeterModel::liveFrame_data()
{
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<bool>("showHumidity");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QByteArray>("frame");
    // 23.5 C is 74.3 F; humidity 55.1 %; 4 battery bars, 2 memory bars.
    QTest::newRow("celsius") << false << false << false << hex("efeb00270204020100fe");
    QTest::newRow("fahrenheit") << true << false << false << hex("efe702270204020200fe");
    QTest::newRow("humidity shown") << false << true << false << hex("efeb00270204020000fe");
    QTest::newRow("recording") << false << false << true << hex("efeb00270204020900fe");
}

void TestMeterModel::liveFrame()
{
    QFETCH(bool, fahrenheit);
    QFETCH(bool, showHumidity);
    QFETCH(bool, recording);
    QFETCH(QByteArray, frame);
    MeterModel model;
    model.setFahrenheit(fahrenheit);
    model.setShowHumidity(showHumidity);
    model.setRecording(recording);
    QCOMPARE(model.liveFrame(), frame);
    // Every request moves the reading a little, within its bounds.
    for (int i = 0; i < 500; ++i) {
        const QByteArray f = joined(model.receive(Meter::LIVE_REQUEST));
        QCOMPARE(f.size(), 10);
        QCOMPARE(f.front(), Meter::StartByte);
        QCOMPARE(f.back(), Meter::EndByte);
    }
    QVERIFY(model.reading().temperatureTenthsC >= 150 && model.reading().temperatureTenthsC <= 300);
}

void TestMeterModel::settingsStick()
{
    MeterModel model;
    model.setTimeSource([] { return FixedNow; });
    model.receive(Meter::SET_INTERVAL(11));
    QCOMPARE(joined(model.receive(Meter::INTERVAL_REQUEST)), hex("ef0bfe"));
    model.receive(Meter::SET_UNIT(true));
    QCOMPARE(quint8(model.liveFrame().at(7)) & 0x03, 0x02);
    model.receive(Meter::SET_CLOCK(FixedNow.addSecs(-3600)));
    QCOMPARE(joined(model.receive(Meter::CLOCK_REQUEST)), hex("ef1803010b2238fe"));
    model.setImage(MeterModel::generateImage(2, 10));
    model.receive(Meter::ERASE_REQUEST);
    QCOMPARE(model.image(), MeterModel::erasedImage());
    model.setRecording(true);
    model.receive(Meter::DEFAULT_SETUP_REQUEST);
    QVERIFY(!model.fahrenheit());
    QVERIFY(!model.recording());
}

void TestMeterModel::imageLayout()
{
    QList<MeterModel::DataSet> sets(2);
    sets[0].start = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58));
    sets[0].intervalSeconds = 300;
    sets[0].samples = {{551, 235}, {-1, -200}};
    sets[1].start = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    sets[1].intervalSeconds = 1200;
    sets[1].fahrenheit = true;
    sets[1].samples = {{1000, 743}};
    const QByteArray image = MeterModel::buildImage(sets);

    QCOMPARE(image.size(), 320 + 12);
    QCOMPARE(image.mid(16, 12), hex("00002c00170c1f173b3a0000"));
    QCOMPARE(le32(image, 28), 328u);
    QCOMPARE(quint8(image.at(33)), quint8(0x01));
    QCOMPARE(le16(image, 34), quint16(0xFFB0));
    QCOMPARE(le32(image, 44), 332u);
    QCOMPARE(le32(image, 60), 0u); // the directory ends here
    QCOMPARE(image.mid(320), hex("2702eb00ffff38ffe803e702"));

    QCOMPARE(MeterModel::intervalCode(300), quint16(0x2C));
    QCOMPARE(MeterModel::intervalCode(600), quint16(0x58));
    QCOMPARE(MeterModel::intervalCode(1800), quint16(0x08));
    QCOMPARE(MeterModel::intervalCode(3600), quint16(0x10));
    QCOMPARE(MeterModel::intervalCode(120), quint16(120));

    const QByteArray generated = MeterModel::generateImage(15, 50, 7);
    QCOMPARE(generated.size(), 320 + 15 * 50 * 4);
    QCOMPARE(le32(generated, 16 + 16 * 14 + 12), quint32(generated.size()));
    QCOMPARE(MeterModel::generateImage(15, 50, 7), generated); // seeded
    QVERIFY(MeterModel::generateImage(15, 50, 8) != generated);
    const QByteArray past = MeterModel::generateImage(2, 50, 7, true);
    QVERIFY(le32(past, 28) > quint32(past.size()));
}

void TestMeterModel::directoryAndDownloadPacing()
{
    MeterModel model;
    model.setImage(MeterModel::generateImage(3, 100));
    QByteArray directory;
    QList<MeterModel::Chunk> c = model.receive(Meter::DIRECTORY_REQUEST);
    int packets = 0;
    while (!c.isEmpty()) {
        const QByteArray p = joined(c);
        QCOMPARE(p.size(), 67);
        QCOMPARE(PacketChecksum(p), quint8(p.at(65)));
        directory += p.mid(1, 64);
        ++packets;
        c = model.receive(Meter::ACK);
    }
    QCOMPARE(packets, 5);
    QCOMPARE(directory, model.image().left(320));

    const QByteArray first = joined(model.receive(Meter::DOWNLOAD_REQUEST));
    QCOMPARE(joined(model.receive(Meter::NAK)), first);
    const QByteArray second = joined(model.receive(Meter::ACK));
    QCOMPARE(second.mid(1, 64), model.image().mid(64, 64));
    // Another request ends the transfer.
    model.receive(Meter::LIVE_REQUEST);
    QVERIFY(model.receive(Meter::ACK).isEmpty());
}

void TestMeterModel::faults()
{
    MeterModel model(3);
    model.setImage(MeterModel::generateImage(1, 200));
    MeterFaults f;
    f.badChecksumPacket = 1;
    f.noise = true;
    f.splitFrames = true;
    f.stallAfterPackets = 2;
    f.stallMs = 1700;
    f.stallMidPacket = true;
    model.setFaults(f);

    auto good = [](const QByteArray &p) { return PacketChecksum(p) == quint8(p.at(65)); };
    QVERIFY(good(joined(model.receive(Meter::DOWNLOAD_REQUEST))));
    QVERIFY(!good(joined(model.receive(Meter::ACK)))); // packet 1, bad once
    const QList<MeterModel::Chunk> stalled = model.receive(Meter::NAK); // packet 1 again: the third sent
    QCOMPARE(stalled.size(), 2);
    QCOMPARE(stalled.at(0).delayMs, 0);
    QCOMPARE(stalled.at(1).delayMs, 1700);
    QVERIFY(good(joined(stalled)));
    QCOMPARE(model.receive(Meter::ACK).size(), 1); // the stall happens once

    // Noise (never a start byte) and a split: the frame still ends the stream.
    const QList<MeterModel::Chunk> live = model.receive(Meter::LIVE_REQUEST);
    QCOMPARE(live.size(), 2);
    QCOMPARE(live.at(1).delayMs, 30);
    const QByteArray stream = joined(live);
    QCOMPARE(stream.size(), 13);
    QVERIFY(!stream.left(3).contains(Meter::StartByte));
    QCOMPARE(stream.mid(3).front(), Meter::StartByte);

    MeterFaults every;
    every.badChecksumEvery = 3;
    MeterModel counted;
    counted.setImage(MeterModel::generateImage(2, 300));
    counted.setFaults(every);
    int bad = 0;
    QByteArray p = joined(counted.receive(Meter::DOWNLOAD_REQUEST));
    for (int i = 0; i < 30; ++i) {
        bad += !good(p);
        p = joined(counted.receive(Meter::ACK));
    }
    QCOMPARE(bad, 10);

    MeterFaults silent;
    silent.silent = true;
    MeterModel quiet;
    quiet.setFaults(silent);
    QStringList heard;
    quiet.onRequest = [&](const QString &name, const QByteArray &) { heard << name; };
    QVERIFY(quiet.receive(Meter::IDENTIFY_REQUEST + Meter::LIVE_REQUEST).isEmpty());
    QCOMPARE(heard, QStringList({"IDENTIFY_REQUEST", "LIVE_REQUEST"}));
}

void TestMeterModel::hangUpTruncatesAndSilences()
{
    MeterModel model;
    MeterFaults f;
    f.hangUpAfterBytes = 12;
    model.setFaults(f);
    QCOMPARE(joined(model.receive(Meter::LIVE_REQUEST)).size(), 10);
    const QList<MeterModel::Chunk> last = model.receive(Meter::IDENTIFY_REQUEST);
    QCOMPARE(last.size(), 1);
    QCOMPARE(last.at(0).bytes, Meter::IDENTIFY_REPLY.left(2));
    QVERIFY(last.at(0).hangUp);
    QVERIFY(model.receive(Meter::IDENTIFY_REQUEST).isEmpty());
}

void TestMeterModel::loadsACollectionFile()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    const QByteArray image = MeterModel::generateImage(2, 33);
    file.write(image);
    file.close();
    MeterModel model;
    QVERIFY(model.loadImage(file.fileName()));
    QCOMPARE(model.image(), image);
    QVERIFY(!model.loadImage(file.fileName() + ".missing"));
}

QTEST_GUILESS_MAIN(TestMeterModel)
#include "tst_metermodel.moc"
