// Alarm limits (counts, durations, excursions), the mean kinetic temperature
// and the limits file.
#include "TestFiles.h"

#include "core/app/AlarmSettings.h"
#include "core/data/AlarmLimits.h"
#include "core/data/DateTimeText.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using Readings = std::vector<float>;
using OptionalNumber = std::optional<double>;
Q_DECLARE_METATYPE(Readings)
Q_DECLARE_METATYPE(OptionalNumber)
Q_DECLARE_METATYPE(TemperatureUnit)
using Times = std::vector<double>;
Q_DECLARE_METATYPE(Times)

namespace {

constexpr double Start = 39873.0;   // 2009-03-01 00:00
constexpr double Minute = 60.0 / 86400.0;

std::vector<double> minutes(size_t n)
{
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = Start + double(i) * Minute;
    return x;
}

// The textbook formula, term by term, in double precision.
std::optional<double> directMkt(const Readings &y, TemperatureUnit unit, double kiloJoule = 83.144)
{
    const double ratio = kiloJoule * 1000.0 / 8.3144621;
    double sum = 0.0;
    int n = 0;
    for (const float v : y) {
        if (!(v > -3000.0f && v < 3000.0f))
            continue;
        const double celsius = unit == TemperatureUnit::Fahrenheit ? (double(v) - 32.0) * 5.0 / 9.0 : double(v);
        sum += std::exp(-ratio / (celsius + 273.15));
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    const double celsius = ratio / -std::log(sum / n) - 273.15;
    return unit == TemperatureUnit::Fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

// A file written with the folders it needs.
bool writeNew(const QString &path, const QByteArray &bytes)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFile(path, bytes);
}

const DateTimeText &gb()
{
    static const DateTimeText texts{QLocale(QStringLiteral("en_GB"))};
    return texts;
}

} // namespace

class TestAlarmLimits : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sides_data();
    void sides();
    void durationsDoNotWrap();
    void mkt_data();
    void mkt();
    void mktOfAGeneratedSet_data();
    void mktOfAGeneratedSet();
    void windowsTakenTogether_data();
    void windowsTakenTogether();
    void texts_data();
    void texts();
    void conversion_data();
    void conversion();
    void fileRoundTrip();
    void damagedFile_data();
    void damagedFile();
    void unwritableFolder();
};

void TestAlarmLimits::sides_data()
{
    QTest::addColumn<Readings>("y");
    QTest::addColumn<OptionalNumber>("low");
    QTest::addColumn<OptionalNumber>("high");
    // count, excursions, longest length, longest first index; for above then below.
    QTest::addColumn<QList<qint64>>("above");
    QTest::addColumn<QList<qint64>>("below");
    QTest::addColumn<double>("within");

    const OptionalNumber none;
    QTest::newRow("limits met exactly are within") << Readings{2.0f, 8.0f, 5.0f} << OptionalNumber(2.0)
                                                   << OptionalNumber(8.0) << QList<qint64>{0, 0, 0, -1}
                                                   << QList<qint64>{0, 0, 0, -1} << 100.0;
    // 25.3 has no exact binary form: as a float reading and as a double limit
    // they differ, and a reading of 25.3 must still meet a limit of 25.3.
    QTest::newRow("a limit with a decimal meets its reading")
        << Readings{25.3f, 25.4f, 25.2f} << OptionalNumber(25.3) << OptionalNumber(25.3)
        << QList<qint64>{1, 1, 1, 1} << QList<qint64>{1, 1, 1, 2} << 100.0 / 3.0;
    QTest::newRow("markers lie beyond both limits") << Readings{9999.0f, -9999.0f, 5.0f} << OptionalNumber(2.0)
                                                    << OptionalNumber(8.0) << QList<qint64>{1, 1, 1, 0}
                                                    << QList<qint64>{1, 1, 1, 1} << 100.0 / 3.0;
    QTest::newRow("a missing low limit is never crossed")
        << Readings{9999.0f, -9999.0f} << none << OptionalNumber(8.0) << QList<qint64>{1, 1, 1, 0}
        << QList<qint64>{0, 0, 0, -1} << 50.0;
    QTest::newRow("a set entirely above") << Readings{9.0f, 10.0f, 11.0f} << none << OptionalNumber(8.0)
                                          << QList<qint64>{3, 1, 3, 0} << QList<qint64>{0, 0, 0, -1} << 0.0;
    QTest::newRow("runs at the start and the end")
        << Readings{9.0f, 9.0f, 5.0f, 1.0f, 5.0f, 9.0f} << OptionalNumber(2.0) << OptionalNumber(8.0)
        << QList<qint64>{3, 2, 2, 0} << QList<qint64>{1, 1, 1, 3} << 200.0 / 6.0;
    QTest::newRow("equal runs: the first is the longest")
        << Readings{9.0f, 5.0f, 9.0f, 5.0f} << none << OptionalNumber(8.0) << QList<qint64>{2, 2, 1, 0}
        << QList<qint64>{0, 0, 0, -1} << 50.0;
    QTest::newRow("straight from one side to the other")
        << Readings{9.0f, 1.0f, 1.0f, 9.0f} << OptionalNumber(2.0) << OptionalNumber(8.0)
        << QList<qint64>{2, 2, 1, 0} << QList<qint64>{2, 1, 2, 1} << 0.0;
    QTest::newRow("one sample below") << Readings{1.0f} << OptionalNumber(2.0) << none << QList<qint64>{0, 0, 0, -1}
                                      << QList<qint64>{1, 1, 1, 0} << 0.0;
    QTest::newRow("no limits") << Readings{1.0f, 9999.0f} << none << none << QList<qint64>{0, 0, 0, -1}
                               << QList<qint64>{0, 0, 0, -1} << 100.0;
    QTest::newRow("no samples") << Readings{} << OptionalNumber(2.0) << OptionalNumber(8.0)
                                << QList<qint64>{0, 0, 0, -1} << QList<qint64>{0, 0, 0, -1} << -1.0;
}

