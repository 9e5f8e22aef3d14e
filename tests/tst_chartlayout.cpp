// The arithmetic of the chart's plot: which subsets share which stacked Y
// axis with what share of the height, and the ranges the axes show.
#include "core/chart/ChartLayout.h"

#include <QTest>

#include <limits>

using namespace ChartLayout;

using Range = QPair<double, double>;

class TestChartLayout : public QObject
{
    Q_OBJECT

private slots:
    void groupSubsets_data()
    {
        QTest::addColumn<int>("subsets");
        QTest::addColumn<QList<qint32>>("perAxis");
        QTest::addColumn<QList<double>>("proportions");
        QTest::addColumn<QList<QList<int>>>("groups");
        QTest::addColumn<QList<int>>("axes");
        QTest::addColumn<QList<double>>("shares");
        QTest::newRow("no arrangement: one shared axis") << 2 << QList<qint32>{} << QList<double>{}
                                                        << QList<QList<int>>{{0, 1}} << QList<int>{0}
                                                        << QList<double>{1.0};
        QTest::newRow("split, a quarter each") << 2 << QList<qint32>{1, 1} << QList<double>{0.25, 0.25}
                                               << QList<QList<int>>{{0}, {1}} << QList<int>{0, 1}
                                               << QList<double>{0.5, 0.5};
        QTest::newRow("a count beyond the subsets") << 2 << QList<qint32>{3} << QList<double>{0.5}
                                                    << QList<QList<int>>{{0, 1}} << QList<int>{0}
                                                    << QList<double>{1.0};
        QTest::newRow("subsets beyond the counts join the last axis")
            << 3 << QList<qint32>{1, 1} << QList<double>{0.3, 0.1} << QList<QList<int>>{{0}, {1, 2}}
            << QList<int>{0, 1} << QList<double>{0.75, 0.25};
        QTest::newRow("an empty axis is left out; a lone axis takes axis 0's settings")
            << 2 << QList<qint32>{0, 2} << QList<double>{0.5, 0.5} << QList<QList<int>>{{0, 1}}
            << QList<int>{0} << QList<double>{1.0};
        QTest::newRow("third axis after an empty one") << 2 << QList<qint32>{1, 0, 1}
                                                       << QList<double>{0.2, 0.0, 0.6}
                                                       << QList<QList<int>>{{0}, {1}} << QList<int>{0, 2}
                                                       << QList<double>{0.25, 0.75};
        QTest::newRow("a missing proportion takes an equal share")
            << 2 << QList<qint32>{1, 1} << QList<double>{0.6} << QList<QList<int>>{{0}, {1}}
            << QList<int>{0, 1} << QList<double>{1.0, 0.5};
        QTest::newRow("a negative proportion takes an equal share")
            << 2 << QList<qint32>{1, 1} << QList<double>{-1.0, 0.2} << QList<QList<int>>{{0}, {1}}
            << QList<int>{0, 1} << QList<double>{0.5, 1.0};
        QTest::newRow("no subsets") << 0 << QList<qint32>{1} << QList<double>{} << QList<QList<int>>{{}}
                                    << QList<int>{0} << QList<double>{1.0};
    }

    void groupSubsets()
    {
        QFETCH(int, subsets);
        QFETCH(QList<qint32>, perAxis);
        QFETCH(QList<double>, proportions);
        QFETCH(QList<QList<int>>, groups);
        QFETCH(QList<int>, axes);
        QFETCH(QList<double>, shares);
        ChartState s;
        s.subsets = subsets;
        s.multiAxesSubsets = perAxis;
        s.multiAxesProportions = proportions;
        const QList<AxisGroup> result = ChartLayout::groupSubsets(s);
        QCOMPARE(result.size(), groups.size());
        for (qsizetype i = 0; i < result.size(); ++i) {
            QCOMPARE(result[i].subsets, groups[i]);
            QCOMPARE(result[i].axis, axes[i]);
            QCOMPARE(result[i].proportion, shares[i]);
        }
    }

