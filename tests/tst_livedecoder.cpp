// Decoding the meter's live frames into what its LCD shows.
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"

#include <QTest>

#include <initializer_list>

namespace {

QByteArray liveFrame(int temperature, int humidity, int battery, int memory, int status)
{
    return Meter::LIVE_FRAME(qint16(temperature), qint16(humidity), quint8(battery),
                             quint8(memory), quint8(status));
}

quint32 bits(std::initializer_list<int> list)
{
    quint32 mask = (1u << 8) | (1u << 12) | (1u << 15); // MEM, point, battery outline
    for (int b : list)
        mask |= 1u << b;
    return mask;
}

// The glyph codes of the four digit windows as the LCD text shows them.
QList<int> codesOf(const QString &text)
{
    QList<int> codes;
    for (int i : {1, 2, 3, 5})
        codes << (text.at(i) == u' ' ? 11 : text.at(i).digitValue());
    return codes;
}

} // namespace

class TestLiveDecoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesFrame_data();
    void decodesFrame();
    void readings_data();
    void readings();
    void keepsWhatTheFrameDoesNotWrite();
};

void TestLiveDecoder::decodesFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("celsiusBefore");
    QTest::addColumn<uint>("mask");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("thousands");
    QTest::addColumn<bool>("celsius");
    QTest::addColumn<bool>("recording");

    QTest::newRow("celsius 23.5") << liveFrame(235, 0, 0, 0, 0x01) << false << bits({13})
                                  << "  23.5" << 0 << true << false;
    QTest::newRow("fahrenheit -50.0") << liveFrame(-500, 0, 0, 0, 0x02) << true << bits({14, 9})
                                      << "- 50.0" << 0 << false << false;
    QTest::newRow("799.9 not blanked") << liveFrame(7999, 0, 0, 0, 0x01) << false << bits({13})
                                       << " 799.9" << 0 << true << false;
    QTest::newRow("humidity keeps celsius") << liveFrame(-123, 350, 0, 0, 0x00) << true << bits({})
                                            << "  35.0" << 0 << true << false;
    QTest::newRow("humidity keeps fahrenheit") << liveFrame(235, 350, 0, 0, 0x00) << false
                                               << bits({}) << "  35.0" << 0 << false << false;
    QTest::newRow("recording 0x09") << liveFrame(235, 0, 0, 0, 0x09) << false << bits({13, 11})
                                    << "  23.5" << 0 << true << true;
    QTest::newRow("other status bits ignored") << liveFrame(235, 0, 0, 0, 0xF4) << false
                                               << bits({}) << "   0.0" << 0 << false << false;
    QTest::newRow("both unit bits") << liveFrame(235, 0, 0, 0, 0x03) << true << bits({13, 14})
                                    << "  23.5" << 0 << false << false;
    QTest::newRow("battery 0") << liveFrame(235, 0, 0, 0, 0x01) << false << bits({13})
                               << "  23.5" << 0 << true << false;
    QTest::newRow("battery 1 is the rightmost bar") << liveFrame(235, 0, 1, 0, 0x01) << false
                                                    << bits({13, 20}) << "  23.5" << 0 << true << false;
    QTest::newRow("battery 5") << liveFrame(235, 0, 5, 0, 0x01) << false
                               << bits({13, 16, 17, 18, 19, 20}) << "  23.5" << 0 << true << false;
    QTest::newRow("memory 1 is the lowest bar") << liveFrame(235, 0, 0, 1, 0x01) << false
                                                << bits({13, 0}) << "  23.5" << 0 << true << false;
    QTest::newRow("memory 8") << liveFrame(235, 0, 0, 8, 0x01) << false
                              << bits({13, 0, 1, 2, 3, 4, 5, 6, 7}) << "  23.5" << 0 << true << false;
    QTest::newRow("battery 6 clamped") << liveFrame(235, 0, 6, 0, 0x01) << false
                                       << bits({13, 16, 17, 18, 19, 20}) << "  23.5" << 0 << true << false;
    QTest::newRow("battery 22 clamped") << liveFrame(235, 0, 22, 0, 0x01) << false
                                        << bits({13, 16, 17, 18, 19, 20}) << "  23.5" << 0 << true << false;
    QTest::newRow("battery -1 lights nothing") << liveFrame(235, 0, 0xFF, 0, 0x01) << false
                                               << bits({13}) << "  23.5" << 0 << true << false;
    QTest::newRow("memory 9 clamped") << liveFrame(235, 0, 0, 9, 0x01) << false
                                      << bits({13, 0, 1, 2, 3, 4, 5, 6, 7}) << "  23.5" << 0 << true << false;
    QTest::newRow("memory 33 clamped") << liveFrame(235, 0, 0, 33, 0x01) << false
                                       << bits({13, 0, 1, 2, 3, 4, 5, 6, 7}) << "  23.5" << 0 << true << false;
    QTest::newRow("memory -128 lights nothing") << liveFrame(235, 0, 0, 0x80, 0x01) << false
                                                << bits({13}) << "  23.5" << 0 << true << false;
    QTest::newRow("0.7") << liveFrame(7, 0, 0, 0, 0x01) << false << bits({13}) << "   0.7" << 0
                         << true << false;
    QTest::newRow("0") << liveFrame(0, 0, 0, 0, 0x01) << false << bits({13}) << "   0.0" << 0
                       << true << false;
    QTest::newRow("-5.2") << liveFrame(-52, 0, 0, 0, 0x01) << false << bits({13, 9}) << "-  5.2"
                          << 0 << true << false;
    QTest::newRow("tens kept when hundreds blank") << liveFrame(95, 0, 0, 0, 0x01) << false
                                                   << bits({13}) << "   9.5" << 0 << true << false;
    QTest::newRow("zero tens shown after hundreds") << liveFrame(1005, 0, 0, 0, 0x01) << false
                                                    << bits({13}) << " 100.5" << 0 << true << false;
    QTest::newRow("1000.0 loses its thousands digit") << liveFrame(10000, 0, 0, 0, 0x01) << false
                                                      << bits({13}) << "   0.0" << 1 << true << false;
    QTest::newRow("1234.5") << liveFrame(12345, 0, 0, 0, 0x01) << false << bits({13}) << " 234.5"
                            << 1 << true << false;
    QTest::newRow("-32768 shows 2768") << liveFrame(-32768, 0, 0, 0, 0x01) << false
                                       << bits({13, 9}) << "-276.8" << 3 << true << false;
    QTest::newRow("32767") << liveFrame(32767, 0, 0, 0, 0x01) << false << bits({13}) << " 276.7"
                           << 3 << true << false;
    QTest::newRow("data bytes 0xEF 0xFE") << liveFrame(0xFEEF, 0, 0, 0, 0x01) << false
                                          << bits({13, 9}) << "- 27.3" << 0 << true << false;
    QTest::newRow("negative humidity") << liveFrame(0, -10, 0, 0, 0x00) << false << bits({9})
                                       << "-  1.0" << 0 << false << false;
}