void TestAlarmLimits::sides()
{
    QFETCH(Readings, y);
    QFETCH(OptionalNumber, low);
    QFETCH(OptionalNumber, high);
    QFETCH(QList<qint64>, above);
    QFETCH(QList<qint64>, below);
    QFETCH(double, within);
    const std::vector<double> x = minutes(y.size());
    constexpr qint64 interval = 60;
    const LimitStatistics s = AlarmLimits::evaluate(x, y, ChannelLimits{low, high}, interval);

    QCOMPARE(s.samples, qsizetype(y.size()));
    const auto check = [&](const LimitSide &side, const QList<qint64> &want) {
        QCOMPARE(side.count, want[0]);
        QCOMPARE(side.seconds, want[0] * interval);
        QCOMPARE(side.excursions, want[1]);
        QCOMPARE(side.longestLength, want[2]);
        QCOMPARE(qint64(side.longestFirst), want[3]);
        QCOMPARE(side.longestSeconds, want[2] * interval);
        if (want[3] >= 0)
            QCOMPARE(side.longestStart, x[size_t(want[3])]);
    };
    check(s.above, above);
    check(s.below, below);
    if (within < 0.0) {
        QVERIFY(!s.withinPercent);
    } else {
        QVERIFY(s.withinPercent);
        QCOMPARE(*s.withinPercent, within);
    }
}

void TestAlarmLimits::durationsDoNotWrap()
{
    const Readings y{9.0f, 9.0f, 9.0f};
    const qint64 interval = std::numeric_limits<qint64>::max() / 2;
    const LimitStatistics s = AlarmLimits::evaluate(minutes(y.size()), y, ChannelLimits{{}, 8.0}, interval);
    QCOMPARE(s.above.seconds, std::numeric_limits<qint64>::max());
    QCOMPARE(s.above.longestSeconds, std::numeric_limits<qint64>::max());
}

