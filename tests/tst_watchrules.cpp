// The rules of the unattended watch on a clock the test moves: breaches after
// the delay, back within, silence and return, recording changes, periods,
// and the monitoring tables they are kept in.
#include "core/archive/MonitorStore.h"
#include "core/watch/WatchRules.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

using Steps = QList<std::pair<qint64, double>>; // at ms, a temperature (NaN: no reading)

namespace {

class StepClock final : public WatchClock
{
public:
    WatchInstant now() const override { return {ms, QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC).addMSecs(ms)}; }
    qint64 ms = 0;
};

LiveReading reading(double temperature, double humidity = 50.0, bool recording = false)
{
    LiveReading r;
    r.temperature = temperature;
    r.humidity = humidity;
    r.unit = LiveUnit::Celsius;
    r.recording = recording;
    return r;
}

} // namespace

class TestWatchRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void durations_data();
    void durations();
    void events_data();
    void events();
    void periods();
    void monitorStoreKeepsRunsInOrder();
};

void TestWatchRules::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");
    QTest::newRow("seconds") << "60s" << qint64(60000);
    QTest::newRow("minutes") << "2min" << qint64(120000);
    QTest::newRow("hours") << "1h" << qint64(3600000);
    QTest::newRow("milliseconds") << "500ms" << qint64(500);
    QTest::newRow("no unit") << "60" << qint64(-1);
    QTest::newRow("negative") << "-5s" << qint64(-1);
    QTest::newRow("fraction") << "1.5h" << qint64(-1);
    QTest::newRow("unknown unit") << "3d" << qint64(-1);
    QTest::newRow("overflow") << "999999999999h" << qint64(-1);
}

void TestWatchRules::durations()
{
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    const Result<qint64> d = parseDuration(text);
    QCOMPARE(d.ok() ? *d : qint64(-1), ms);
}

// Steps of "at MS: a reading of T (or silence: no reading, a tick)" and the
// events each step gives, as "kind@seconds".
void TestWatchRules::events_data()
{
    QTest::addColumn<qint64>("delayMs");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("expected");
    const double none = qQNaN();
    QTest::newRow("breach at once without delay")
        << qint64(0) << Steps{{0, 5}, {1000, 9}, {2000, 9.5}, {3000, 7}} << QStringList{"breach@1", "within@3"};
    QTest::newRow("breach only after the delay")
        << qint64(2000) << Steps{{0, 9}, {1000, 9}, {1500, 9}, {2000, 9}, {3000, 5}}
        << QStringList{"breach@2", "within@3"};
    QTest::newRow("back inside before the delay: nothing")
        << qint64(2000) << Steps{{0, 9}, {1000, 9}, {1500, 5}, {2500, 9}, {4000, 9}} << QStringList{};
    QTest::newRow("below the low limit") << qint64(0) << Steps{{0, 1}, {1000, 3}} << QStringList{"breach@0", "within@1"};
    QTest::newRow("on the limit is within") << qint64(0) << Steps{{0, 8}, {1000, 2}} << QStringList{};
    QTest::newRow("silent and back")
        << qint64(0) << Steps{{0, 5}, {1000, none}, {2500, none}, {3000, none}, {3500, 5}}
        << QStringList{"silent@3", "back@3.5"};
    QTest::newRow("silence restarts the delay")
        << qint64(2000) << Steps{{0, 9}, {1500, 9}, {4500, none}, {5000, 9}, {6000, 9}, {7000, 9}}
        << QStringList{"silent@4.5", "back@5", "breach@7"};
    QTest::newRow("an ongoing breach is told again after the repeat time")
        << qint64(0) << Steps{{0, 9}, {1000, 9}, {2000, 9}, {2500, 9}, {5000, 9}, {6000, 9}}
        << QStringList{"breach@0", "still_breached@5"};
}

