// Decoding the logger's memory image into the data set store.
#include "ImageBuilder.h"

#include "core/data/DateTimeText.h"
#include "core/data/LoggerImage.h"
#include "core/data/TDataSetStore.h"
#include "Outcome.h"

#include <QTest>
#include <QtEndian>

using LoggerImage::TDataSetEntry;


namespace {

ImageSet samples(int n)
{
    return ImageSet().ramp(n, 400, 1, 200, 1);
}

void setEnd(QByteArray &image, int entry, quint32 end)
{
    qToLittleEndian<quint32>(end, image.data() + LoggerImage::entryOffset(entry)
                                      + LoggerImage::EntryField::EndAddress);
}

} // namespace

class TestLoggerImage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void directory_data();
    void directory();
    void intervals_data();
    void intervals();
    void readings_data();
    void readings();
    void startTimes_data();
    void startTimes();
    void listRows_data();
    void listRows();
    void sampleLayout();
    void failedLoadLeavesTheStoreUnchanged();
    void longSetTimes_data();
    void longSetTimes();
    void reloadGivesWhatANewStoreGives_data();
    void reloadGivesWhatANewStoreGives();
    void imageIsKeptByteForByte();
    void announcedTotal_data();
    void announcedTotal();
    void truncateDirectory_data();
    void truncateDirectory();
};

void TestLoggerImage::directory_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<qint64>("expectedBytes");   // -1: the image's size
    QTest::addColumn<QString>("result");
    QTest::addColumn<QList<qint32>>("counts");

    const auto ok = QStringLiteral("ok");
    const auto data = QStringLiteral("damaged");
    QTest::newRow("no data set") << ImageBuilder().build() << qint64(-1) << QStringLiteral("no data") << QList<qint32>{};

    QByteArray firstZero = ImageBuilder().add(samples(2)).add(samples(3)).build();
    setEnd(firstZero, 0, 0);
    QTest::newRow("first entry zero, later filled") << firstZero << qint64(-1) << QStringLiteral("no data") << QList<qint32>{};

    ImageBuilder fifteen;
    QList<qint32> fifteenCounts;
    for (int k = 0; k < 15; ++k) {
        fifteen.add(samples(k + 1));
        fifteenCounts << k + 1;
    }
    // The unused bytes after the directory are not zero, so a scan past
    // entry 15 would find a sixteenth set.
    QTest::newRow("fifteen sets") << fifteen.unusedBytes(0xA5).build() << qint64(-1) << ok << fifteenCounts;

    QTest::newRow("zero-sample set") << ImageBuilder().add(samples(2)).add(samples(0)).add(samples(3)).build()
                                     << qint64(-1) << ok << QList<qint32>{2, 0, 3};
    ImageSet partial = samples(3);
    partial.extraBytes = 2;
    QTest::newRow("length not a multiple of 4") << ImageBuilder().add(partial).add(samples(2)).build() << qint64(-1)
                                                << ok << QList<qint32>{3, 2};
    const QByteArray exact = ImageBuilder().add(samples(5)).buildExact();
    QTest::newRow("exactly as long as the last end") << exact << qint64(-1) << ok << QList<qint32>{5};
    QTest::newRow("end beyond the image") << exact.left(exact.size() - 4) << qint64(1 << 20) << data << QList<qint32>{};
    QTest::newRow("end beyond the expected bytes") << exact << qint64(exact.size() - 1) << data << QList<qint32>{};
    QTest::newRow("image shorter than the directory") << exact.left(200) << qint64(-1) << QStringLiteral("no data")
                                                      << QList<qint32>{};

    QByteArray below = ImageBuilder().add(samples(4)).add(samples(4)).build();
    setEnd(below, 1, 330);
    QTest::newRow("end below its start") << below << qint64(-1) << data << QList<qint32>{};
    QByteArray first = ImageBuilder().add(samples(1)).build();
    setEnd(first, 0, 100);
    QTest::newRow("first end below 320") << first << qint64(-1) << data << QList<qint32>{};
    QByteArray huge = ImageBuilder().add(samples(1)).build();
    setEnd(huge, 0, 0x80000000u);
    QTest::newRow("end at 2^31") << huge << qint64(-1) << data << QList<qint32>{};
    setEnd(huge, 0, 0xFFFFFFFFu);
    QTest::newRow("end 2^32-1") << huge << qint64(0x7FFFFFFF) << data << QList<qint32>{};
}

