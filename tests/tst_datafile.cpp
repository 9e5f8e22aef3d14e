// The rules of single data files that need no window: the type by
// extension, the range window's limits, and a chart's points in and out.
#include "core/chart/ChartModel.h"
#include "core/files/DataFile.h"

#include <QTest>

#include <optional>

class TestDataFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void kinds_data();
    void kinds();
    void filters();
    void pointRange_data();
    void pointRange();
    void chartPointsInAndOut();
};

void TestDataFile::kinds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<DataFile::Kind>("open");
    QTest::addColumn<DataFile::Kind>("savePoint");  // saved with a decimal point
    QTest::addColumn<DataFile::Kind>("saveComma");  // saved with a decimal comma

    using K = DataFile::Kind;
    QTest::newRow("graph") << "/a/b.GHF" << K::Graph << K::Graph << K::Graph;
    QTest::newRow("text") << "b.txt" << K::Text << K::Text << K::Text;
    QTest::newRow("comma-separated") << "b.Csv" << K::Csv << K::Csv << K::None;
    QTest::newRow("other") << "b.518" << K::None << K::None << K::None;
    QTest::newRow("no extension") << "/a.txt/b" << K::None << K::None << K::None;
    QTest::newRow("two extensions") << "b.csv.txt" << K::Text << K::Text << K::Text;
}

void TestDataFile::kinds()
{
    QFETCH(QString, path);
    QFETCH(DataFile::Kind, open);
    QFETCH(DataFile::Kind, savePoint);
    QFETCH(DataFile::Kind, saveComma);
    QCOMPARE(DataFile::kindOf(path), open);
    QCOMPARE(DataFile::saveKindOf(path, false), savePoint);
    QCOMPARE(DataFile::saveKindOf(path, true), saveComma);
}

void TestDataFile::filters()
{
    QCOMPARE(DataFile::dialogFilters(true),
             (QStringList{"Graph file(*.ghf,only for KV518) (*.GHF *.ghf)",
                          "TXT file(*.txt,data seperated by tab) (*.TXT *.txt)"}));
    QCOMPARE(DataFile::dialogFilters(false).last(),
             QStringLiteral("EXCEL file format(*.CSV,seperated by comma) (*.CSV *.csv)"));
    QCOMPARE(DataFile::defaultSuffix(), QStringLiteral("GHF"));
}

void TestDataFile::pointRange_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<qint64>("first");  // -1: "invalid integer"
    QTest::addColumn<qint64>("last");

    QTest::newRow("all ignores the boxes") << true << "x" << "y" << qint64(1) << qint64(10);
    QTest::newRow("as typed") << false << "3" << "8" << qint64(3) << qint64(8);
    QTest::newRow("swapped") << false << "8" << "3" << qint64(3) << qint64(8);
    QTest::newRow("beyond the points") << false << "1" << "50" << qint64(1) << qint64(10);
    QTest::newRow("both beyond: nothing") << false << "60" << "50" << qint64(50) << qint64(10);
    QTest::newRow("signs dropped") << false << "-2" << "+5" << qint64(2) << qint64(5);
    QTest::newRow("zero is one") << false << "0" << "0" << qint64(1) << qint64(0);
    QTest::newRow("blanks around") << false << " 2 " << "4 " << qint64(2) << qint64(4);
    QTest::newRow("64-bit minimum") << false << "-9223372036854775808" << "2" << qint64(2) << qint64(10);
    QTest::newRow("beyond 32 bits") << false << "4294967297" << "1" << qint64(1) << qint64(10);
    QTest::newRow("beyond 64 bits") << false << "9223372036854775808" << "1" << qint64(-1) << qint64(0);
    QTest::newRow("text") << false << "1" << "ten" << qint64(-1) << qint64(0);
    QTest::newRow("empty") << false << "" << "5" << qint64(-1) << qint64(0);
    QTest::newRow("decimal") << false << "1.5" << "5" << qint64(-1) << qint64(0);
}

void TestDataFile::pointRange()
{
    QFETCH(bool, all);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    const std::optional<DataFile::PointRange> r = DataFile::pointRange(all, from, to, 10);
    QCOMPARE(r.has_value(), first >= 0);
    if (!r)
        return;
    QCOMPARE(r->first, first);
    QCOMPARE(r->last, last);
    QCOMPARE(r->count(), std::max<qint64>(0, last - first + 1));
}

// Points read from a text file go onto both subsets; an unreadable date
// leaves the time the preparation gave; a range of the chart comes back out.
void TestDataFile::chartPointsInAndOut()
{
    ChartModel chart;
    chart.setSubsets(2);
    chart.setPoints(4);
    chart.fillData(0.0, 9999.0f);
    TextFilePoints read;
    read.x = {40000.5, 0.0, 40001.5};
    read.humidity = {25.0f, 30.0f, 9999.0f};
    read.temperature = {-5.0f, 6.5f, 7.0f};
    read.filled = 3;
    QVERIFY(DataFile::hasData(read));
    DataFile::setTextPoints(chart, read);
    QCOMPARE(chart.xDataII(1, 2), 40001.5);
    QCOMPARE(chart.xDataII(0, 1), 0.0);
    QCOMPARE(chart.yData(1, 1), 6.5f);
    QCOMPARE(chart.yData(0, 3), 9999.0f);

    const TextFilePoints out = DataFile::chartPoints(chart, 1, 99);
    QCOMPARE(out.x, (std::vector<double>{0.0, 40001.5, 0.0}));
    QCOMPARE(out.humidity, (std::vector<float>{30.0f, 9999.0f, 9999.0f}));
    QCOMPARE(out.temperature, (std::vector<float>{6.5f, 7.0f, 9999.0f}));

    read.x = {0.0, 0.0};
    read.filled = 2;
    QVERIFY(!DataFile::hasData(read));
}

QTEST_MAIN(TestDataFile)
#include "tst_datafile.moc"
