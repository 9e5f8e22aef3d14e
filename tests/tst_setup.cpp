// The logger setup's core: the directory listing, the interval and clock
// replies, and the setup exchanges' waiting rules on a fake clock.
#include "FakeSerialPort.h"
#include "ImageBuilder.h"

#include "core/link/MeterMessages.h"
#include "core/setup/LoggerSetup.h"
#include "core/setup/ReplyExchange.h"
#include "core/archive/DirectoryArchived.h"
#include "core/setup/SetupData.h"
#include "core/sim/MeterModel.h"

#include <QTest>
#include <QtEndian>

#include <optional>

using SetupData::DirectoryRow;

namespace {

constexpr qint64 WireMs = 5;

// Puts the meter model behind the fake port; every answer arrives WireMs
// after the request (plus the model's own delays).
void attachModel(FakeSerialPort &port, MeterModel &model)
{
    port.onWrite = [&port, &model](const QByteArray &bytes) {
        qint64 at = 0;
        for (const MeterModel::Chunk &c : model.receive(bytes)) {
            at += c.delayMs + WireMs;
            port.arriveIn(at, c.bytes);
        }
    };
}

// A directory of 320 bytes with the given entries (1-based) filled in.
struct Entry
{
    int k;
    QByteArray dateTime; // year-2000, month, day, hour, minute, second
    quint32 end;
};
QByteArray directory(const QList<Entry> &entries, int size = Meter::DirectoryBytes)
{
    QByteArray d(Meter::DirectoryBytes, '\0');
    for (const Entry &e : entries) {
        d.replace(16 * e.k + 4, 6, e.dateTime);
        qToLittleEndian(e.end, d.data() + 16 * e.k + 12);
    }
    return d.left(size);
}

QByteArray dt(int y, int mo, int d, int h, int mi, int s)
{
    return QByteArray{} + char(y) + char(mo) + char(d) + char(h) + char(mi) + char(s);
}

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(2000 + y, mo, d), QTime(h, mi, s));
}

QByteArray clockFrame(const QByteArray &fields)
{
    return QByteArray(1, Meter::StartByte) + fields + Meter::EndByte;
}

// Runs one exchange on the fake clock; the time it ended at comes back too.
template <typename Result, typename Start>
std::optional<Result> run(FakeClock &clock, Start start, qint64 *endedAt = nullptr)
{
    std::optional<Result> result;
    start([&](const Result &r) {
        result = r;
        if (endedAt)
            *endedAt = clock.nowMs();
    });
    clock.runUntil([&] { return result.has_value(); }, 60000);
    return result;
}

} // namespace

class TestSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void directoryListing_data();
    void directoryListing();
    void eraseQuestion_data();
    void eraseQuestion();
    void intervalReply_data();
    void intervalReply();
    void intervalItems();
    void clockStream_data();
    void clockStream();
    void replyWaits_data();
    void replyWaits();
    void closedPortSendsNothing();
    void invalidIntervalIsNotSent();
    void defaultSetup_data();
    void defaultSetup();
    void directoryReadRejectsABadPacket();
    void commandsChangeTheModel();
};

