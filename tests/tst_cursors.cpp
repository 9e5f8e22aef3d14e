// The cursors A and B of a data view without its window: placement on a
// selection, clamping, the sample a dropped line snaps to, the drag's
// throttle, and the texts of the statistics boxes.
#include "core/chart/ChartModel.h"
#include "core/chart/CursorController.h"
#include "core/data/DateTimeText.h"
#include "core/link/MonotonicClock.h"

#include <QTest>

#include <vector>

using Line = CursorController::Line;

namespace {

// Minutes after 10:00 on 1 March 2009, in steps that make a tie an exact one.
double at(double minutes)
{
    static const double start = FrameworkTime::fromDateTime(QDateTime(QDate(2009, 3, 1), QTime(10, 0)));
    return start + minutes * 60.0 / 86400.0;
}

// A view's chart with one sample a minute from 10:00, its texts (short date
// dd/MM/yyyy, long time HH:mm:ss) and its cursors on a fake clock.
struct View
{
    ChartModel chart;
    DateTimeText texts{QLocale(QStringLiteral("en_GB"))};
    FakeClock clock;
    CursorController cursors{chart, texts};

    View(const std::vector<float> &humidity, const std::vector<float> &temperature)
    {
        chart.edit([](ChartState &s) { s.subsetByPoint = false; });
        chart.setSubsets(2);
        chart.setPoints(int(humidity.size()));
        std::vector<double> x;
        std::vector<float> y;
        for (size_t i = 0; i < humidity.size(); ++i) {
            x.insert(x.end(), 2, at(double(i)));
            y.push_back(humidity[i]);
            y.push_back(temperature[i]);
        }
        chart.setXDataIIArray(x);
        chart.setYDataArray(y);
        clock.set(1000);
        cursors.setClock(&clock);
    }
    explicit View(int points)
        : View(std::vector<float>(size_t(points), 1.0f), std::vector<float>(size_t(points), 2.0f))
    {
    }

    // A line dragged and dropped on sample i.
    void dropOn(Line line, int i)
    {
        QVERIFY(cursors.grab(line));
        QVERIFY(cursors.drop(chart.xDataII(0, i), true).snapped);
    }
};

QStringList boxes(const CursorTexts &t)
{
    return {t.cursorA, t.cursorATime, t.cursorB, t.cursorBTime, t.maxAB, t.maxABTime, t.minAB, t.minABTime, t.avgAB};
}

} // namespace

class TestCursors : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placement_data();
    void placement();
    void selectionOfNoSample_data();
    void selectionOfNoSample();
    void clamping_data();
    void clamping();
    void nearestPoint_data();
    void nearestPoint();
    void dropWithoutTwoTimes_data();
    void dropWithoutTwoTimes();
    void grabbing();
    void throttle_data();
    void throttle();
    void betweenCursors_data();
    void betweenCursors();
    void markersAreOLOnlyInTheWholeSet();
};

void TestCursors::placement_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::newRow("1") << 1 << 0 << 0;
    QTest::newRow("2") << 2 << 0 << 1;
    QTest::newRow("3") << 3 << 1 << 2;
    QTest::newRow("4") << 4 << 1 << 2;
    QTest::newRow("5") << 5 << 1 << 3;
    QTest::newRow("100") << 100 << 33 << 66;
}

void TestCursors::placement()
{
    QFETCH(int, points);
    QFETCH(int, a);
    QFETCH(int, b);
    View v(points);
    // Whichever sample is selected, the cursors go to the same places.
    for (int index : {0, points - 1}) {
        QVERIFY(v.cursors.SelectPoint(index));
        QCOMPARE(v.cursors.CursorAIndex(), a);
        QCOMPARE(v.cursors.CursorBIndex(), b);
    }
    QCOMPARE(v.cursors.cursorTime(Line::A), at(a));
    QCOMPARE(v.cursors.cursorTime(Line::B), at(b));
}

void TestCursors::selectionOfNoSample_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("index");
    QTest::newRow("before the first") << 6 << -1;
    QTest::newRow("after the last") << 6 << 6;
    QTest::newRow("no points") << 0 << 0;
}

void TestCursors::selectionOfNoSample()
{
    QFETCH(int, points);
    QFETCH(int, index);
    View v(6);
    QVERIFY(v.cursors.SelectPoint(5));
    v.chart.setPoints(points);
    QVERIFY(!v.cursors.SelectPoint(index));
    QCOMPARE(v.cursors.CursorAIndex(), 2);
    QCOMPARE(v.cursors.CursorBIndex(), 4);
    QVERIFY(v.cursors.pointLineText(index).isEmpty());
}

void TestCursors::clamping_data()
{
    QTest::addColumn<int>("points");   // after cursors at 33 and 66 of 100
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("cursorB");   // the B box
    QTest::newRow("50 points") << 50 << 33 << 49 << "1.0";
    QTest::newRow("one point") << 1 << 0 << 0 << "1.0";
    QTest::newRow("no points: kept, boxes empty") << 0 << 33 << 66 << "";
}