void TestLoggerImage::directory()
{
    QFETCH(QByteArray, image);
    QFETCH(qint64, expectedBytes);
    QFETCH(QString, result);
    QFETCH(QList<qint32>, counts);

    TDataSetStore store;
    QCOMPARE(outcome(store.load(image, expectedBytes < 0 ? image.size() : expectedBytes)), result);
    if (result != QStringLiteral("ok")) {
        QCOMPARE(store.SetCount(), 0);
        return;
    }
    QCOMPARE(store.SetCount(), counts.size());
    QCOMPARE(store.SampleCounts(), counts);
    qint64 total = 0;
    for (int k = 0; k < counts.size(); ++k) {
        // Each set starts where the previous one ended, partial sample included.
        const quint32 end = TDataSetEntry::read(image, k).endAddress;
        QCOMPARE(store.StartAddresses().at(k), k == 0 ? 320 : qint32(TDataSetEntry::read(image, k - 1).endAddress));
        QCOMPARE(store.EndAddresses().at(k), qint32(end) - 1);
        QCOMPARE(store.firstSample(k), total);
        total += counts.at(k);
    }
    QCOMPARE(store.Values().size(), 2 * total);
    QCOMPARE(store.Times().size(), 2 * total);
}

void TestLoggerImage::intervals_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("seconds");
    QTest::newRow("44") << 44 << 300;
    QTest::newRow("300") << 300 << 300;
    QTest::newRow("120") << 120 << 120;
    QTest::newRow("0x58") << 0x58 << 600;
    QTest::newRow("0xFFB0") << 0xFFB0 << 1200;
    QTest::newRow("0x08") << 0x08 << 1800;
    QTest::newRow("0x10") << 0x10 << 3600;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("3600 as itself") << 3600 << 3600;
}

void TestLoggerImage::intervals()
{
    QFETCH(int, code);
    QFETCH(int, seconds);
    TDataSetStore store;
    QCOMPARE(outcome(store.load(ImageBuilder().add(samples(3).every(quint16(code))).build(), 1 << 20)), QStringLiteral("ok"));
    QCOMPARE(store.Intervals().at(0), seconds);
    const double step = store.Times().at(2) - store.Times().at(0);
    QCOMPARE(qRound64(step * 86400.0), qint64(seconds));
}

void TestLoggerImage::readings_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<float>("value");
    QTest::newRow("1000") << 1000 << 100.0f;
    QTest::newRow("253") << 253 << 25.3f;
    QTest::newRow("0") << 0 << 0.0f;
    QTest::newRow("-200") << -200 << -20.0f;
    QTest::newRow("-2000 is the lowest") << -2000 << -200.0f;
    QTest::newRow("-2001 below") << -2001 << -9999.0f;
    QTest::newRow("-32768") << -32768 << -9999.0f;
    QTest::newRow("13700 is the highest") << 13700 << 1370.0f;
    QTest::newRow("13701 above") << 13701 << 9999.0f;
    QTest::newRow("32767") << 32767 << 9999.0f;
}

void TestLoggerImage::readings()
{
    QFETCH(int, raw);
    QFETCH(float, value);
    // The same limits on both channels.
    TDataSetStore store;
    const QByteArray image = ImageBuilder().add(ImageSet().add(qint16(raw), 0).add(0, qint16(raw))).build();
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    QCOMPARE(store.Values().at(0), value);
    QCOMPARE(store.Values().at(3), value);
    QCOMPARE(store.Values().at(1), 0.0f);
}

void TestLoggerImage::startTimes_data()
{
    QTest::addColumn<QList<int>>("bytes");   // year-2000, month, day, hour, minute, second
    QTest::addColumn<QDateTime>("start");    // invalid: the PC's current date and time
    QTest::newRow("plain") << QList<int>{9, 3, 1, 10, 20, 5} << QDateTime(QDate(2009, 3, 1), QTime(10, 20, 5));
    QTest::newRow("year 0") << QList<int>{0, 1, 1, 0, 0, 0} << QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    QTest::newRow("29 February") << QList<int>{8, 2, 29, 23, 59, 59} << QDateTime(QDate(2008, 2, 29), QTime(23, 59, 59));
    QTest::newRow("month 13") << QList<int>{9, 13, 1, 10, 0, 0} << QDateTime();
    QTest::newRow("month 0") << QList<int>{9, 0, 1, 10, 0, 0} << QDateTime();
    QTest::newRow("30 February") << QList<int>{9, 2, 30, 10, 0, 0} << QDateTime();
    QTest::newRow("hour 24") << QList<int>{9, 3, 1, 24, 0, 0} << QDateTime();
    QTest::newRow("second 60") << QList<int>{9, 3, 1, 10, 0, 60} << QDateTime();
}

