// The table models behind the data view's lists: the data set list over a
// store and the data list over a chart, each checked by Qt's model tester.
#include "ImageBuilder.h"

#include "core/chart/ChartModel.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/TDataSetStore.h"
#include "Outcome.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <vector>

namespace {

TDataSetStore loaded(const QByteArray &image)
{
    TDataSetStore store;
    if (!store.load(image, image.size()))
        qWarning("the test image did not load");
    return store;
}

QStringList rowTexts(const DataSetListModel &model, int row)
{
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts << model.index(row, c).data().toString();
    return texts;
}

const QLocale &us()
{
    static const QLocale locale(QStringLiteral("en_US"));
    return locale;
}

} // namespace

class TestListModels : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void dataSetListHeadings();
    void dataSetListRows_data();
    void dataSetListRows();
    void dataSetListRefills();
    void dataListFollowsTheChart();
};

void TestListModels::dataSetListHeadings()
{
    DataSetListModel model(us());
    QStringList headings;
    for (int c = 0; c < model.columnCount(); ++c)
        headings << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headings, (QStringList{"Set", "DATE", "TIME", "Rate", "Num.", "Type", "Unit"}));
    QVERIFY(!model.headerData(7, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestListModels::dataSetListRows_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::newRow("the sample collection")
        << ImageBuilder::sampleCollection().build()
        << QList<QStringList>{{"1", "3/1/2009", "10:20:00", "01:00", "10", "", "C"},
                              {"2", "7/15/2010", "23:50:00", "05:00", "5", "", "F"},
                              {"3", "12/31/2021", "23:59:58", "00:01", "6", "", "C"}};
    ImageSet slow;
    slow.every(6000).ramp(3, 400, 1, 200, 1);
    QTest::newRow("6000 s keeps its hundred minutes")
        << ImageBuilder().add(slow).build()
        << QList<QStringList>{{"1", "3/1/2009", "10:20:00", "100:00", "3", "", "C"}};
    ImageSet empty;
    empty.every(90).fahrenheit();
    QTest::newRow("a set without samples") << ImageBuilder().add(empty).build()
                                           << QList<QStringList>{{"1", "3/1/2009", "10:20:00", "01:30", "0", "", "F"}};
}

void TestListModels::dataSetListRows()
{
    QFETCH(QByteArray, image);
    QFETCH(QList<QStringList>, rows);
    DataSetListModel model(us());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.fill(loaded(image));
    QCOMPARE(model.rowCount(), rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        QCOMPARE(rowTexts(model, r), rows.at(r));
        QVERIFY(model.showsDataSet(r));
    }
    QVERIFY(model.text(rows.size(), DataSetListModel::Set).isEmpty());
}

void TestListModels::dataSetListRefills()
{
    DataSetListModel model(us());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    // Before any data set: one row of empty cells, which names no set.
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(rowTexts(model, 0), QStringList(7, QString()));
    QVERIFY(!model.showsDataSet(0));

    model.fill(loaded(ImageBuilder::sampleCollection().build()));
    QCOMPARE(model.rowCount(), 3);
    ImageSet one;
    one.ramp(7, 400, 5, 200, 3);
    model.fill(loaded(ImageBuilder().add(one).build()));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.text(0, DataSetListModel::Num), QStringLiteral("7"));
    model.fill(TDataSetStore());
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(!model.showsDataSet(0));
    QCOMPARE(resets.size(), 3);
}

void TestListModels::dataListFollowsTheChart()
{
    ChartModel chart;
    chart.edit([](ChartState &s) { s.subsetByPoint = false; });
    chart.setSubsets(2);
    chart.setPoints(50);
    const std::vector<double> x(100, 40000.5);
    chart.setXDataIIArray(x);
    DataListModel model(chart);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.fill();
    QCOMPARE(model.rowCount(), 50);
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("HUMIDITY"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Temp"));
    // Prepared anew with fewer points: old rows answer empty until the next fill.
    chart.setPoints(3);
    QVERIFY(model.text(10, DataListModel::No).isEmpty());
    model.fill();
    QCOMPARE(model.rowCount(), 3);
    chart.setPoints(0);
    model.fill();
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestListModels)
#include "tst_listmodels.moc"