void TestCursors::clamping()
{
    QFETCH(int, points);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, cursorB);
    View v(100);
    QVERIFY(v.cursors.SelectPoint(0));
    // The chart is prepared anew with fewer points, and the tab changes.
    v.chart.setPoints(points);
    const CursorTexts t = v.cursors.UpdateCursorStatistics(0);
    QCOMPARE(v.cursors.CursorAIndex(), a);
    QCOMPARE(v.cursors.CursorBIndex(), b);
    QCOMPARE(t.cursorB, cursorB);
    QCOMPARE(t.avgAB.isEmpty(), points == 0);
}

void TestCursors::nearestPoint_data()
{
    QTest::addColumn<double>("seconds");   // mouse X after the first sample
    QTest::addColumn<bool>("inside");
    QTest::addColumn<int>("index");
    QTest::newRow("on a sample") << 120.0 << true << 2;
    QTest::newRow("nearer the earlier") << 125.0 << true << 2;
    QTest::newRow("nearer the later") << 155.0 << true << 3;
    QTest::newRow("tie goes to the later") << 150.0 << true << 3;
    QTest::newRow("before the first") << -500.0 << true << 0;
    QTest::newRow("on the last") << 240.0 << true << 4;
    QTest::newRow("beyond the last") << 9000.0 << true << 4;
    QTest::newRow("outside the plot: stays") << 155.0 << false << 1;
}

void TestCursors::nearestPoint()
{
    QFETCH(double, seconds);
    QFETCH(bool, inside);
    QFETCH(int, index);
    View v(5);
    QVERIFY(v.cursors.SelectPoint(0));
    QCOMPARE(v.cursors.CursorAIndex(), 1);
    const double x = at(0) + seconds / 86400.0;
    QCOMPARE(v.cursors.NearestPoint(Line::A, x, inside), index);

    QVERIFY(v.cursors.grab(Line::A));
    const CursorController::Drop drop = v.cursors.drop(x, inside);
    QVERIFY(drop.snapped && drop.movedA && !drop.movedB);
    QVERIFY(!v.cursors.DraggingA());
    QCOMPARE(v.cursors.CursorAIndex(), index);
    QCOMPARE(v.cursors.CursorBIndex(), 3);
}

void TestCursors::dropWithoutTwoTimes_data()
{
    QTest::addColumn<QList<double>>("minutes");   // sample times
    QTest::newRow("one sample") << QList<double>{3};
    QTest::newRow("first and last at the same time") << QList<double>{3, 5, 3};
}

void TestCursors::dropWithoutTwoTimes()
{
    QFETCH(QList<double>, minutes);
    View v(int(minutes.size()));
    for (int i = 0; i < minutes.size(); ++i)
        v.chart.setXDataII(-1, i, at(minutes.at(i)));
    QVERIFY(v.cursors.SelectPoint(0));
    const int a = v.cursors.CursorAIndex();
    QVERIFY(v.cursors.grab(Line::A));
    QVERIFY(v.cursors.grab(Line::B));
    // Both drags end; neither cursor moves.
    const CursorController::Drop drop = v.cursors.drop(at(0), true);
    QVERIFY(!drop.snapped && !drop.movedA && !drop.movedB);
    QVERIFY(!v.cursors.DraggingA() && !v.cursors.DraggingB());
    QCOMPARE(v.cursors.CursorAIndex(), a);
}

void TestCursors::grabbing()
{
    View v(5);
    QVERIFY(!v.cursors.grab(Line::Point));
    QVERIFY(!v.cursors.DraggingA() && !v.cursors.DraggingB());
    QVERIFY(v.cursors.grab(Line::A));
    QCOMPARE(v.cursors.LastDragUpdate(), 1000);
    v.clock.advance(50);
    // A second grab of the same line neither restarts nor counts.
    QVERIFY(!v.cursors.grab(Line::A));
    QCOMPARE(v.cursors.LastDragUpdate(), 1000);
    QVERIFY(v.cursors.grab(Line::B));
    QCOMPARE(v.cursors.LastDragUpdate(), 1050);
    QVERIFY(v.cursors.DraggingA() && v.cursors.DraggingB());
    const CursorController::Drop both = v.cursors.drop(at(2), true);
    QVERIFY(both.snapped && both.movedA && both.movedB);
    QCOMPARE(v.cursors.CursorAIndex(), 2);
    QCOMPARE(v.cursors.CursorBIndex(), 2);
    // A release with nothing dragged moves nothing, yet the boxes are updated.
    const CursorController::Drop none = v.cursors.drop(at(4), true);
    QVERIFY(none.snapped && !none.movedA && !none.movedB);
    QCOMPARE(v.cursors.CursorAIndex(), 2);
}