void TestSetup::directoryListing_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QList<DirectoryRow>>("rows");

    QTest::newRow("entry 1 ends at zero: no set")
        << directory({{1, dt(24, 3, 1, 8, 0, 0), 0}, {2, dt(24, 3, 2, 8, 0, 0), 400}}) << QList<DirectoryRow>{};
    QTest::newRow("320 + 4n gives n")
        << directory({{1, dt(24, 3, 1, 8, 0, 0), 320 + 4 * 123}})
        << QList<DirectoryRow>{{1, at(24, 3, 1, 8, 0, 0), 123}};
    QTest::newRow("each set from the previous end, truncating")
        << directory({{1, dt(9, 12, 31, 23, 59, 59), 320 + 4 * 10 + 3}, {2, dt(10, 1, 1, 0, 0, 0), 320 + 4 * 10 + 3 + 9}})
        << QList<DirectoryRow>{{1, at(9, 12, 31, 23, 59, 59), 10}, {2, at(10, 1, 1, 0, 0, 0), 2}};
    QTest::newRow("an end before its start truncates toward zero")
        << directory({{1, dt(24, 3, 1, 8, 0, 0), 320 + 400}, {2, dt(24, 3, 2, 8, 0, 0), 320 + 400 - 7}})
        << QList<DirectoryRow>{{1, at(24, 3, 1, 8, 0, 0), 100}, {2, at(24, 3, 2, 8, 0, 0), -1}};
    QTest::newRow("an impossible date keeps its count")
        << directory({{1, dt(24, 2, 30, 8, 0, 0), 328}, {2, dt(24, 3, 1, 24, 0, 0), 336}, {3, dt(24, 3, 1, 8, 0, 0), 340}})
        << QList<DirectoryRow>{{1, std::nullopt, 2}, {2, std::nullopt, 2}, {3, at(24, 3, 1, 8, 0, 0), 1}};
    QList<Entry> all;
    QList<DirectoryRow> fifteen;
    for (int k = 1; k <= 15; ++k) {
        all << Entry{k, dt(20, 1, k, k, 0, 0), quint32(320 + 4 * k * (k + 1) / 2)};
        fifteen << DirectoryRow{k, at(20, 1, k, k, 0, 0), k};
    }
    QTest::newRow("15 sets") << directory(all) << fifteen;
    QTest::newRow("256 bytes hold the whole directory") << directory(all, 256) << fifteen;
    QTest::newRow("255 bytes list nothing") << directory(all, 255) << QList<DirectoryRow>{};
}

void TestSetup::directoryListing()
{
    QFETCH(QByteArray, directory);
    QFETCH(QList<DirectoryRow>, rows);
    QCOMPARE(SetupData::listDirectory(directory), rows);
}

void TestSetup::eraseQuestion_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<bool>("archive");
    QTest::addColumn<QStringList>("runs"); // start|interval|unit|samples
    QTest::addColumn<QString>("question");
    const QByteArray three = directory({{1, dt(24, 3, 1, 8, 0, 0), 320 + 4 * 100},
                                        {2, dt(24, 3, 2, 8, 0, 0), 320 + 4 * 150},
                                        {3, dt(24, 3, 3, 8, 0, 0), 320 + 4 * 160}});
    const QString tail = QStringLiteral(" This cannot be undone.");
    QTest::newRow("no archive yet") << three << false << QStringList()
                                    << "Erase all 3 data sets on the logger?" + tail;
    QTest::newRow("one whole, one grown since, one unknown")
        << three << true << QStringList{"2024-03-01T08:00:00|0|C|100", "2024-03-02T08:00:00|0|C|49"}
        << "Erase all 3 data sets on the logger? 2 of 3 data sets on the logger are not archived." + tail;
    QTest::newRow("all archived, one run longer than the logger's set")
        << three << true
        << QStringList{"2024-03-01T08:00:00|0|C|100", "2024-03-02T08:00:00|0|C|50", "2024-03-03T08:00:00|0|C|900"}
        << "Erase all 3 data sets on the logger? All of them are archived." + tail;
    const QByteArray one = directory({{1, dt(24, 3, 1, 8, 0, 0), 320 + 4 * 100}});
    QTest::newRow("same start in the other unit is another run")
        << one << true << QStringList{"2024-03-01T08:00:00|0|F|100"}
        << "Erase the 1 data set on the logger? It is not archived." + tail;
    QTest::newRow("same start at another interval is another run")
        << one << true << QStringList{"2024-03-01T08:00:00|60|C|100"}
        << "Erase the 1 data set on the logger? It is not archived." + tail;
    QTest::newRow("an empty logger") << directory({}) << true << QStringList{"2024-03-01T08:00:00|0|C|100"}
                                     << "Erase the logger's memory?" + tail;
}

void TestSetup::eraseQuestion()
{
    QFETCH(QByteArray, directory);
    QFETCH(bool, archive);
    QFETCH(QStringList, runs);
    QFETCH(QString, question);
    QList<ArchiveRunInfo> archived;
    for (const QString &run : runs) {
        const QStringList f = run.split(u'|');
        ArchiveRunInfo info;
        info.start = f.at(0);
        info.intervalSeconds = f.at(1).toInt();
        info.unit = f.at(2);
        info.samples = f.at(3).toLongLong();
        archived << info;
    }
    SetupData::EraseStake stake;
    stake.sets = int(SetupData::listDirectory(directory).size());
    if (archive) {
        const DirectoryArchiveStanding standing = directoryArchiveStanding(directory, archived);
        QCOMPARE(standing.sets, stake.sets);
        stake.notArchived = standing.notArchived;
    }
    QCOMPARE(SetupData::eraseQuestion(stake), question);
}