void TestAlarmLimits::mkt_data()
{
    QTest::addColumn<Readings>("y");
    QTest::addColumn<TemperatureUnit>("unit");
    QTest::addColumn<double>("kiloJoule");
    QTest::addColumn<OptionalNumber>("expected");
    QTest::addColumn<double>("tolerance");

    const auto C = TemperatureUnit::Celsius;
    const auto F = TemperatureUnit::Fahrenheit;
    // Published worked example (systems.isopharm.co.uk/mean-kinetic-temperature/):
    // 2 hours at 20 C, 4 hours at 2 C and 1 hour at 25 C, read hourly, are
    // "thermally equivalent" to 15.7 C; dH = 83.144 kJ/mol.
    const Readings published{20.0f, 20.0f, 2.0f, 2.0f, 2.0f, 2.0f, 25.0f};
    QTest::newRow("published example") << published << C << 83.144 << OptionalNumber(15.7) << 0.05;
    // The usage example of a public MKT aggregate function for PostgreSQL
    // (github.com/zelti/mkt, README): 2, 2, 5, 8, 8, 8, 8 C give 6.25 C.
    QTest::newRow("published example 2") << Readings{2.0f, 2.0f, 5.0f, 8.0f, 8.0f, 8.0f, 8.0f} << C << 83.144
                                         << OptionalNumber(6.25) << 0.005;
    // The first example read in Fahrenheit: 15.6775 C is 60.2196 F.
    QTest::newRow("Fahrenheit set") << Readings{68.0f, 68.0f, 35.6f, 35.6f, 35.6f, 35.6f, 77.0f} << F << 83.144
                                    << OptionalNumber(15.677549 * 1.8 + 32.0) << 1e-4;
    QTest::newRow("one sample") << Readings{5.0f} << C << 83.144 << OptionalNumber(5.0) << 1e-9;
    QTest::newRow("markers are left out") << Readings{9999.0f, 20.0f, -9999.0f, 3000.0f, -3000.0f} << C << 83.144
                                          << OptionalNumber(20.0) << 1e-9;
    QTest::newRow("below absolute zero is left out") << Readings{-300.0f, 20.0f} << C << 83.144
                                                     << OptionalNumber(20.0) << 1e-9;
    QTest::newRow("no reading counts") << Readings{9999.0f, -9999.0f} << C << 83.144 << OptionalNumber() << 0.0;
    QTest::newRow("no samples") << Readings{} << C << 83.144 << OptionalNumber() << 0.0;
    QTest::newRow("other activation energy") << published << C << 60.0 << directMkt(published, C, 60.0) << 1e-9;
    QTest::newRow("activation energy zero") << published << C << 0.0 << OptionalNumber() << 0.0;
    QTest::newRow("activation energy not a number")
        << published << C << std::numeric_limits<double>::quiet_NaN() << OptionalNumber() << 0.0;
    // Hot and cold together: the terms span hundreds of orders of magnitude.
    // The cold reading's term vanishes next to the hot one's: it only halves the mean.
    const double ratio = 83144.0 / KineticTemperature::GasConstant;
    QTest::newRow("extreme spread") << Readings{-270.0f, 2900.0f} << C << 83.144
                                    << OptionalNumber(ratio / (ratio / 3173.15 + std::log(2.0)) - 273.15) << 1e-6;
}

void TestAlarmLimits::mkt()
{
    QFETCH(Readings, y);
    QFETCH(TemperatureUnit, unit);
    QFETCH(double, kiloJoule);
    QFETCH(OptionalNumber, expected);
    QFETCH(double, tolerance);
    const std::optional<double> got = KineticTemperature::compute(y, unit, kiloJoule);
    QCOMPARE(got.has_value(), expected.has_value());
    if (!got)
        return;
    QVERIFY(std::isfinite(*got));
    QVERIFY2(std::abs(*got - *expected) <= tolerance,
             qPrintable(QStringLiteral("%1 vs %2").arg(*got, 0, 'g', 12).arg(*expected, 0, 'g', 12)));
}

void TestAlarmLimits::mktOfAGeneratedSet_data()
{
    QTest::addColumn<TemperatureUnit>("unit");
    QTest::newRow("Celsius") << TemperatureUnit::Celsius;
    QTest::newRow("Fahrenheit") << TemperatureUnit::Fahrenheit;
}

void TestAlarmLimits::mktOfAGeneratedSet()
{
    QFETCH(TemperatureUnit, unit);
    // A week of minutes: a daily swing, noise at the meter's resolution, runs of
    // equal readings, and a few markers.
    std::mt19937 random(518);
    std::normal_distribution<double> noise(0.0, 0.3);
    Readings y;
    for (int i = 0; i < 7 * 1440; ++i) {
        double v = 6.0 + 4.0 * std::sin(i * 2.0 * M_PI / 1440.0) + noise(random);
        if (unit == TemperatureUnit::Fahrenheit)
            v = v * 1.8 + 32.0;
        y.push_back(i % 997 == 0 ? 9999.0f : float(std::round(v * 10.0) / 10.0));
    }
    const auto got = KineticTemperature::compute(y, unit);
    const auto want = directMkt(y, unit);
    QVERIFY(got && want);
    QVERIFY2(std::abs(*got - *want) < 1e-9, qPrintable(QStringLiteral("%1 vs %2").arg(*got, 0, 'g', 15).arg(*want, 0, 'g', 15)));
}