void TestLoggerImage::startTimes()
{
    QFETCH(QList<int>, bytes);
    QFETCH(QDateTime, start);
    ImageSet set = samples(2);
    set.year = quint8(bytes[0]);
    set.month = quint8(bytes[1]);
    set.day = quint8(bytes[2]);
    set.hour = quint8(bytes[3]);
    set.minute = quint8(bytes[4]);
    set.second = quint8(bytes[5]);
    const QByteArray image = ImageBuilder().add(set).build();
    TDataSetStore store;
    const double before = FrameworkTime::fromDateTime(QDateTime::currentDateTime());
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    const double after = FrameworkTime::fromDateTime(QDateTime::currentDateTime());
    const double got = store.StartTimes().at(0);
    if (start.isValid()) {
        QCOMPARE(got, FrameworkTime::fromDateTime(start));
    } else {
        QVERIFY(got >= before - 1e-9 && got <= after + 1e-9);
    }
    QCOMPARE(store.Times().at(0), got);
}

void TestLoggerImage::listRows_data()
{
    QTest::addColumn<quint8>("flags");
    QTest::addColumn<quint16>("code");
    QTest::addColumn<QStringList>("row");
    QTest::newRow("flags 0x01") << quint8(0x01) << quint16(90)
                                << QStringList{"1", "3/1/2009", "22:05:09", "01:30", "3", "", "F"};
    QTest::newRow("flags 0x00") << quint8(0x00) << quint16(0x10)
                                << QStringList{"1", "3/1/2009", "22:05:09", "60:00", "3", "", "C"};
    QTest::newRow("flags 0x02") << quint8(0x02) << quint16(6000)
                                << QStringList{"1", "3/1/2009", "22:05:09", "100:00", "3", "", "C"};
    QTest::newRow("flags 0x03") << quint8(0x03) << quint16(1) << QStringList{"1", "3/1/2009", "22:05:09", "00:01", "3", "", "F"};
}

void TestLoggerImage::listRows()
{
    QFETCH(quint8, flags);
    QFETCH(quint16, code);
    QFETCH(QStringList, row);
    ImageSet set = samples(3).at(QDateTime(QDate(2009, 3, 1), QTime(22, 5, 9))).every(code);
    set.flags = flags;
    TDataSetStore store;
    const QByteArray image = ImageBuilder().add(set).build();
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    QCOMPARE(TDataSetStore::listHeadings(), (QStringList{"Set", "DATE", "TIME", "Rate", "Num.", "Type", "Unit"}));
    QCOMPARE(store.listRow(0, DateTimeText(QLocale(QStringLiteral("en_US")))), row);
    QCOMPARE(store.listRow(0, DateTimeText(QLocale(QStringLiteral("de_DE")))).at(1), QStringLiteral("01.03.2009"));
}

void TestLoggerImage::sampleLayout()
{
    const QByteArray image = ImageBuilder::sampleCollection().build();
    TDataSetStore store;
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    QCOMPARE(store.SetCount(), 3);
    // Sample j of set k: Values[2 (first + j)] humidity, next temperature.
    const qint64 n = store.firstSample(1) + 2;
    QCOMPARE(store.Values().at(2 * n), 65.5f);
    QCOMPARE(store.Values().at(2 * n + 1), 77.0f);
    const double midnight = FrameworkTime::fromDateTime(QDateTime(QDate(2010, 7, 16), QTime(0, 0)));
    QVERIFY(qAbs(store.Times().at(2 * n) - midnight) < 1e-9);
    QCOMPARE(store.Times().at(2 * n + 1), store.Times().at(2 * n));
    QVERIFY(store.isFahrenheit(1));
    QVERIFY(!store.isFahrenheit(2));
}