    void xRange_data()
    {
        const double inf = std::numeric_limits<double>::infinity();
        const double day = plotKey(DateTimeMode::sgVBDateTime, 40000.5);
        QTest::addColumn<DateTimeMode>("mode");
        QTest::addColumn<AxisSettings>("x");
        QTest::addColumn<Range>("keys"); // lo > hi: no data
        QTest::addColumn<Range>("range");
        const AxisSettings automatic;
        QTest::newRow("the data") << DateTimeMode::sgNoDateTime << automatic << Range(100, 200) << Range(100, 200);
        QTest::newRow("no data, plain numbers") << DateTimeMode::sgNoDateTime << automatic << Range(1, 0)
                                                << Range(0, 1);
        QTest::newRow("no data, dates: the first day")
            << DateTimeMode::sgVBDateTime << automatic << Range(1, 0)
            << Range(plotKey(DateTimeMode::sgVBDateTime, 0.0), plotKey(DateTimeMode::sgVBDateTime, 1.0));
        QTest::newRow("manual minimum only")
            << DateTimeMode::sgNoDateTime << AxisSettings{ScaleControl::sgManualMin, 150, 999, {}}
            << Range(100, 200) << Range(150, 200);
        QTest::newRow("manual limits reversed")
            << DateTimeMode::sgNoDateTime << AxisSettings{ScaleControl::sgManualMinAndMax, 300, 100, {}}
            << Range(100, 200) << Range(100, 300);
        QTest::newRow("limits of no width: a second more each way")
            << DateTimeMode::sgVBDateTime << AxisSettings{ScaleControl::sgManualMinAndMax, 40000.5, 40000.5, {}}
            << Range(1, 0) << Range(day - 1, day + 1);
        QTest::newRow("one sample, dates: a minute each way, so the labels differ")
            << DateTimeMode::sgVBDateTime << automatic << Range(day, day) << Range(day - 60, day + 60);
        QTest::newRow("a limit that is not finite is passed over")
            << DateTimeMode::sgNoDateTime << AxisSettings{ScaleControl::sgManualMinAndMax, 120, inf, {}}
            << Range(100, 200) << Range(120, 200);
    }

    void xRange()
    {
        QFETCH(DateTimeMode, mode);
        QFETCH(AxisSettings, x);
        QFETCH(Range, keys);
        QFETCH(Range, range);
        ChartState s;
        s.dateTimeMode = mode;
        s.xAxis = x;
        Span data;
        if (keys.first <= keys.second) {
            data.include(keys.first);
            data.include(keys.second);
        }
        QCOMPARE(ChartLayout::xRange(s, data), range);
    }

    void yRange_data()
    {
        QTest::addColumn<AxisSettings>("axis");
        QTest::addColumn<QList<double>>("readings");
        QTest::addColumn<QList<double>>("limits");
        QTest::addColumn<Range>("range");
        const AxisSettings automatic;
        QTest::newRow("readings, 5 % to spare") << automatic << QList<double>{10, 30} << QList<double>{}
                                                << Range(9, 31);
        QTest::newRow("no readings") << automatic << QList<double>{} << QList<double>{} << Range(-0.05, 1.05);
        QTest::newRow("a limit above the readings") << automatic << QList<double>{10, 30} << QList<double>{50}
                                                    << Range(8, 52);
        QTest::newRow("a limit and no readings") << automatic << QList<double>{} << QList<double>{5}
                                                 << Range(-0.25, 5.25);
        QTest::newRow("one reading: a unit more each way") << automatic << QList<double>{20} << QList<double>{}
                                                           << Range(19, 21);
        QTest::newRow("manual limits of no width") << AxisSettings{ScaleControl::sgManualMinAndMax, 50, 50, {}}
                                                   << QList<double>{10, 30} << QList<double>{90}
                                                   << Range(49, 51);
        QTest::newRow("manual maximum only") << AxisSettings{ScaleControl::sgManualMax, -7, 100, {}}
                                             << QList<double>{10, 30} << QList<double>{} << Range(9, 100);
    }

    void yRange()
    {
        QFETCH(AxisSettings, axis);
        QFETCH(QList<double>, readings);
        QFETCH(QList<double>, limits);
        QFETCH(Range, range);
        Span r, l;
        for (double v : readings)
            r.include(v);
        for (double v : limits)
            l.include(v);
        const Range got = ChartLayout::yRange(axis, r, l);
        QVERIFY2(qFuzzyCompare(got.first + 1000, range.first + 1000)
                     && qFuzzyCompare(got.second + 1000, range.second + 1000),
                 qPrintable(QStringLiteral("%1 .. %2").arg(got.first).arg(got.second)));
    }
};

QTEST_GUILESS_MAIN(TestChartLayout)
#include "tst_chartlayout.moc"