void TestAlarmLimits::windowsTakenTogether_data()
{
    // Runs longer than a month at 5 minutes, so that the windows' samples
    // outgrow any first buffer and several blocks: steady, with gaps and a
    // clock set back, and with markers and readings that all differ.
    QTest::addColumn<Times>("x");
    QTest::addColumn<Readings>("y");
    QTest::addColumn<bool>("steady");   // then each window is also taken anew
    std::mt19937 random(518);
    std::normal_distribution<double> noise(0.0, 2.0);
    const size_t n = 40 * 288;
    Times steady(n);
    Readings tenths(n);
    Readings distinct(n);
    for (size_t i = 0; i < n; ++i) {
        steady[i] = Start + double(i) * 300.0 / 86400.0;
        tenths[i] = float(std::round((20.0 + 8.0 * std::sin(double(i) * 2.0 * M_PI / 288.0) + noise(random)) * 10.0) / 10.0);
        distinct[i] = i % 701 == 0 ? 9999.0f : float(15.0 + noise(random));
    }
    Times gaps = steady;
    for (size_t i = 3000; i < n; ++i)
        gaps[i] += i < 6000 ? 3.0 : (i < 9000 ? 2.5 : 2.49);   // days: a gap, then the clock a bit back
    // Readings that repeat: windows a period apart tie exactly, and the
    // earliest one is the worst.
    Readings repeating = tenths;
    Readings repeatingDistinct = distinct;
    for (size_t i = 5000; i < n; ++i) {
        repeating[i] = repeating[i - 5000];
        repeatingDistinct[i] = repeatingDistinct[i - 5000];
    }
    QTest::newRow("steady") << steady << tenths << true;
    QTest::newRow("gaps, clock set back") << gaps << tenths << false;
    QTest::newRow("markers, readings all differ") << steady << distinct << true;
    QTest::newRow("repeating readings") << steady << repeating << true;
    QTest::newRow("repeating readings that all differ") << steady << repeatingDistinct << true;
}

void TestAlarmLimits::windowsTakenTogether()
{
    // Windows worked out in one call, in pairs and the odd one alone, must
    // each find what a call for that window alone finds, to the bit; at a
    // steady interval, what the MKT of every window taken anew finds.
    QFETCH(Times, x);
    QFETCH(Readings, y);
    QFETCH(bool, steady);
    const std::initializer_list<qint64> windows{3600, KineticTemperature::DaySeconds, 7 * KineticTemperature::DaySeconds,
                                                KineticTemperature::MonthSeconds, 90 * KineticTemperature::DaySeconds};
    const auto together = KineticTemperature::worstWindows(x, y, TemperatureUnit::Celsius,
                                                           KineticTemperature::DefaultActivationEnergy, 300, windows);
    QCOMPARE(together.size(), windows.size());
    size_t k = 0;
    int found = 0;
    for (const qint64 window : windows) {
        const auto alone = KineticTemperature::worstWindows(x, y, TemperatureUnit::Celsius,
                                                            KineticTemperature::DefaultActivationEnergy, 300, {window});
        QCOMPARE(together[k].tooShort, alone[0].tooShort);
        QCOMPARE(together[k].mkt.has_value(), alone[0].mkt.has_value());
        if (alone[0].mkt) {
            QCOMPARE(std::bit_cast<quint64>(*together[k].mkt), std::bit_cast<quint64>(*alone[0].mkt));
            QCOMPARE(together[k].start, alone[0].start);
            ++found;
        }
        const size_t span = size_t(window / 300);
        if (steady && alone[0].mkt && window >= KineticTemperature::DaySeconds) {
            double best = -1e9;
            size_t bestStart = 0;
            for (size_t i = 0; i + span <= y.size(); ++i) {
                const double m = *KineticTemperature::compute(std::span<const float>(y).subspan(i, span),
                                                              TemperatureUnit::Celsius);
                if (m > best + 1e-9) {
                    best = m;
                    bestStart = i;
                }
            }
            QVERIFY2(std::abs(*alone[0].mkt - best) < 1e-6, qPrintable(QString::number(*alone[0].mkt - best)));
            QCOMPARE(alone[0].start, x[bestStart]);
        }
        ++k;
    }
    QCOMPARE(found, 4);   // all but the 90 days
}