void TestLoggerImage::failedLoadLeavesTheStoreUnchanged()
{
    const QByteArray good = ImageBuilder::sampleCollection().build();
    TDataSetStore store;
    QCOMPARE(outcome(store.load(good, good.size())), QStringLiteral("ok"));
    const TDataSetStore before = store;

    QByteArray bad = good;
    setEnd(bad, 2, quint32(bad.size() + 4));
    QCOMPARE(outcome(store.load(bad, bad.size())), QStringLiteral("damaged"));
    QCOMPARE(store.faultySet(), 2);
    QCOMPARE(outcome(store.load(ImageBuilder().build(), 320)), QStringLiteral("no data"));
    QCOMPARE(outcome(store.load(good.left(100), 100)), QStringLiteral("no data"));

    QCOMPARE(store.SetCount(), before.SetCount());
    QCOMPARE(store.ExpectedBytes(), before.ExpectedBytes());
    QCOMPARE(store.lastImage(), before.lastImage());
    QCOMPARE(store.StartTimes(), before.StartTimes());
    QCOMPARE(store.Intervals(), before.Intervals());
    QCOMPARE(store.SampleCounts(), before.SampleCounts());
    QCOMPARE(store.UnitFlags(), before.UnitFlags());
    QCOMPARE(store.StartAddresses(), before.StartAddresses());
    QCOMPARE(store.EndAddresses(), before.EndAddresses());
    QCOMPARE(store.Values(), before.Values());
    QCOMPARE(store.Times(), before.Times());
}

void TestLoggerImage::longSetTimes_data()
{
    QTest::addColumn<quint16>("code");
    QTest::addColumn<int>("count");
    QTest::newRow("every second, a day and more") << quint16(1) << 100000;
    QTest::newRow("every 5 minutes, a year and more") << quint16(0x2C) << 120000;
    QTest::newRow("every 20 minutes") << quint16(0xFFB0) << 50000;
    QTest::newRow("every hour") << quint16(0x10) << 50000;
    QTest::newRow("every 65535 s") << quint16(65535) << 20000;
}

void TestLoggerImage::longSetTimes()
{
    QFETCH(quint16, code);
    QFETCH(int, count);
    // A start with seconds in it, so that no step is a round fraction of a day.
    const QDateTime start(QDate(2009, 3, 1), QTime(10, 20, 37));
    const QByteArray image =
        ImageBuilder().add(samples(3)).add(ImageSet().ramp(count, -2100, 1, 200, 7).at(start).every(code)).build();
    TDataSetStore store;
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));

    // Every sample's time, both entries, exactly as start + j * interval / 86400.
    const double begin = FrameworkTime::fromDateTime(start);
    const double interval = LoggerImage::intervalSeconds(code);
    const qint64 first = store.firstSample(1);
    QList<double> expected(2 * qsizetype(count));
    for (int j = 0; j < count; ++j)
        expected[2 * j] = expected[2 * j + 1] = begin + double(j) * interval / FrameworkTime::SecondsPerDay;
    QCOMPARE(store.Times().mid(2 * first), expected);
    QCOMPARE(store.Values().size(), 2 * (first + count));
    for (int j : {0, 99, count - 1}) {
        QCOMPARE(store.Values().at(2 * (first + j)), LoggerImage::decodeReading(qint16(-2100 + j)));
        QCOMPARE(store.Values().at(2 * (first + j) + 1), LoggerImage::decodeReading(qint16(200 + 7 * j)));
    }
}

void TestLoggerImage::reloadGivesWhatANewStoreGives_data()
{
    QTest::addColumn<QList<int>>("before");   // samples of each set, loaded first
    QTest::addColumn<QList<int>>("after");    // then these, into the same store
    QTest::newRow("same sizes") << QList<int>{3000, 2000} << QList<int>{3000, 2000};
    QTest::newRow("a little smaller") << QList<int>{3000, 2000} << QList<int>{2500, 2000};
    QTest::newRow("far smaller") << QList<int>{30000} << QList<int>{5, 7};
    QTest::newRow("larger") << QList<int>{5, 7} << QList<int>{3000, 2000, 1};
    QTest::newRow("none left") << QList<int>{3000} << QList<int>{0};
}

