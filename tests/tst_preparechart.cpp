#include "ScriptedPrompter.h"

#include "chart/ChartWidget.h"
#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/chart/GraphFile.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/PrepareChart.h"

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <vector>

namespace {

constexpr double kStart = 39873.5; // 2009-03-01 12:00
constexpr double kEnd = kStart + 0.3;

PrepareChartArgs args(int points = 30)
{
    PrepareChartArgs a;
    a.subsets = 2;
    a.yMax = 100.0f;
    a.yMin = -20.0f;
    a.xMin = kStart;
    a.xMax = kEnd;
    a.points = points;
    return a;
}

void fill(ChartModel &m)
{
    std::vector<double> x(2 * size_t(m.points()));
    std::vector<float> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = kStart + double(i / 2) / 100.0;
        y[i] = float(i);
    }
    m.setXDataIIArray(x);
    m.setYDataArray(y);
}

} // namespace

class TestPrepareChart : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PrepareChartContext m_context;

    QString templatePath() const { return graphTemplatePath(m_context.programFolder); }

private slots:
    void initTestCase()
    {
        // A refused file leaves one line with the reason; the tests expect it.
        QLoggingCategory::setFilterRules(QStringLiteral("kv518.chart.info=true"));
    }

    void init()
    {
        QFile::remove(templatePath());
        m_context.programFolder = m_dir.path();
        m_context.shippedFolder.clear();
        m_context.autoScaleSetting = 1;
    }

    void firstChartGetsTheLookAndWritesTheTemplate()
    {
        QVERIFY(!QFile::exists(templatePath()));
        ChartModel m;
        const PrepareChartResult r = prepareChartModel(m, args(), m_context);
        QVERIFY(!r.templateLoaded);
        QVERIFY(r.templateWritten);
        QVERIFY(QFile::exists(templatePath()));
        const ChartState &s = m.state();
        QCOMPARE(s.looks.plottingMethod, PlottingMethod::sgSpline);
        QCOMPARE(m.subsetLabel(0), QStringLiteral("Humidity"));
        QCOMPARE(m.subsetLabel(1), QStringLiteral("Temperature"));
        QCOMPARE(m.subsetColor(0), PEargb(255, 255, 0, 0));
        QCOMPARE(m.subsetColor(1), PEargb(255, 0, 0, 255));
        QCOMPARE(m.subsetLineType(1), LineType::MediumSolid);
        QCOMPARE(s.looks.subTitle, QStringLiteral(" "));
        QCOMPARE(s.xAxis.label, QStringLiteral("Time"));
        QCOMPARE(s.dateTimeMode, DateTimeMode::sgVBDateTime);
        QCOMPARE(s.looks.allowZooming, ZoomMode::sgHorzPlusVertZooming);
        QCOMPARE(s.multiAxesSubsets, (QList<qint32>{1, 1}));
        QCOMPARE(m.multiAxesProportions(0), 0.25);
        QCOMPARE(s.subsetByPoint, false);
        QCOMPARE(s.xAxis.scaleControl, ScaleControl::sgManualMinAndMax);
        QCOMPARE(s.xAxis.manualMin, kStart);
        QCOMPARE(s.xAxis.manualMax, kEnd);
        QVERIFY(s.looks.allowDataHotSpots);
    }

    void laterChartsStartFromTheTemplate()
    {
        ChartModel first;
        prepareChartModel(first, args(), m_context);
        // The user's look, saved as template (as after the customization dialog).
        ChartLooks looks = first.looks();
        looks.plottingMethod = PlottingMethod::sgLine;
        looks.setSubsetColor(0, PEargb(255, 1, 2, 3));
        QVERIFY(first.setLooks(looks));
        fill(first);
        QVERIFY(writeGraphTemplate(first, m_context.programFolder));

        ChartModel next;
        const PrepareChartResult r = prepareChartModel(next, args(40), m_context);
        QVERIFY(r.templateLoaded);
        QVERIFY(!r.templateWritten);
        QCOMPARE(next.looks().plottingMethod, PlottingMethod::sgLine); // no first-chart look
        QCOMPARE(next.subsetColor(0), PEargb(255, 1, 2, 3));
        // Nothing of the template's data survives, in any point.
        QCOMPARE(next.points(), 40);
        for (int s = 0; s < 2; ++s) {
            for (int p = 0; p < next.points(); ++p) {
                QCOMPARE(next.xDataII(s, p), 0.0);
                QCOMPARE(next.yData(s, p), 9999.0f);
            }
        }
    }

    // The template keeps the looks, scales and notes, not the points: every
    // preparation replaces them, and a large set made it tens of MB.
    void templateHoldsTheLooksOnly()
    {
        ChartModel first;
        prepareChartModel(first, args(100000), m_context);
        fill(first);
        ChartLooks looks = first.looks();
        looks.setSubsetColor(1, PEargb(255, 4, 5, 6));
        QVERIFY(first.setLooks(looks));
        QVERIFY(first.setGraphAnnotation(4, {kStart, 20.0, AnnotationType::Text, 0, QStringLiteral("kept")}));
        QVERIFY(writeGraphTemplate(first, m_context.programFolder));
        QVERIFY(QFileInfo(templatePath()).size() < 64 * 1024);
        ChartModel stored;
        QVERIFY(LoadGraphFile(stored, templatePath()));
        QCOMPARE(stored.points(), 0);
        QCOMPARE(stored.subsetColor(1), PEargb(255, 4, 5, 6));
        QCOMPARE(stored.graphAnnotation(4).text, QStringLiteral("kept"));
    }

    // Templates written before still hold their points; they are read, and
    // their points are gone from the prepared chart.
    void olderTemplateWithDataIsRead()
    {
        ChartModel old;
        prepareChartModel(old, args(50), m_context);
        fill(old);
        ChartLooks looks = old.looks();
        looks.setSubsetColor(0, PEargb(255, 7, 8, 9));
        QVERIFY(old.setLooks(looks));
        QVERIFY(SaveGraphFile(old, templatePath()));
        ChartModel next;
        QVERIFY(prepareChartModel(next, args(20), m_context).templateLoaded);
        QCOMPARE(next.subsetColor(0), PEargb(255, 7, 8, 9));
        QCOMPARE(next.points(), 20);
        QCOMPARE(next.xDataII(1, 19), 0.0);
        QCOMPARE(next.yData(0, 0), 9999.0f);
    }

    // A chart prepared without a usable X range (xMin 0) fits X to its data,
    // not to the manual range the template kept; notes answer double clicks
    // after every preparation, from a template or not.
    void preparationWithoutXRange()
    {
        ChartModel first;
        prepareChartModel(first, args(), m_context);
        QCOMPARE(first.xAxis().scaleControl, ScaleControl::sgManualMinAndMax);
        QVERIFY(first.looks().allowGraphAnnotHotSpots);
        first.edit([](ChartState &s) { s.looks.allowGraphAnnotHotSpots = false; });
        QVERIFY(writeGraphTemplate(first, m_context.programFolder));
        PrepareChartArgs none = args(4);
        none.xMin = 0.0;
        none.xMax = -3.0 * kStart;
        ChartModel text;
        QVERIFY(prepareChartModel(text, none, m_context).templateLoaded);
        QCOMPARE(text.xAxis().scaleControl, ScaleControl::sgAutoScale);
        QVERIFY(text.looks().allowGraphAnnotHotSpots);
    }

    void damagedTemplateIsRewritten()
    {
        QVERIFY(QDir().mkpath(graphTemplateFolder(m_context.programFolder)));
        QFile f(templatePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x10\x00\x00\x00garbage-garbage!", 20));
        f.close();
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^refused: .*graph\\.ghf.*damaged")));
        ChartModel m;
        const PrepareChartResult r = prepareChartModel(m, args(), m_context);
        QVERIFY(!r.templateLoaded);
        QVERIFY(r.templateWritten);
        QCOMPARE(m.looks().plottingMethod, PlottingMethod::sgSpline);
        ChartModel check;
        QVERIFY(LoadGraphFile(check, templatePath()));
    }

    void shippedTemplateIsReadWhenTheDataFolderHasNone()
    {
        QTemporaryDir shipped;
        ChartModel look;
        look.edit([](ChartState &s) { s.looks.plottingMethod = PlottingMethod::sgPoint; });
        QVERIFY(writeGraphTemplate(look, shipped.path()));
        m_context.shippedFolder = shipped.path();
        ChartModel m;
        const PrepareChartResult r = prepareChartModel(m, args(), m_context);
        QVERIFY(r.templateLoaded);
        QCOMPARE(m.looks().plottingMethod, PlottingMethod::sgPoint);
    }

    void autoScale_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("withTemplate");
        QTest::addColumn<ScaleControl>("control");
        QTest::addColumn<double>("minY");
        QTest::addColumn<double>("maxY");
        QTest::newRow("1, no template") << 1 << false << ScaleControl::sgAutoScale << 0.0 << 0.0;
        QTest::newRow("1, template with limits") << 1 << true << ScaleControl::sgAutoScale << 5.0 << 50.0;
        QTest::newRow("0, no template") << 0 << false << ScaleControl::sgManualMinAndMax << -20.0 << 100.0;
        QTest::newRow("0, template with limits") << 0 << true << ScaleControl::sgManualMinAndMax << 5.0 << 50.0;
        QTest::newRow("7 acts as 1") << 7 << false << ScaleControl::sgAutoScale << 0.0 << 0.0;
    }

    void autoScale()
    {
        QFETCH(int, setting);
        QFETCH(bool, withTemplate);
        QFETCH(ScaleControl, control);
        QFETCH(double, minY);
        QFETCH(double, maxY);
        if (withTemplate) {
            ChartModel look;
            prepareChartModel(look, args(), m_context);
            for (int axis : {0, 1})
                look.setAxis(axis, {ScaleControl::sgManualMinAndMax, 5.0, 50.0, {}});
            QVERIFY(writeGraphTemplate(look, m_context.programFolder));
        }
        m_context.autoScaleSetting = setting;
        ChartModel m;
        prepareChartModel(m, args(), m_context);
        for (int axis : {0, 1}) {
            QCOMPARE(m.axis(axis).scaleControl, control);
            QCOMPARE(m.axis(axis).manualMin, minY);
            QCOMPARE(m.axis(axis).manualMax, maxY);
        }
    }

    void cursorLinesAtOneAndTwoThirds()
    {
        ChartModel m;
        prepareChartModel(m, args(), m_context);
        const VertLineAnnotation a = m.vertLineAnnotation(1);
        const VertLineAnnotation b = m.vertLineAnnotation(2);
        QCOMPARE(a.x, kStart + (kEnd - kStart) / 3.0);
        QCOMPARE(b.x, kStart + 2.0 * (kEnd - kStart) / 3.0);
        QCOMPARE(a.type, VertLineType::Dashed);
        QCOMPARE(a.text, QStringLiteral("A"));
        QCOMPARE(a.color, PEargb(255, 0, 0, 255));
        QCOMPARE(b.text, QStringLiteral("B"));
        QCOMPARE(b.color, PEargb(255, 0, 255, 0));
        QCOMPARE(m.state().vertLines.textSize, 100);
        QVERIFY(m.state().vertLines.show);
        QVERIFY(m.looks().allowVertLineAnnotHotSpots);
    }

    void graphFileRoundTrip()
    {
        ChartModel m;
        prepareChartModel(m, args(), m_context);
        fill(m);
        QVERIFY(m.setGraphAnnotation(4, {kStart, 20.0, AnnotationType::Text, 0, QStringLiteral("note")}));
        const QString path = m_dir.filePath(QStringLiteral("chart.GHF"));
        const Result<> saved = SaveGraphFile(m, path);
        QVERIFY2(saved, qPrintable(saved.message()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(qFromLittleEndian<quint32>(bytes.constData()), quint32(bytes.size() - 4));
        ChartModel loaded;
        const Result<> read = LoadGraphFile(loaded, path);
        QVERIFY2(read, qPrintable(read.message()));
        QVERIFY(loaded.state() == m.state());
    }

    void brokenGraphFilesLeaveTheChart_data()
    {
        QTest::addColumn<QByteArray>("content");
        ChartModel m;
        fill(m);
        QByteArray body = m.store();
        QByteArray good(4, '\0');
        qToLittleEndian<quint32>(quint32(body.size()), good.data());
        good += body;
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short count") << good.left(3);
        QTest::newRow("truncated") << good.left(good.size() - 10);
        QByteArray huge = good;
        qToLittleEndian<quint32>(0xfffffff0u, huge.data());
        QTest::newRow("count beyond the file") << huge;
        QByteArray small = good;
        qToLittleEndian<quint32>(quint32(body.size() - 1), small.data());
        QTest::newRow("count one short of the state") << small;
    }

    void brokenGraphFilesLeaveTheChart()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(QStringLiteral("broken.ghf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        ChartModel m;
        prepareChartModel(m, args(), m_context);
        const ChartState before = m.state();
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^refused: .*broken\\.ghf")));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^refused: .*missing\\.ghf")));
        const Result<> read = LoadGraphFile(m, path);
        QVERIFY(!read);
        QVERIFY(read.message().contains(QDir::toNativeSeparators(path)));
        QVERIFY(m.state() == before);
        const Result<> missing = LoadGraphFile(m, m_dir.filePath(QStringLiteral("missing.ghf")));
        QCOMPARE(missing.code(), ErrorCode::Unreadable);
        QVERIFY(m.state() == before);
    }

    void uncreatableTemplateFolderIsReportedOncePerRun()
    {
        // A plain file where the program folder should be: nothing can go below it.
        const QString blocked = m_dir.filePath(QStringLiteral("blocked"));
        QFile f(blocked);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        ScriptedPrompter prompter;
        AppContext ctx(prompter, AppFolders(blocked, QString()));
        prompter.answerMessage(QMessageBox::Ok);
        ChartWidget chart;
        PrepareChartArgs a = args();
        PrepareChartResult r = PrepareChart(ctx, chart, a);
        QVERIFY(!r.templateWrite);
        QCOMPARE(prompter.messages,
                 QStringList{QStringLiteral("Cannot create ") + blocked + QStringLiteral("/template/ directory.")});
        // The chart was still prepared, and a second failure stays silent.
        QCOMPARE(chart.model().points(), 30);
        r = PrepareChart(ctx, chart, a);
        QVERIFY(!r.templateWrite);
        QCOMPARE(prompter.messages.size(), 1);
        // A save the user asked for is always reported, however often it fails.
        for (int i = 0; i < 2; ++i) {
            prompter.answerMessage(QMessageBox::Ok);
            QVERIFY(!SaveGraphTemplate(ctx, chart.model()));
            QCOMPARE(prompter.messages.size(), 2 + i);
            QCOMPARE(prompter.messages.last(), prompter.messages.first());
        }
        QVERIFY(prompter.unanswered.isEmpty());
    }
};

QTEST_MAIN(TestPrepareChart)
#include "tst_preparechart.moc"
