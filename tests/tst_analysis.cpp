// The analysis beside the readings: dew point and absolute humidity, the
// worst 24-hour and 30-day mean kinetic temperature, and alarm delays.
#include "core/data/AlarmLimits.h"
#include "core/data/DerivedChannels.h"

#include <QTest>

#include <cmath>
#include <random>
#include <vector>

using Readings = std::vector<float>;
Q_DECLARE_METATYPE(Readings)
Q_DECLARE_METATYPE(TemperatureUnit)
Q_DECLARE_METATYPE(AlarmDelay)

namespace {

constexpr double Start = 39873.0;   // 2009-03-01 00:00

std::vector<double> times(size_t n, qint64 intervalSeconds)
{
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = Start + double(i) * double(intervalSeconds) / 86400.0;
    return x;
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void derivedChannels_data();
    void derivedChannels();
    void derivedStatisticsOfTheSeries_data();
    void derivedStatisticsOfTheSeries();
    void worstWindows_data();
    void worstWindows();
    void rollingMatchesEachWindow();
    void worstDayOfALongRun_data();
    void worstDayOfALongRun();
    void breaches_data();
    void breaches();
};

void TestAnalysis::derivedChannels_data()
{
    QTest::addColumn<float>("humidity");
    QTest::addColumn<float>("temperature");
    QTest::addColumn<TemperatureUnit>("unit");
    QTest::addColumn<double>("dewPoint");   // NaN: no value
    QTest::addColumn<double>("absolute");
    const auto C = TemperatureUnit::Celsius;
    const double none = std::nan("");
    // Psychrometric tables over water; Magnus is within 0.15 K and 0.15 g/m^3 of them here.
    QTest::newRow("20 C 50 %") << 50.0f << 20.0f << C << 9.3 << 8.6;
    QTest::newRow("25 C 50 %") << 50.0f << 25.0f << C << 13.9 << 11.5;
    QTest::newRow("30 C 80 %") << 80.0f << 30.0f << C << 26.2 << 24.3;
    QTest::newRow("0 C 100 %") << 100.0f << 0.0f << C << 0.0 << 4.8;
    QTest::newRow("-10 C 60 %") << 60.0f << -10.0f << C << -16.3 << 1.4;
    QTest::newRow("77 F 50 %") << 50.0f << 77.0f << TemperatureUnit::Fahrenheit << 57.0 << 11.5;
    QTest::newRow("humidity OL") << 9999.0f << 20.0f << C << none << none;
    QTest::newRow("temperature marker") << 50.0f << -9999.0f << C << none << none;
    QTest::newRow("no humidity") << 0.0f << 20.0f << C << none << none;
}

void TestAnalysis::derivedChannels()
{
    QFETCH(float, humidity);
    QFETCH(float, temperature);
    QFETCH(TemperatureUnit, unit);
    QFETCH(double, dewPoint);
    QFETCH(double, absolute);
    // Through the data set's path, the same pair twice to pass the cache.
    const Readings h{humidity, humidity}, t{temperature, temperature};
    const std::vector<double> x = times(2, 60);
    const ChartSeries series{{x, x}, {h, t}};
    const Humidity::DerivedSeries d = Humidity::derive(series, unit);
    QCOMPARE(d.dewPoint.size(), size_t(2));
    for (size_t i = 0; i < 2; ++i) {
        if (std::isnan(dewPoint)) {
            QVERIFY(std::isnan(d.dewPoint[i]));
            QVERIFY(std::isnan(d.absolute[i]));
            continue;
        }
        QVERIFY2(std::abs(d.dewPoint[i] - dewPoint) <= 0.15, qPrintable(QString::number(d.dewPoint[i])));
        QVERIFY2(std::abs(d.absolute[i] - absolute) <= 0.15, qPrintable(QString::number(d.absolute[i])));
    }
    QCOMPARE(Humidity::derivedValue(0, humidity, temperature, unit), d.dewPoint[0]);
}

void TestAnalysis::derivedStatisticsOfTheSeries_data()
{
    QTest::addColumn<TemperatureUnit>("unit");
    QTest::newRow("C") << TemperatureUnit::Celsius;
    QTest::newRow("F") << TemperatureUnit::Fahrenheit;
}

// The derived series, value for value, is what derivedValue() says of each
// sample, and the statistics taken on the way are those of the series: for
// readings in tenths, corrected ones between them, markers and readings the
// formula does not cover.
void TestAnalysis::derivedStatisticsOfTheSeries()
{
    QFETCH(TemperatureUnit, unit);
    std::mt19937 random(518);
    std::uniform_int_distribution<int> tenths(-800, 2200);
    Readings h(20000), t(20000);
    for (size_t i = 0; i < h.size(); ++i) {
        h[i] = float(tenths(random) % 1100) / 10.0f + (i % 3 == 0 ? 0.37f : 0.0f);
        t[i] = float(tenths(random)) / 10.0f;
        if (i % 97 == 0)
            (i % 2 ? h[i] : t[i]) = i % 4 ? 9999.0f : -9999.0f;
    }
    const std::vector<double> x = times(h.size(), 60);
    const ChartSeries series{{x, x}, {h, t}};
    const Humidity::DerivedSeries d = Humidity::derive(series, unit);
    const auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (size_t i = 0; i < h.size(); ++i) {
        QVERIFY2(same(d.dewPoint[i], Humidity::derivedValue(0, h[i], t[i], unit)), qPrintable(QString::number(i)));
        QVERIFY2(same(d.absolute[i], Humidity::derivedValue(1, h[i], t[i], unit)), qPrintable(QString::number(i)));
    }
    const SetStatistics a = Statistics::wholeSet(d.series());
    const SetStatistics b = Humidity::wholeSet(series, unit);
    QCOMPARE(b.points, a.points);
    QCOMPARE(b.first, a.first);
    QCOMPARE(b.rateSeconds, a.rateSeconds);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(b.channel[c].maximum, a.channel[c].maximum);
        QCOMPARE(b.channel[c].maximumTime, a.channel[c].maximumTime);
        QCOMPARE(b.channel[c].minimum, a.channel[c].minimum);
        QCOMPARE(b.channel[c].minimumTime, a.channel[c].minimumTime);
        QCOMPARE(b.channel[c].count, a.channel[c].count);
        QCOMPARE(b.channel[c].average, a.channel[c].average);
        QVERIFY(a.channel[c].count > 1000);
    }
}