void TestSetup::intervalReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("index"); // -1: no answer
    QTest::newRow("05:00") << QByteArray::fromHex("ef09fe") << 9;
    QTest::newRow("last item") << QByteArray::fromHex("ef0dfe") << 13;
    QTest::newRow("14 counts as 0") << QByteArray::fromHex("ef0efe") << 0;
    QTest::newRow("255 counts as 0") << QByteArray::fromHex("efddfe") << 0;
    QTest::newRow("index FE framed") << QByteArray::fromHex("effefe") << 0;
    QTest::newRow("bad start") << QByteArray::fromHex("ee09fe") << -1;
    QTest::newRow("bad end") << QByteArray::fromHex("ef09fd") << -1;
    QTest::newRow("short") << QByteArray::fromHex("ef09") << -1;
    QTest::newRow("nothing") << QByteArray() << -1;
}

void TestSetup::intervalReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, index);
    QCOMPARE(SetupData::intervalFromReply(reply).value_or(-1), index);
}

void TestSetup::intervalItems()
{
    const QStringList items = SetupData::intervalItems();
    QCOMPARE(items.size(), Meter::IntervalCount);
    for (int i = 0; i < items.size(); ++i) {
        // The text is minutes:seconds of the meter's interval of that index.
        const int seconds = items.at(i).left(2).toInt() * 60 + items.at(i).mid(3).toInt();
        QCOMPARE(seconds, MeterModel::IntervalSeconds[i]);
        QCOMPARE(SetupData::intervalIndex(items.at(i)), i);
    }
    QCOMPARE(SetupData::intervalIndex(QStringLiteral("00:00")), -1);
    QCOMPARE(SetupData::intervalIndex(QStringLiteral("5:00")), -1);
    QCOMPARE(SetupData::intervalIndex(QStringLiteral(" 05:00 ")), 9);
}

void TestSetup::clockStream_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QDateTime>>("shown");
    QTest::addColumn<QByteArray>("left");

    const QByteArray a = clockFrame(dt(26, 12, 8, 14, 5, 1));
    const QByteArray b = clockFrame(dt(26, 12, 8, 14, 5, 2));
    QTest::newRow("two frames in one event") << QList<QByteArray>{a + b}
                                             << QList<QDateTime>{at(26, 12, 8, 14, 5, 1), at(26, 12, 8, 14, 5, 2)}
                                             << QByteArray();
    QTest::newRow("a frame split over two events")
        << QList<QByteArray>{a.left(3), a.mid(3)} << QList<QDateTime>{at(26, 12, 8, 14, 5, 1)} << QByteArray();
    QTest::newRow("stray bytes before a frame")
        << QList<QByteArray>{QByteArray::fromHex("0102fe") + a} << QList<QDateTime>{at(26, 12, 8, 14, 5, 1)}
        << QByteArray();
    QTest::newRow("an impossible date is consumed and dropped")
        << QList<QByteArray>{clockFrame(dt(26, 2, 30, 14, 5, 1)) + clockFrame(dt(26, 12, 8, 25, 0, 0)) + b}
        << QList<QDateTime>{at(26, 12, 8, 14, 5, 2)} << QByteArray();
    QTest::newRow("a partial frame waits") << QList<QByteArray>{a + b.left(5)}
                                           << QList<QDateTime>{at(26, 12, 8, 14, 5, 1)} << b.left(5);
}

void TestSetup::clockStream()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QDateTime>, shown);
    QFETCH(QByteArray, left);
    QByteArray buffer;
    QList<QDateTime> seen;
    for (const QByteArray &chunk : chunks) {
        buffer += chunk;
        SetupData::extractClockTimes(buffer, [&seen](const QDateTime &t) { seen << t; });
    }
    QCOMPARE(seen, shown);
    QCOMPARE(buffer, left);
}

