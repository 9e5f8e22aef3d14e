// The table models behind the data view's lists: the data set list over a
// store and the data list over a chart; and the archive window's run list
// with its filters and daylight-saving marks. Each is checked by Qt's model
// tester.
#include "ImageBuilder.h"

#include "core/archive/ArchiveRunModel.h"
#include "core/archive/DaylightSaving.h"
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

// Three runs: one in March (Celsius), one over the spring change of
// Central European time (Fahrenheit), one without samples in April.
QList<ArchiveRunInfo> threeRuns()
{
    ArchiveRunInfo march;
    march.id = 1;
    march.start = march.firstSample = QStringLiteral("2026-03-01T08:00:00");
    march.lastSample = QStringLiteral("2026-03-02T08:00:00");
    march.intervalSeconds = 60;
    march.unit = QStringLiteral("C");
    march.samples = 1441;
    march.versions = 2;
    march.humidityMin = 35.5f;
    march.humidityMax = 61.0f;
    march.temperatureMin = -2.5f;
    march.temperatureMax = 21.4f;
    march.firstDownloadUtc = QDateTime(QDate(2026, 3, 2), QTime(7, 30), Qt::UTC);
    march.firstDownloadUtcOffset = 3600;
    march.lastDownloadUtc = QDateTime(QDate(2026, 6, 1), QTime(10, 0), Qt::UTC);
    ArchiveRunInfo spring = march;
    spring.id = 2;
    spring.start = spring.firstSample = QStringLiteral("2026-03-28T12:00:00");
    spring.lastSample = QStringLiteral("2026-03-30T12:00:00");
    spring.intervalSeconds = 3600;
    spring.unit = QStringLiteral("F");
    spring.samples = 49;
    spring.versions = 1;
    ArchiveRunInfo empty;
    empty.id = 3;
    empty.start = QStringLiteral("2026-04-10T00:00:00");
    empty.intervalSeconds = 10;
    empty.unit = QStringLiteral("C");
    empty.versions = 1;
    return {march, spring, empty};
}

QTimeZone berlin()
{
    return QTimeZone("Europe/Berlin");
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
    void archiveRunList_data();
    void archiveRunList();
    void daylightSavingChange_data();
    void daylightSavingChange();
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

void TestListModels::archiveRunList_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qint64>>("shown"); // run ids, in row order
    QTest::newRow("all, newest start first") << QDate() << QDate() << QString() << QList<qint64>{3, 2, 1};
    QTest::newRow("from the end day of a run") << QDate(2026, 3, 2) << QDate() << QString() << QList<qint64>{3, 2, 1};
    QTest::newRow("from the day after") << QDate(2026, 3, 3) << QDate() << QString() << QList<qint64>{3, 2};
    QTest::newRow("to the start day of a run") << QDate() << QDate(2026, 3, 28) << QString() << QList<qint64>{2, 1};
    QTest::newRow("one day inside a run") << QDate(2026, 3, 29) << QDate(2026, 3, 29) << QString()
                                          << QList<qint64>{2};
    QTest::newRow("a run without samples on its start day")
        << QDate(2026, 4, 10) << QDate(2026, 4, 10) << QString() << QList<qint64>{3};
    QTest::newRow("between runs") << QDate(2026, 3, 10) << QDate(2026, 3, 20) << QString() << QList<qint64>{};
    QTest::newRow("text: the unit, any case") << QDate() << QDate() << QStringLiteral("\u00b0f") << QList<qint64>{2};
    QTest::newRow("text: a sample count") << QDate() << QDate() << QStringLiteral(" 1441 ") << QList<qint64>{1};
    QTest::newRow("text: the daylight-saving mark") << QDate() << QDate() << QStringLiteral("DST")
                                                    << QList<qint64>{2};
    QTest::newRow("text: a date of any column") << QDate() << QDate() << QStringLiteral("6/1/2026")
                                                << QList<qint64>{2, 1};
    QTest::newRow("text: across a date and its time") << QDate() << QDate() << QStringLiteral("3/2/2026 8:00")
                                                      << QList<qint64>{1};
    QTest::newRow("text: a time without its date") << QDate() << QDate() << QStringLiteral("8:30")
                                                   << QList<qint64>{2, 1};
    QTest::newRow("text: a download's time in the zone") << QDate() << QDate() << QStringLiteral("12:00:00 PM")
                                                         << QList<qint64>{2, 1};
    QTest::newRow("text and dates") << QDate(2026, 3, 1) << QDate(2026, 3, 31) << QStringLiteral("\u00b0C")
                                    << QList<qint64>{1};
    QTest::newRow("text nowhere") << QDate() << QDate() << QStringLiteral("xyz") << QList<qint64>{};
}

void TestListModels::archiveRunList()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, text);
    QFETCH(QList<qint64>, shown);
    ArchiveRunModel model(us(), berlin());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRuns(threeRuns());
    model.setDateRange(from, to);
    model.setTextFilter(text);
    QList<qint64> ids;
    for (int r = 0; r < model.rowCount(); ++r)
        ids << model.index(r, 0).data(ArchiveRunModel::RunIdRole).toLongLong();
    QCOMPARE(ids, shown);
    QCOMPARE(model.runCount(), 3);

    // Every cell of the March run, wherever it is shown; the empty run has
    // no extremes.
    if (const int row = model.rowOf(1); row >= 0) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.index(row, c).data().toString();
        QCOMPARE(cells, (QStringList{"3/1/2026 8:00:00 AM", "3/2/2026 8:00:00 AM", "01:00", "1441", "\u00b0C", "35.5",
                                     "61.0", "-2.5", "21.4", "3/2/2026 8:30:00 AM", "6/1/2026 12:00:00 PM", "2", "",
                                     "Download", "", "", "", ""}));
        QVERIFY(!model.crossesDaylightSaving(row));
    }
    if (const int row = model.rowOf(3); row >= 0) {
        QCOMPARE(model.text(row, ArchiveRunModel::End), QString());
        QCOMPARE(model.text(row, ArchiveRunModel::HumidityMax), QString());
    }
    if (const int row = model.rowOf(2); row >= 0) {
        QVERIFY(model.crossesDaylightSaving(row));
        QVERIFY(!model.index(row, ArchiveRunModel::DaylightSaving).data(Qt::ToolTipRole).toString().isEmpty());
    }
}

void TestListModels::daylightSavingChange_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("changes");
    QTest::newRow("a winter week") << "2026-01-05T00:00:00" << "2026-01-12T00:00:00" << false;
    QTest::newRow("over the spring change") << "2026-03-29T01:30:00" << "2026-03-29T03:30:00" << true;
    QTest::newRow("starting in the skipped hour") << "2026-03-29T02:30:00" << "2026-03-29T05:00:00" << false;
    QTest::newRow("over the autumn change") << "2026-10-24T12:00:00" << "2026-10-26T12:00:00" << true;
    QTest::newRow("a whole summer, same offset at both ends") << "2026-03-01T00:00:00" << "2026-11-30T00:00:00"
                                                             << true;
    QTest::newRow("the ends reversed") << "2026-03-30T00:00:00" << "2026-03-28T00:00:00" << false;
    QTest::newRow("no time") << "" << "2026-03-30T00:00:00" << false;
}

void TestListModels::daylightSavingChange()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(bool, changes);
    QCOMPARE(DaylightSaving::changesWithin(first, last, berlin()), changes);
    // A zone without daylight saving never changes.
    QVERIFY(!DaylightSaving::changesWithin(first, last, QTimeZone::utc()));
}

QTEST_GUILESS_MAIN(TestListModels)
#include "tst_listmodels.moc"