void TestAnalysis::worstWindows_data()
{
    QTest::addColumn<Readings>("y");
    QTest::addColumn<qint64>("interval");
    QTest::addColumn<bool>("dayTooShort");
    QTest::addColumn<double>("dayMkt");      // NaN: no value
    QTest::addColumn<qint64>("dayStart");    // index of the window's first sample
    QTest::addColumn<bool>("monthTooShort");

    const double none = std::nan("");
    const qint64 hour = 3600;
    QTest::newRow("23 hours") << Readings(23, 20.0f) << hour << true << none << qint64(0) << true;
    QTest::newRow("exactly a day") << Readings(24, 5.0f) << hour << false << 5.0 << qint64(0) << true;
    Readings hot(72, 20.0f);
    for (size_t i = 30; i < 54; ++i)
        hot[i] = 30.0f;
    QTest::newRow("hot day inside") << hot << hour << false << 30.0 << qint64(30) << true;
    Readings marked = hot;
    marked[40] = 9999.0f;   // left out, not an infinitely hot hour
    QTest::newRow("marker left out") << marked << hour << false << 30.0 << qint64(30) << true;
    QTest::newRow("a month") << Readings(30 * 24 * 6, 4.0f) << qint64(600) << false << 4.0 << qint64(0) << false;
    QTest::newRow("only markers") << Readings(48, 9999.0f) << hour << false << none << qint64(0) << true;
    // No value, but the run is long enough for both windows all the same.
    QTest::newRow("only markers, a month") << Readings(31 * 24, 9999.0f) << hour << false << none << qint64(0)
                                           << false;
}