void TestWatchRules::events()
{
    QFETCH(qint64, delayMs);
    QFETCH(Steps, steps);
    QFETCH(QStringList, expected);
    StepClock clock;
    WatchSettings s;
    s.limits[1] = ChannelLimits{2.0, 8.0};
    s.delayMs = delayMs;
    s.silentAfterMs = 3000;
    s.repeatEveryMs = 5000;
    s.recordEveryMs = 60000;
    WatchRules rules(s, clock);
    QStringList got;
    for (const auto &[ms, temperature] : steps) {
        clock.ms = ms;
        QList<WatchEvent> events = rules.tick();
        if (!qIsNaN(temperature))
            events += rules.reading(reading(temperature));
        for (const WatchEvent &e : events) {
            got << QStringLiteral("%1@%2").arg(e.kindName()).arg(double(ms) / 1000);
            QCOMPARE(e.utc, clock.now().utc);
            if (e.channel >= 0) {
                QCOMPARE(e.channelName(), QStringLiteral("temperature"));
                QCOMPARE(*e.value, temperature);
                QCOMPARE(*e.limit, temperature >= 5 ? 8.0 : 2.0);
            }
        }
    }
    QCOMPARE(got, expected);
}

void TestWatchRules::periods()
{
    StepClock clock;
    WatchSettings s;
    s.recordEveryMs = 2000;
    WatchRules rules(s, clock);
    const QList<std::pair<qint64, double>> steps{{0, 20}, {500, 22}, {1500, 24}, {2000, 30}, {6500, 10}, {7000, 12}};
    QList<WatchPeriod> periods;
    QStringList recording;
    for (const auto &[ms, t] : steps) {
        clock.ms = ms;
        for (const WatchEvent &e : rules.reading(reading(t, 40, ms >= 2000)))
            recording << e.kindName();
        periods += rules.endedPeriods();
    }
    clock.ms = 7250;
    const std::optional<WatchPeriod> last = rules.partialPeriod();
    QCOMPARE(recording, QStringList{"recording_started"});
    // [0,2) [2,4) [4,6) (no reading) and the partial [6,7.25)
    QCOMPARE(periods.size(), 3);
    QVERIFY(last);
    periods << *last;
    const QList<qint64> readings{3, 1, 0, 2};
    const QList<qint64> seconds{2, 2, 2, 1};
    const QList<double> means{22, 30, 0, 11};
    for (int i = 0; i < periods.size(); ++i) {
        QCOMPARE(periods[i].readings, readings[i]);
        QCOMPARE(periods[i].seconds, seconds[i]);
        QCOMPARE(periods[i].startUtc, clock.now().utc.addMSecs(i * 2000 - 7250));
        QCOMPARE(periods[i].channels[1].mean().value_or(0), means[i]);
    }
    QCOMPARE(periods[0].channels[1].min, 20.0);
    QCOMPARE(periods[0].channels[1].max, 24.0);
    QVERIFY(!rules.partialPeriod()); // told once
}

void TestWatchRules::monitorStoreKeepsRunsInOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
    Result<std::unique_ptr<MonitorStore>> store = MonitorStore::open(path);
    QVERIFY2(store.ok(), store.ok() ? "" : qPrintable(store.message()));
    StepClock clock;
    WatchRules rules(WatchSettings{{{}, ChannelLimits{std::nullopt, 8.0}}, 1000, 0, 3000, 0}, clock);
    QList<WatchEvent> events = rules.reading(reading(9));
    clock.ms = 1500;
    events += rules.reading(reading(5));
    const QList<WatchPeriod> periods = rules.endedPeriods();
    Result<qint64> run = (*store)->startRun(QStringLiteral("/dev/ttyUSB0"), rules.startUtc(), 1, QStringLiteral("C"));
    QVERIFY2(run.ok(), run.ok() ? "" : qPrintable(run.message()));
    for (const WatchEvent &e : events)
        QVERIFY((*store)->addEvent(*run, e));
    for (const WatchPeriod &p : periods)
        QVERIFY((*store)->addPeriod(*run, p));
    const QList<MonitorStore::RunInfo> runs = (*store)->runs().valueOr({});
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].startUtc, QStringLiteral("2026-03-01T12:00:00.000Z"));
    QCOMPARE(runs[0].events, 2);
    QCOMPARE(runs[0].periods, 1);
    // What is read back is what the watch printed.
    const QList<QJsonObject> stored = (*store)->events(*run).valueOr({});
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0], events[0].toJson());
    QCOMPARE(stored[1], events[1].toJson());
    QCOMPARE((*store)->periods(*run).valueOr({}).value(0), periods[0].toJson());
}

QTEST_GUILESS_MAIN(TestWatchRules)
#include "tst_watchrules.moc"
