// Whole-set statistics and the texts of the statistics boxes. The cursors
// (placement, nearest sample, the figures between them) are in tst_cursors.
#include "core/data/DateTimeText.h"
#include "core/data/Statistics.h"

#include <QTest>

#include <vector>

namespace {

double at(int h, int mi, int s = 0)
{
    return FrameworkTime::fromDateTime(QDateTime(QDate(2009, 3, 1), QTime(h, mi, s)));
}

// A chart whose points are one minute apart from 10:00.
struct Chart
{
    std::vector<double> x;
    std::vector<float> h, t;

    Chart(std::vector<float> humidity, std::vector<float> temperature)
        : h(std::move(humidity)), t(std::move(temperature))
    {
        const double start = at(10, 0);
        for (size_t i = 0; i < h.size(); ++i)
            x.push_back(start + double(i) * 60.0 / 86400.0);
    }
    ChartSeries series() const { return {{x, x}, {h, t}}; }
};

const DateTimeText &gb()
{
    // Short date dd/MM/yyyy, long time HH:mm:ss.
    static const DateTimeText texts{QLocale(QStringLiteral("en_GB"))};
    return texts;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wholeSet();
    void tiesKeepTheEarliest_data();
    void tiesKeepTheEarliest();
    void averageOfAMillionSamples();
    void allMarkers();
    void outOfRangeLimits_data();
    void outOfRangeLimits();
    void rate_data();
    void rate();
    void zeroPoints();
    void filledPoints_data();
    void filledPoints();
    void pointLine();
};

void TestStatistics::wholeSet()
{
    const Chart c({56.24f, 40.0f, 50.0f}, {20.0f, 21.0f, 22.5f});
    const SetStatistics s = Statistics::wholeSet(c.series());
    QCOMPARE(s.points, 3);
    QCOMPARE(s.channel[0].maximum, 56.24f);
    QCOMPARE(s.channel[0].minimumTime, c.x[1]);
    QCOMPARE(s.channel[1].average, 21.166666f);
    const StatisticsTexts humidity = Statistics::panelTexts(s, 0, gb());
    QCOMPARE(humidity.maximum, QStringLiteral("56.2@01/03/2009 10:00:00"));
    QCOMPARE(humidity.minimum, QStringLiteral("40.0@01/03/2009 10:01:00"));
    QCOMPARE(humidity.average, QStringLiteral("48.747"));
    QCOMPARE(humidity.startTime, QStringLiteral("01/03/2009 10:00:00"));
    QCOMPARE(humidity.dataNo, QStringLiteral("3"));
    QCOMPARE(Statistics::panelTexts(s, 1, DateTimeText(QLocale(QStringLiteral("de_DE")))).average,
             QStringLiteral("21,167"));
}

void TestStatistics::tiesKeepTheEarliest_data()
{
    QTest::addColumn<std::vector<float>>("h");
    QTest::addColumn<std::vector<float>>("t");
    // Where the extremes must be found: humidity max, min, temperature max, min.
    QTest::addColumn<std::vector<size_t>>("at");
    QTest::newRow("a few samples") << std::vector<float>{5, 9, 1, 9, 1} << std::vector<float>{-9999, 3, -9999, 3, 0}
                                   << std::vector<size_t>{1, 2, 1, 0};
    // Long enough to be taken in two halves: the halves' extremes joined as
    // one pass finds them.
    const size_t n = size_t(1) << 19;
    const size_t half = n / 2;
    std::vector<float> h(n, 50.0f), t(n, 20.0f);
    h[200] = h[half + 200] = 90.0f;   // the same maximum in both halves
    h[half + 5] = 10.0f;              // the minimum in the second half alone
    t[half - 1] = t[half] = 30.0f;    // on either side of the middle
    t[n - 1] = 9999.0f;               // a marker beats them, last
    QTest::newRow("a long set, ties across its halves") << h << t << std::vector<size_t>{200, half + 5, n - 1, 0};
}

void TestStatistics::tiesKeepTheEarliest()
{
    QFETCH(std::vector<float>, h);
    QFETCH(std::vector<float>, t);
    QFETCH(std::vector<size_t>, at);
    const Chart c(h, t);
    const SetStatistics s = Statistics::wholeSet(c.series());
    QCOMPARE(s.channel[0].maximumTime, c.x[at[0]]);
    QCOMPARE(s.channel[0].minimumTime, c.x[at[1]]);
    QCOMPARE(s.channel[1].maximumTime, c.x[at[2]]);
    QCOMPARE(s.channel[1].minimumTime, c.x[at[3]]);
    const CursorStatistics between = Statistics::betweenCursors(c.series(), 0, 0, qsizetype(h.size()) - 1);
    QCOMPARE(between.maximumTime, c.x[at[0]]);
    QCOMPARE(between.minimumTime, c.x[at[1]]);
}

void TestStatistics::averageOfAMillionSamples()
{
    // A running float sum would stall far from 25.3 long before the end.
    const Chart c(std::vector<float>(1000000, 25.3f), std::vector<float>(1000000, -12.7f));
    const SetStatistics s = Statistics::wholeSet(c.series());
    QCOMPARE(Statistics::panelTexts(s, 0, gb()).average, QStringLiteral("25.300"));
    QCOMPARE(Statistics::panelTexts(s, 1, gb()).average, QStringLiteral("-12.700"));
    QCOMPARE(s.channel[0].count, 1000000);
}

void TestStatistics::allMarkers()
{
    const Chart c({-9999, -9999, -9999}, {1, 2, 3});
    const StatisticsTexts t = Statistics::panelTexts(Statistics::wholeSet(c.series()), 0, gb());
    QCOMPARE(t.maximum, QStringLiteral("OL"));
    QCOMPARE(t.minimum, QStringLiteral("OL"));
    QCOMPARE(t.average, QStringLiteral("****"));
    QCOMPARE(Statistics::panelTexts(Statistics::wholeSet(c.series()), 1, gb()).average, QStringLiteral("2.000"));
}

void TestStatistics::outOfRangeLimits_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("maximum");
    QTest::addColumn<QString>("average");   // with a second reading of 10.0
    QTest::newRow("3000") << 3000.0f << "3000.0@01/03/2009 10:00:00" << "10.000";
    QTest::newRow("3000.1") << 3000.1f << "OL" << "10.000";
    QTest::newRow("2999.9") << 2999.9f << "2999.9@01/03/2009 10:00:00" << "1504.950";
    QTest::newRow("-3000") << -3000.0f << "10.0@01/03/2009 10:01:00" << "10.000";
    QTest::newRow("9999") << 9999.0f << "OL" << "10.000";
}