void TestAlarmLimits::texts_data()
{
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    using AlarmLimits::durationText;
    using AlarmLimits::limitsText;
    QTest::newRow("duration 0") << durationText(0) << "0:00:00";
    QTest::newRow("duration 59 s") << durationText(59) << "0:00:59";
    QTest::newRow("duration 1 h") << durationText(3600) << "1:00:00";
    QTest::newRow("duration over a day") << durationText(86400 + 3661) << "1 d 1:01:01";
    QTest::newRow("both limits") << limitsText({2.0, 8.0}, gb()) << "2.0 to 8.0";
    QTest::newRow("high only") << limitsText({std::nullopt, 8.0}, gb()) << "up to 8.0";
    QTest::newRow("low only") << limitsText({-20.0, std::nullopt}, gb()) << "from -20.0";
    QTest::newRow("no limits") << limitsText({}, gb()) << "none";

    const Readings y{9.0f, 9.0f, 5.0f, 9.0f};
    const std::vector<double> x = minutes(y.size());
    const LimitStatistics s = AlarmLimits::evaluate(x, y, {std::nullopt, 8.0}, 600);
    QTest::newRow("above") << AlarmLimits::sideText(s.above, gb())
                           << "3 samples, 0:30:00, 2 excursions, longest 0:20:00 from 01/03/2009";
    QTest::newRow("below") << AlarmLimits::sideText(s.below, gb()) << "none";
    QTest::newRow("within") << AlarmLimits::withinText(s, gb()) << "25.0 %";
    const LimitStatistics one = AlarmLimits::evaluate(minutes(3), Readings{1.0f, 1.0f, 1.0f}, {}, 60);
    QTest::newRow("within without limits") << AlarmLimits::withinText(one, gb()) << "100.0 %";
    const LimitStatistics single = AlarmLimits::evaluate(minutes(2), Readings{5.0f, 9.0f}, {std::nullopt, 8.0}, 60);
    QTest::newRow("one excursion") << AlarmLimits::sideText(single.above, gb())
                                   << "1 sample, 0:01:00, 1 excursion, longest 0:01:00 from 01/03/2009 00:01:00";
    QTest::newRow("within, nothing") << AlarmLimits::withinText(AlarmLimits::evaluate({}, {}, {}, 60), gb()) << "****";
}

void TestAlarmLimits::texts()
{
    QFETCH(QString, got);
    QFETCH(QString, expected);
    QCOMPARE(got, expected);
}

void TestAlarmLimits::conversion_data()
{
    QTest::addColumn<OptionalNumber>("low");
    QTest::addColumn<OptionalNumber>("high");
    QTest::addColumn<OptionalNumber>("lowF");
    QTest::addColumn<OptionalNumber>("highF");
    QTest::newRow("cold chain") << OptionalNumber(2.0) << OptionalNumber(8.0) << OptionalNumber(35.6)
                                << OptionalNumber(46.4);
    QTest::newRow("high only") << OptionalNumber() << OptionalNumber(25.0) << OptionalNumber()
                               << OptionalNumber(77.0);
    QTest::newRow("freezer") << OptionalNumber(-25.0) << OptionalNumber(-15.0) << OptionalNumber(-13.0)
                             << OptionalNumber(5.0);
}

void TestAlarmLimits::conversion()
{
    QFETCH(OptionalNumber, low);
    QFETCH(OptionalNumber, high);
    QFETCH(OptionalNumber, lowF);
    QFETCH(OptionalNumber, highF);
    const auto C = TemperatureUnit::Celsius;
    const auto F = TemperatureUnit::Fahrenheit;
    const ChannelLimits celsius{low, high};
    const ChannelLimits fahrenheit = AlarmLimits::converted(celsius, C, F);
    QCOMPARE(fahrenheit, (ChannelLimits{lowF, highF}));
    QCOMPARE(AlarmLimits::converted(fahrenheit, F, C), celsius);

    // Kept in Celsius, shown to a Fahrenheit set; humidity is never converted.
    AlarmSettings settings(QString{});
    settings.setLimits(1, celsius, C);
    settings.setLimits(0, {10.0, 60.0}, F);
    QCOMPARE(settings.temperatureUnit, C);
    QCOMPARE(settings.limitsFor(1, F), fahrenheit);
    QCOMPARE(settings.limitsFor(1, std::nullopt), celsius);
    QCOMPARE(settings.limitsFor(0, F), (ChannelLimits{10.0, 60.0}));
    // A limit converted for a set still meets the set's own reading.
    if (highF) {
        const LimitStatistics s = AlarmLimits::evaluate(minutes(1), Readings{float(*highF)}, fahrenheit, 60);
        QCOMPARE(s.above.count, qint64(0));
    }
}