void TestCursors::throttle_data()
{
    QTest::addColumn<QList<int>>("advances");     // ms before each move
    QTest::addColumn<bool>("inside");
    QTest::addColumn<bool>("bothLines");
    QTest::addColumn<QList<int>>("follows");      // per move: 0 none, 1 A, 2 B, 3 both
    QTest::newRow("at the interval it waits") << QList<int>{200} << true << false << QList<int>{0};
    QTest::newRow("just past it moves") << QList<int>{201} << true << false << QList<int>{1};
    QTest::newRow("a move restarts the interval")
        << QList<int>{201, 200, 1} << true << false << QList<int>{1, 0, 1};
    QTest::newRow("waits add up") << QList<int>{150, 51} << true << false << QList<int>{0, 1};
    QTest::newRow("outside the plot nothing moves") << QList<int>{500} << false << false << QList<int>{0};
    QTest::newRow("two lines: A's move holds B back") << QList<int>{201, 201} << true << true << QList<int>{1, 1};
}

void TestCursors::throttle()
{
    QFETCH(QList<int>, advances);
    QFETCH(bool, inside);
    QFETCH(bool, bothLines);
    QFETCH(QList<int>, follows);
    View v(5);
    QVERIFY(v.cursors.mouseMove(true).a == false);   // nothing dragged yet
    QVERIFY(v.cursors.grab(Line::A));
    if (bothLines)
        QVERIFY(v.cursors.grab(Line::B));
    qint64 lastMove = v.clock.nowMs();
    for (int i = 0; i < advances.size(); ++i) {
        v.clock.advance(advances.at(i));
        const CursorController::Follow f = v.cursors.mouseMove(inside);
        QCOMPARE(int(f.a) | (int(f.b) << 1), follows.at(i));
        if (f.a || f.b)
            lastMove = v.clock.nowMs();
        QCOMPARE(v.cursors.LastDragUpdate(), lastMove);
    }
}

void TestCursors::betweenCursors_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    // A, A time, B, B time, max, max time, min, min time, avg
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("A before B") << 1 << 3
                                << QStringList{"20.0", "01/03/2009 10:01:00", "-9999.0", "01/03/2009 10:03:00",
                                               "9999.0", "01/03/2009 10:02:00", "-9999.0", "01/03/2009 10:03:00",
                                               "6.7"};
    QTest::newRow("B before A") << 3 << 1
                                << QStringList{"-9999.0", "01/03/2009 10:03:00", "20.0", "01/03/2009 10:01:00",
                                               "9999.0", "01/03/2009 10:02:00", "-9999.0", "01/03/2009 10:03:00",
                                               "6.7"};
    QTest::newRow("same sample") << 2 << 2
                                 << QStringList{"9999.0", "01/03/2009 10:02:00", "9999.0", "01/03/2009 10:02:00",
                                                "9999.0", "01/03/2009 10:02:00", "9999.0", "01/03/2009 10:02:00",
                                                "9999.0"};
    QTest::newRow("every sample") << 0 << 4
                                  << QStringList{"10.0", "01/03/2009 10:00:00", "50.0", "01/03/2009 10:04:00",
                                                 "9999.0", "01/03/2009 10:02:00", "-9999.0",
                                                 "01/03/2009 10:03:00", "16.0"};
}

void TestCursors::betweenCursors()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QStringList, texts);
    // The markers count between the cursors and show as numbers.
    View v({10, 20, 9999, -9999, 50}, {0, 0, 0, 0, 0});
    v.dropOn(Line::A, a);
    v.dropOn(Line::B, b);
    QCOMPARE(boxes(v.cursors.UpdateCursorStatistics(0)), texts);
}

void TestCursors::markersAreOLOnlyInTheWholeSet()
{
    View v({10, 20, 9999, -9999, 50}, {-9999, -9999, -9999, -9999, -9999});
    const StatisticsTexts humidity = v.cursors.wholeSetTexts(0);
    QCOMPARE(humidity.maximum, QStringLiteral("OL"));
    QCOMPARE(humidity.minimum, QStringLiteral("OL"));
    QCOMPARE(humidity.average, QStringLiteral("26.667"));
    QCOMPARE(humidity.startTime, QStringLiteral("01/03/2009 10:00:00"));
    QCOMPARE(humidity.samplingRate, QStringLiteral("01:00"));
    QCOMPARE(humidity.dataNo, QStringLiteral("5"));
    // Nothing inside the range: no average.
    const StatisticsTexts temperature = v.cursors.wholeSetTexts(1);
    QCOMPARE(temperature.maximum, QStringLiteral("OL"));
    QCOMPARE(temperature.average, QStringLiteral("****"));
    QVERIFY(v.cursors.SelectPoint(0));
    const CursorTexts t = v.cursors.UpdateCursorStatistics(1);
    QCOMPARE(t.maxAB, QStringLiteral("-9999.0"));
    QCOMPARE(t.avgAB, QStringLiteral("-9999.0"));
    QCOMPARE(v.cursors.pointLineText(2), QStringLiteral("10:02:00 H:9999.0 T:-9999.0"));
}

QTEST_GUILESS_MAIN(TestCursors)
#include "tst_cursors.moc"