void TestAnalysis::worstWindows()
{
    QFETCH(Readings, y);
    QFETCH(qint64, interval);
    QFETCH(bool, dayTooShort);
    QFETCH(double, dayMkt);
    QFETCH(qint64, dayStart);
    QFETCH(bool, monthTooShort);
    const std::vector<double> x = times(y.size(), interval);
    const auto w = KineticTemperature::worstWindows(x, y, TemperatureUnit::Celsius,
                                                    KineticTemperature::DefaultActivationEnergy, interval);
    QCOMPARE(w.size(), size_t(2));
    QCOMPARE(w[0].tooShort, dayTooShort);
    QCOMPARE(w[1].tooShort, monthTooShort);
    if (monthTooShort)
        QVERIFY(!w[1].mkt);
    QCOMPARE(w[0].mkt.has_value(), !std::isnan(dayMkt));
    if (w[0].mkt) {
        QVERIFY2(std::abs(*w[0].mkt - dayMkt) < 1e-6, qPrintable(QString::number(*w[0].mkt)));
        QCOMPARE(w[0].start, x[size_t(dayStart)]);
    }
}

void TestAnalysis::rollingMatchesEachWindow()
{
    // Random readings at a steady interval: the rolling sum must find the
    // window that computing each one anew finds, to rounding.
    std::mt19937 random(518);
    std::uniform_real_distribution<float> reading(-5.0f, 35.0f);
    Readings y(24 * 12 * 3);
    for (float &v : y)
        v = std::round(reading(random) * 10.0f) / 10.0f;
    const qint64 interval = 300;
    const size_t perDay = size_t(KineticTemperature::DaySeconds / interval);
    const std::vector<double> x = times(y.size(), interval);
    double best = -1e9;
    size_t bestStart = 0;
    for (size_t i = 0; i + perDay <= y.size(); ++i) {
        const double m = *KineticTemperature::compute(std::span<const float>(y).subspan(i, perDay),
                                                      TemperatureUnit::Celsius);
        if (m > best + 1e-9) {
            best = m;
            bestStart = i;
        }
    }
    const auto w = KineticTemperature::worstWindows(x, y, TemperatureUnit::Celsius,
                                                    KineticTemperature::DefaultActivationEnergy, interval);
    QVERIFY(w[0].mkt);
    QVERIFY2(std::abs(*w[0].mkt - best) < 1e-6, qPrintable(QString::number(*w[0].mkt - best)));
    QCOMPARE(w[0].start, x[bestStart]);
}

void TestAnalysis::worstDayOfALongRun_data()
{
    // A year at one minute, long enough to be taken in two halves: one or
    // two hot days in a run at 20 C. With the last interval the run's own,
    // its windows are counts of samples; with another one, spans of time.
    // Both must find the same day, the earliest of two that tie exactly.
    QTest::addColumn<size_t>("first");
    QTest::addColumn<float>("firstHot");
    QTest::addColumn<size_t>("second");
    QTest::addColumn<float>("secondHot");
    QTest::addColumn<qint64>("lastInterval");
    QTest::addColumn<size_t>("worst");
    QTest::addColumn<float>("mkt");
    const size_t middle = (size_t(1) << 19) / 2;
    for (const qint64 last : {qint64(60), qint64(61)}) {
        const QByteArray how = last == 60 ? " (steady)" : " (any run)";
        QTest::newRow("equal days either side of the middle" + how)
            << size_t(1000) << 30.0f << middle + 1000 << 30.0f << last << size_t(1000) << 30.0f;
        QTest::newRow("the hotter one after the middle" + how)
            << size_t(1000) << 30.0f << middle + 1000 << 30.1f << last << middle + 1000 << 30.1f;
        QTest::newRow("equal days, both after the middle" + how)
            << middle + 10 << 25.0f << middle + 5000 << 25.0f << last << middle + 10 << 25.0f;
    }
}