void TestAlarmLimits::fileRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(writeNew(dir.filePath(QStringLiteral("ini/KV518.ini")), "[COM PORT]\r\n2\r\n[AutoScale]\r\n0\r\n"));
    AlarmSettings saved(dir.path());
    saved.setLimits(0, {std::nullopt, 65.5}, std::nullopt);
    saved.setLimits(1, {35.6, 46.4}, TemperatureUnit::Fahrenheit);
    saved.activationEnergy = 60.5;
    const Result<> written = saved.save();
    QVERIFY2(written, qPrintable(written.message()));

    AlarmSettings loaded(dir.path());
    loaded.load();
    QVERIFY(loaded == saved);
    // The settings file keeps its four lines.
    QCOMPARE(readFile(dir.filePath(QStringLiteral("ini/KV518.ini"))),
             QByteArray("[COM PORT]\r\n2\r\n[AutoScale]\r\n0\r\n"));

    // Cleared limits stay cleared.
    saved.setLimits(1, {}, TemperatureUnit::Celsius);
    QVERIFY(saved.save());
    loaded.load();
    QVERIFY(!loaded.limits[1].isSet());
    QCOMPARE(loaded.temperatureUnit, TemperatureUnit::Celsius);
}

void TestAlarmLimits::damagedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<OptionalNumber>("tempLow");
    QTest::addColumn<OptionalNumber>("tempHigh");
    QTest::addColumn<double>("energy");
    QTest::newRow("not numbers") << QByteArray("[Temperature]\nLow=abc\nHigh=8\n[MeanKineticTemperature]\n"
                                               "ActivationEnergy=x\n")
                                 << OptionalNumber() << OptionalNumber(8.0) << 83.144;
    QTest::newRow("low above high") << QByteArray("[Temperature]\nLow=9\nHigh=8\n") << OptionalNumber()
                                    << OptionalNumber() << 83.144;
    QTest::newRow("not finite") << QByteArray("[Temperature]\nLow=nan\nHigh=inf\n") << OptionalNumber()
                                << OptionalNumber() << 83.144;
    QTest::newRow("energy out of range") << QByteArray("[Temperature]\nLow=2\n[MeanKineticTemperature]\n"
                                                       "ActivationEnergy=-5\n")
                                         << OptionalNumber(2.0) << OptionalNumber() << 83.144;
    QTest::newRow("random bytes") << QByteArray("\x01\xff[[[=\n\x00\x00", 9) << OptionalNumber()
                                  << OptionalNumber() << 83.144;
    QTest::newRow("one quote") << QByteArray("'") << OptionalNumber() << OptionalNumber() << 83.144;
    QTest::newRow("too big to be ours") << (QByteArray("[Temperature]\nLow=2\n") + QByteArray(100'000, '#'))
                                        << OptionalNumber() << OptionalNumber() << 83.144;
}

void TestAlarmLimits::damagedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(OptionalNumber, tempLow);
    QFETCH(OptionalNumber, tempHigh);
    QFETCH(double, energy);
    QTemporaryDir dir;
    AlarmSettings settings(dir.path());
    QVERIFY(writeNew(settings.filePath(), content));
    settings.load();
    QCOMPARE(settings.limits[1], (ChannelLimits{tempLow, tempHigh}));
    QVERIFY(!settings.limits[0].isSet());
    QCOMPARE(settings.activationEnergy, energy);
    // A damaged file never stands in the way of the next save.
    QVERIFY(settings.save());
    AlarmSettings reread(dir.path());
    reread.load();
    QVERIFY(reread == settings);
}

void TestAlarmLimits::unwritableFolder()
{
    QTemporaryDir dir;
    // A plain file where the folder should be.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("ini")), "keep"));
    AlarmSettings settings(dir.path());
    settings.setLimits(1, {2.0, 8.0}, TemperatureUnit::Celsius);
    const Result<> written = settings.save();
    QVERIFY(!written);
    QVERIFY2(written.message().startsWith(QStringLiteral("Cannot create ")), qPrintable(written.message()));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("ini"))), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TestAlarmLimits)
#include "tst_alarmlimits.moc"