void TestSetup::replyWaits_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");     // arrives 30 ms after the send (none when empty)
    QTest::addColumn<qint64>("endsAt");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray confirm = Meter::CONFIRM_REPLY;
    const QDateTime t = at(26, 12, 8, 14, 5, 1);
    QTest::newRow("unit confirmed at once") << "unit" << Meter::SET_UNIT(true) << confirm << qint64(30) << confirm;
    QTest::newRow("unit unanswered: 2 s") << "unit" << Meter::SET_UNIT(true) << QByteArray() << qint64(2000)
                                          << QByteArray();
    QTest::newRow("a short answer waits out 2 s") << "interval" << Meter::SET_INTERVAL(9) << confirm.left(2)
                                                  << qint64(2000) << confirm.left(2);
    QTest::newRow("clock looked for after 100 ms") << "clock" << Meter::SET_CLOCK(t) << confirm << qint64(100)
                                                   << confirm;
    QTest::newRow("clock unanswered: 100 ms + 2 s") << "clock" << Meter::SET_CLOCK(t) << QByteArray() << qint64(2100)
                                                    << QByteArray();
    QTest::newRow("erase unanswered: 5 s") << "erase" << Meter::ERASE_REQUEST << QByteArray() << qint64(5000)
                                           << QByteArray();
    QTest::newRow("erase answered") << "erase" << Meter::ERASE_REQUEST << confirm << qint64(30) << confirm;
    const QByteArray many(300, 'x');
    QTest::newRow("at most 256 bytes taken") << "unit" << Meter::SET_UNIT(false) << many << qint64(30)
                                             << many.left(256);
}

void TestSetup::replyWaits()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(qint64, endsAt);
    QFETCH(QByteArray, reply);
    FakeClock clock;
    FakeSerialPort port(clock);
    port.onWrite = [&](const QByteArray &) {
        if (!answer.isEmpty())
            port.arriveIn(30, answer);
    };
    LoggerSetup setup(port, clock);
    qint64 ended = -1;
    const auto got = run<QByteArray>(clock, [&](auto done) {
        if (command == QLatin1String("unit"))
            setup.setUnit(request == Meter::SET_UNIT(true), done);
        else if (command == QLatin1String("interval"))
            setup.setInterval(9, done);
        else if (command == QLatin1String("clock"))
            setup.setClock(at(26, 12, 8, 14, 5, 1), done);
        else
            setup.erase(done);
    }, &ended);
    QVERIFY(got);
    QCOMPARE(port.writes(), QList<QByteArray>{request});
    QCOMPARE(*got, reply);
    QCOMPARE(ended, endsAt);
}

void TestSetup::closedPortSendsNothing()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    port.close();
    LoggerSetup setup(port, clock);
    qint64 ended = -1;
    const auto got = run<QByteArray>(clock, [&](auto done) { setup.setUnit(true, done); }, &ended);
    QVERIFY(got);
    QVERIFY(got->isEmpty());
    QCOMPARE(ended, qint64(0));
    QVERIFY(port.writes().isEmpty());
}

void TestSetup::invalidIntervalIsNotSent()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    port.onWrite = [&](const QByteArray &) { port.arriveIn(10, Meter::CONFIRM_REPLY); };
    LoggerSetup setup(port, clock);
    for (int index : {-1, 14, 0xFF}) {
        const auto got = run<QByteArray>(clock, [&](auto done) { setup.setInterval(index, done); });
        QVERIFY(got);
        QVERIFY(!SetupData::isConfirmed(*got));
    }
    QVERIFY(port.writes().isEmpty());
}

void TestSetup::defaultSetup_data()
{
    QTest::addColumn<QByteArray>("identity");  // empty: none
    QTest::addColumn<QByteArray>("confirm");   // empty: none
    QTest::addColumn<int>("result");
    QTest::addColumn<qint64>("endsAt");
    using R = LoggerSetup::DefaultSetup;
    QTest::newRow("loaded") << Meter::IDENTIFY_REPLY << Meter::CONFIRM_REPLY << int(R::Loaded) << qint64(60);
    QTest::newRow("no identity: not waited for") << QByteArray() << Meter::CONFIRM_REPLY << int(R::NoIdentity)
                                                 << qint64(3000);
    QTest::newRow("identity after a noise byte is not strict")
        << QByteArray::fromHex("00ef353138fe") << Meter::CONFIRM_REPLY << int(R::NoIdentity) << qint64(30);
    QTest::newRow("unconfirmed: 3 s more") << Meter::IDENTIFY_REPLY << QByteArray() << int(R::NotConfirmed)
                                           << qint64(3030);
    QTest::newRow("wrong confirmation") << Meter::IDENTIFY_REPLY << QByteArray::fromHex("ef4efe")
                                        << int(R::NotConfirmed) << qint64(60);
}