void TestAnalysis::worstDayOfALongRun()
{
    QFETCH(size_t, first);
    QFETCH(float, firstHot);
    QFETCH(size_t, second);
    QFETCH(float, secondHot);
    QFETCH(qint64, lastInterval);
    QFETCH(size_t, worst);
    QFETCH(float, mkt);
    const size_t perDay = 1440;
    Readings y(size_t(1) << 19, 20.0f);
    std::fill_n(y.begin() + qsizetype(first), perDay, firstHot);
    std::fill_n(y.begin() + qsizetype(second), perDay, secondHot);
    const std::vector<double> x = times(y.size(), 60);
    const auto w = KineticTemperature::worstWindows(x, y, TemperatureUnit::Celsius,
                                                    KineticTemperature::DefaultActivationEnergy, lastInterval,
                                                    {KineticTemperature::DaySeconds});
    QVERIFY(w[0].mkt);
    QCOMPARE(w[0].start, x[worst]);
    QVERIFY2(std::abs(*w[0].mkt - double(mkt)) < 1e-4, qPrintable(QString::number(*w[0].mkt, 'g', 10)));
}

void TestAnalysis::breaches_data()
{
    QTest::addColumn<Readings>("y");
    QTest::addColumn<qint64>("delayMinutes");
    QTest::addColumn<AlarmDelay>("delay");
    QTest::addColumn<qint64>("alarmAt");     // sample index, -1 not breached
    QTest::addColumn<qint64>("warningAt");
    QTest::addColumn<qint64>("outsideSeconds");   // above the alarm level
    // Alarm above 8, warning above 6; one sample a minute.
    const Readings stretches{9, 9, 5, 9, 9, 9, 5, 7};
    const auto C = AlarmDelay::Consecutive;
    const auto T = AlarmDelay::Total;
    QTest::newRow("no delay") << stretches << qint64(0) << C << qint64(0) << qint64(0) << qint64(300);
    QTest::newRow("3 min consecutive") << stretches << qint64(3) << C << qint64(5) << qint64(5) << qint64(300);
    QTest::newRow("4 min consecutive") << stretches << qint64(4) << C << qint64(-1) << qint64(-1) << qint64(300);
    QTest::newRow("4 min in total") << stretches << qint64(4) << T << qint64(4) << qint64(4) << qint64(300);
    QTest::newRow("6 min in total") << stretches << qint64(6) << T << qint64(-1) << qint64(7) << qint64(300);
    QTest::newRow("markers count outside") << Readings{9999, 9999} << qint64(2) << C << qint64(1) << qint64(1)
                                           << qint64(120);
}

void TestAnalysis::breaches()
{
    QFETCH(Readings, y);
    QFETCH(qint64, delayMinutes);
    QFETCH(AlarmDelay, delay);
    QFETCH(qint64, alarmAt);
    QFETCH(qint64, warningAt);
    QFETCH(qint64, outsideSeconds);
    ChannelLimits limits{{}, 8.0};
    limits.warningHigh = 6.0;
    limits.delayMinutes = delayMinutes;
    limits.delay = delay;
    const std::vector<double> x = times(y.size(), 60);
    const ChannelBreaches b = AlarmLimits::breaches(x, y, limits, 60);
    QCOMPARE(b.alarmAbove.breached, alarmAt >= 0);
    QCOMPARE(qint64(b.alarmAbove.index), alarmAt);
    if (alarmAt >= 0)
        QCOMPARE(b.alarmAbove.time, x[size_t(alarmAt)]);
    QCOMPARE(qint64(b.warningAbove.index), warningAt);
    QCOMPARE(b.alarmAbove.secondsOutside, outsideSeconds);
    QVERIFY(!b.alarmBelow.breached && !b.warningBelow.breached);
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