void TestStatistics::outOfRangeLimits()
{
    QFETCH(float, value);
    QFETCH(QString, maximum);
    QFETCH(QString, average);
    const Chart c({value, 10.0f}, {0, 0});
    const StatisticsTexts t = Statistics::panelTexts(Statistics::wholeSet(c.series()), 0, gb());
    QCOMPARE(t.maximum, maximum);
    QCOMPARE(t.average, average);
}

void TestStatistics::rate_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("unfilled");   // trailing points with time 0
    QTest::addColumn<QString>("text");
    QTest::newRow("100 at 60 s") << 100 << 60 << 0 << "01:00";
    QTest::newRow("2 at 1 s") << 2 << 1 << 0 << "00:01";
    QTest::newRow("10 at 3600 s") << 10 << 3600 << 0 << "60:00";
    QTest::newRow("10 at 6000 s") << 10 << 6000 << 0 << "00:00";
    QTest::newRow("one point") << 1 << 60 << 0 << "00:00";
    QTest::newRow("unfilled points at the end") << 2 << 60 << 2 << "00:00";
}

void TestStatistics::rate()
{
    QFETCH(int, points);
    QFETCH(int, seconds);
    QFETCH(int, unfilled);
    QFETCH(QString, text);
    std::vector<double> x;
    for (int i = 0; i < points; ++i)
        x.push_back(at(10, 0) + double(i) * seconds / 86400.0);
    x.insert(x.end(), size_t(unfilled), 0.0);
    const std::vector<float> y(x.size(), 1.0f);
    const SetStatistics s = Statistics::wholeSet({{x, x}, {y, y}});
    QCOMPARE(Statistics::panelTexts(s, 0, gb()).samplingRate, text);
}

void TestStatistics::zeroPoints()
{
    const Chart c({}, {});
    const SetStatistics s = Statistics::wholeSet(c.series());
    const StatisticsTexts t = Statistics::panelTexts(s, 1, gb());
    QCOMPARE(t.samplingRate, QStringLiteral("00:00"));
    QCOMPARE(t.dataNo, QStringLiteral("0"));
    QCOMPARE(t.startTime, QString());
    QCOMPARE(t.maximum, QStringLiteral("OL"));
    QCOMPARE(t.minimum, QStringLiteral("OL"));
    QCOMPARE(t.average, QStringLiteral("****"));
    const CursorStatistics between = Statistics::betweenCursors(c.series(), 0, 0, 0);
    QVERIFY(!between.valid);
    QCOMPARE(Statistics::cursorTexts(between, gb()).avgAB, QString());
    QCOMPARE(Statistics::pointLineText(c.series(), 0, gb()), QString());
}

void TestStatistics::filledPoints_data()
{
    QTest::addColumn<QList<double>>("x");
    QTest::addColumn<QList<float>>("t");
    QTest::addColumn<int>("filled");
    const double a = 40000.0;
    // A two-line file's chart: two samples, then two points of padding.
    QTest::newRow("padding cut") << QList<double>{a, a + 0.1, 0.0, 0.0} << QList<float>{20, 21, 9999, 9999} << 2;
    QTest::newRow("no padding") << QList<double>{a, a + 0.1} << QList<float>{20, 9999} << 2;
    // A line whose date could not be read keeps its reading: it is a sample.
    QTest::newRow("undated reading kept") << QList<double>{a, 0.0} << QList<float>{20, 21} << 2;
    QTest::newRow("marker with a time kept") << QList<double>{a, a + 0.1} << QList<float>{9999, 9999} << 2;
    QTest::newRow("only padding") << QList<double>{0.0, 0.0} << QList<float>{9999, 9999} << 0;
}

void TestStatistics::filledPoints()
{
    QFETCH(QList<double>, x);
    QFETCH(QList<float>, t);
    QFETCH(int, filled);
    const std::vector<double> xs(x.begin(), x.end());
    const std::vector<float> ts(t.begin(), t.end());
    // Humidity as the temperature: padding has the marker on both channels.
    const ChartSeries series{{xs, xs}, {ts, ts}};
    QCOMPARE(series.filledPoints(), qsizetype(filled));
    QCOMPARE(series.first(filled).points(), qsizetype(filled));
}

void TestStatistics::pointLine()
{
    const Chart c({55.5f, 9999.0f}, {21.0f, -3.5f});
    const DateTimeText us{QLocale(QStringLiteral("en_US"))};
    QCOMPARE(Statistics::pointLineText(c.series(), 1, us), QStringLiteral("10:01:00 AM H:9999.0 T:-3.5"));
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