void TestLoggerImage::reloadGivesWhatANewStoreGives()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    const auto imageOf = [](const QList<int> &counts, int seed) {
        ImageBuilder b;
        for (int n : counts)
            b.add(ImageSet().ramp(n, seed, 3, -seed, 5).every(quint16(seed)));
        return b.build();
    };
    const QByteArray first = imageOf(before, 10);
    const QByteArray second = imageOf(after, 77);

    TDataSetStore store;
    QCOMPARE(outcome(store.load(first, first.size())), QStringLiteral("ok"));
    const TDataSetStore copy = store;
    QCOMPARE(outcome(store.load(second, second.size())), QStringLiteral("ok"));
    TDataSetStore fresh;
    QCOMPARE(outcome(fresh.load(second, second.size())), QStringLiteral("ok"));
    QCOMPARE(store.SampleCounts(), fresh.SampleCounts());
    QCOMPARE(store.Values(), fresh.Values());
    QCOMPARE(store.Times(), fresh.Times());

    // A copy taken before keeps the first load's samples.
    TDataSetStore firstAlone;
    QCOMPARE(outcome(firstAlone.load(first, first.size())), QStringLiteral("ok"));
    QCOMPARE(copy.Values(), firstAlone.Values());
    QCOMPARE(copy.Times(), firstAlone.Times());

    // And a third load, with nothing sharing the arrays any more.
    QCOMPARE(outcome(store.load(first, first.size())), QStringLiteral("ok"));
    QCOMPARE(store.Values(), firstAlone.Values());
    QCOMPARE(store.Times(), firstAlone.Times());
}

void TestLoggerImage::imageIsKeptByteForByte()
{
    const QByteArray image = ImageBuilder::sampleCollection().build();
    QCOMPARE(quint8(image.at(0)), quint8(0xA5));
    TDataSetStore store;
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    QCOMPARE(store.lastImage(), image);
}

void TestLoggerImage::announcedTotal_data()
{
    QTest::addColumn<quint32>("lastEnd");
    QTest::addColumn<quint64>("total");
    QTest::newRow("a multiple of 64") << quint32(448) << quint64(448);
    QTest::newRow("one past") << quint32(449) << quint64(512);
    QTest::newRow("no overflow") << quint32(0xFFFFFFFF) << quint64(0x100000000ull);
}

void TestLoggerImage::announcedTotal()
{
    QFETCH(quint32, lastEnd);
    QFETCH(quint64, total);
    QByteArray image = ImageBuilder().add(samples(2)).add(samples(2)).build();
    setEnd(image, 1, lastEnd);
    QCOMPARE(LoggerImage::announcedTotal(image), std::optional<quint64>(total));
    QCOMPARE(LoggerImage::announcedTotal(ImageBuilder().build()), std::optional<quint64>());
    QCOMPARE(LoggerImage::announcedTotal(image.left(255)), std::optional<quint64>());
}

void TestLoggerImage::truncateDirectory_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("setsLeft"); // -1: refused
    QTest::newRow("before the faulty third set") << 2 << 2;
    QTest::newRow("after the last set") << 3 << 3;
    QTest::newRow("at the first set") << 0 << 0;
    QTest::newRow("last entry") << 14 << 3;
    QTest::newRow("no such entry") << 15 << -1;
    QTest::newRow("negative") << -1 << -1;
}

void TestLoggerImage::truncateDirectory()
{
    QFETCH(int, at);
    QFETCH(int, setsLeft);
    const QByteArray image = ImageBuilder::sampleCollection().build();
    QCOMPARE(LoggerImage::CountDirectoryEntries(image), 3);
    const std::optional<QByteArray> cut = LoggerImage::truncateDirectoryAt(image, at);
    QCOMPARE(cut.has_value(), setsLeft >= 0);
    QVERIFY(!LoggerImage::truncateDirectoryAt(image.left(LoggerImage::DirectoryEnd - 1), 1));
    if (!cut)
        return;
    QCOMPARE(cut->size(), image.size());
    QCOMPARE(LoggerImage::CountDirectoryEntries(*cut), setsLeft);
    // Only the end address of entry k changes; the kept sets decode as before.
    int changed = 0;
    for (qsizetype i = 0; i < image.size(); ++i)
        changed += cut->at(i) != image.at(i);
    QVERIFY(changed <= 4);
    for (int k = 0; k < setsLeft; ++k)
        QCOMPARE(TDataSetEntry::read(*cut, k).endAddress, TDataSetEntry::read(image, k).endAddress);
}

QTEST_GUILESS_MAIN(TestLoggerImage)
#include "tst_loggerimage.moc"