void TestLiveDecoder::decodesFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, celsiusBefore);
    QFETCH(uint, mask);
    QFETCH(QString, text);
    QFETCH(int, thousands);
    QFETCH(bool, celsius);
    QFETCH(bool, recording);

    LiveDisplayState before;
    before.UnitIsCelsius = celsiusBefore;
    before.LoggerRecording = !recording;
    before.IndicatorMask = 0xFFFFFFFF;
    const LiveDisplayState s = decodeLiveFrame(frame, before);

    QCOMPARE(QString::number(s.IndicatorMask, 2), QString::number(mask, 2));
    const QList<int> digits{s.DigitCodes[3], s.DigitCodes[4], s.DigitCodes[5], s.DigitCodes[6]};
    QCOMPARE(digits, codesOf(text));
    QCOMPARE(int(s.DigitCodes[1]), 11); // the sign is never a glyph
    QCOMPARE(int(s.DigitCodes[2]), thousands);
    QCOMPARE(lcdText(s), text);
    QCOMPARE(s.UnitIsCelsius, celsius);
    QCOMPARE(s.LoggerRecording, recording);
}

void TestLiveDecoder::readings_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("humidity");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("battery");
    QTest::addColumn<int>("memory");
    QTest::addColumn<bool>("recording");

    QTest::newRow("celsius") << liveFrame(235, 412, 4, 3, 0x01) << 23.5 << 41.2 << "C" << 4 << 3 << false;
    QTest::newRow("fahrenheit recording") << liveFrame(-500, 0, 5, 8, 0x0A) << -50.0 << 0.0 << "F" << 5
                                          << 8 << true;
    QTest::newRow("humidity shown") << liveFrame(235, 350, 0, 0, 0x00) << 23.5 << 35.0 << "" << 0 << 0
                                    << false;
    QTest::newRow("both unit bits") << liveFrame(1, 2, 0, 0, 0x03) << 0.1 << 0.2 << "F" << 0 << 0 << false;
    QTest::newRow("counts clamped") << liveFrame(0, 0, 22, 0xFF, 0x01) << 0.0 << 0.0 << "C" << 5 << 0
                                    << false;
    QTest::newRow("extremes") << liveFrame(-32768, 32767, 0, 0, 0x01) << -3276.8 << 3276.7 << "C" << 0
                              << 0 << false;
}

void TestLiveDecoder::readings()
{
    QFETCH(QByteArray, frame);
    const LiveReading r = readLiveFrame(frame);
    QTEST(r.temperature, "temperature");
    QTEST(r.humidity, "humidity");
    QTEST(unitText(r.unit), "unit");
    QTEST(r.battery, "battery");
    QTEST(r.memory, "memory");
    QTEST(r.recording, "recording");
}

void TestLiveDecoder::keepsWhatTheFrameDoesNotWrite()
{
    LiveDisplayState before;
    before.DigitCodes[0] = 4;
    before.UnitIsCelsius = true;
    const LiveDisplayState s = decodeLiveFrame(liveFrame(235, 0, 0, 0, 0x02), before);
    QCOMPARE(int(s.DigitCodes[0]), 4);
    QVERIFY(!s.UnitIsCelsius);

    // The frame extraction only hands on 10-byte frames; anything else changes nothing.
    QCOMPARE(decodeLiveFrame(liveFrame(235, 0, 0, 0, 0x02).left(9), before), before);
    QCOMPARE(readLiveFrame(QByteArray(3, '\1')).battery, 0);

    const LiveDisplayState fresh;
    for (quint8 code : fresh.DigitCodes)
        QCOMPARE(int(code), 11);
    QCOMPARE(lcdText(fresh), QStringLiteral("    . "));
}

QTEST_GUILESS_MAIN(TestLiveDecoder)
#include "tst_livedecoder.moc"