void TestSetup::defaultSetup()
{
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, confirm);
    QFETCH(int, result);
    QFETCH(qint64, endsAt);
    FakeClock clock;
    FakeSerialPort port(clock);
    port.onWrite = [&](const QByteArray &bytes) {
        const QByteArray answer = bytes == Meter::IDENTIFY_REQUEST ? identity : confirm;
        if (!answer.isEmpty())
            port.arriveIn(30, answer);
    };
    LoggerSetup setup(port, clock);
    qint64 ended = -1;
    const auto got = run<LoggerSetup::DefaultSetup>(clock, [&](auto done) { setup.defaultSetup(done); }, &ended);
    QVERIFY(got);
    QCOMPARE(int(*got), result);
    QCOMPARE(ended, endsAt);
    // The request that cures a confused meter goes out whatever the identity said.
    QCOMPARE(port.writes(), (QList<QByteArray>{Meter::IDENTIFY_REQUEST, Meter::DEFAULT_SETUP_REQUEST}));
}

void TestSetup::directoryReadRejectsABadPacket()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    ImageSet set;
    set.at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).ramp(400, 400, 1, 200, 1);
    model.setImage(ImageBuilder().add(set).build());
    MeterFaults faults;
    faults.badChecksumPacket = 2;
    model.setFaults(faults);
    attachModel(port, model);
    LoggerSetup setup(port, clock);
    const auto got = run<PacketResult>(clock, [&](auto done) { setup.readDirectory(done); });
    QVERIFY(got);
    QCOMPARE(got->bytes, model.image().left(Meter::DirectoryBytes));
    QCOMPARE(got->end, PacketEnd::TargetReached);
    QCOMPARE(port.writes().count(Meter::NAK), 1);
    QCOMPARE(SetupData::listDirectory(got->bytes),
             (QList<DirectoryRow>{{1, QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0)), 400}}));
}

void TestSetup::commandsChangeTheModel()
{
    FakeClock clock;
    FakeSerialPort port(clock);
    MeterModel model;
    model.setImage(MeterModel::generateImage(3, 10));
    model.setLoggerTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
    attachModel(port, model);
    LoggerSetup setup(port, clock);

    QVERIFY(SetupData::isConfirmed(*run<QByteArray>(clock, [&](auto d) { setup.setInterval(9, d); })));
    QCOMPARE(run<std::optional<int>>(clock, [&](auto d) { setup.queryInterval(d); })->value_or(-1), 9);
    QVERIFY(SetupData::isConfirmed(*run<QByteArray>(clock, [&](auto d) { setup.setUnit(true, d); })));
    QVERIFY(model.fahrenheit());
    const QDateTime pc = QDateTime::currentDateTime();
    QVERIFY(SetupData::isConfirmed(*run<QByteArray>(clock, [&](auto d) { setup.setClock(pc, d); })));
    const auto logger = *run<std::optional<QDateTime>>(clock, [&](auto d) { setup.readClock(d); });
    QVERIFY(logger);
    QVERIFY(qAbs(logger->secsTo(QDateTime::currentDateTime())) <= 1);
    QCOMPARE(SetupData::listDirectory(run<PacketResult>(clock, [&](auto d) { setup.readDirectory(d); })->bytes).size(),
             3);
    QVERIFY(SetupData::isErased(*run<QByteArray>(clock, [&](auto d) { setup.erase(d); })));
    QVERIFY(SetupData::listDirectory(run<PacketResult>(clock, [&](auto d) { setup.readDirectory(d); })->bytes)
                .isEmpty());
}

QTEST_GUILESS_MAIN(TestSetup)
#include "tst_setup.moc"
