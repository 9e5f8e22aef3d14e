#include "TestFiles.h"

#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/chart/GraphFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <functional>
#include <limits>

#include <vector>

namespace {

// A model with every part of the state away from its defaults.
ChartModel richModel()
{
    ChartModel m;
    m.setSubsetByPoint(false);
    m.setSubsets(2);
    m.setPoints(5);
    const std::vector<double> x = {40000.0, 40000.0, 40000.1, 40000.1, 40000.2, 40000.2,
                                   40000.3, 40000.3, 40000.4, 40000.4};
    const std::vector<float> y = {55.5f, 21.25f, 56.0f, 9999.0f, -9999.0f, 22.0f, 57.0f, 23.0f, 58.0f, 24.0f};
    m.setXDataIIArray(x);
    m.setYDataArray(y);
    m.setUsingXDataII(true);
    m.setDateTimeMode(DateTimeMode::sgVBDateTime);
    m.setNullDataValueY(9999.0);
    m.setSubsetLabel(0, QStringLiteral("Humidity"));
    m.setSubsetLabel(1, QStringLiteral("Température"));
    m.setSubsetColor(0, PEargb(255, 255, 0, 0));
    m.setSubsetColor(1, PEargb(128, 0, 0, 255));
    m.setSubsetLineType(0, LineType::MediumSolid);
    m.setSubsetLineType(1, LineType::Dash);
    m.setPlottingMethod(PlottingMethod::sgSpline);
    m.setManualScaleControlX(ScaleControl::sgManualMinAndMax);
    m.setManualMinX(40000.0);
    m.setManualMaxX(40000.5);
    m.setWorkingAxis(1);
    m.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
    m.setManualMinY(-20.0);
    m.setManualMaxY(100.0);
    m.setYAxisLabel(QStringLiteral("°C"));
    m.setWorkingAxis(0);
    m.setMultiAxesSubsets(0, 1);
    m.setMultiAxesSubsets(1, 1);
    m.setMultiAxesProportions(0, 0.25);
    m.setMultiAxesProportions(1, 0.25);
    m.setMultiAxesSeparators(MultiAxesSeparator::sgThinLine);
    m.setMainTitle(QStringLiteral("Main"));
    m.setSubTitle(QStringLiteral(" "));
    m.setXAxisLabel(QStringLiteral("Time"));
    m.setShowGraphAnnotations(true);
    m.setGraphAnnotationTextSize(120);
    m.setGraphAnnotationX(4, 40000.2);
    m.setGraphAnnotationY(4, 50.0);
    m.setGraphAnnotationText(4, QStringLiteral("Door opened"));
    m.setGraphAnnotationType(7, AnnotationType::Cross);
    m.setGraphAnnotationColor(7, PEargb(255, 1, 2, 3));
    m.setShowVertLineAnnotations(true);
    m.setLineAnnotationTextSize(80);
    m.setVertLineAnnotation(1, 40000.1);
    m.setVertLineAnnotationType(1, VertLineType::Dashed);
    m.setVertLineAnnotationColor(1, PEargb(255, 0, 0, 255));
    m.setVertLineAnnotationText(1, QStringLiteral("A"));
    m.setAllowDataHotSpots(true);
    m.setAllowGraphAnnotHotSpots(true);
    m.setAllowVertLineAnnotHotSpots(true);
    m.setAllowZooming(ZoomMode::sgHorzPlusVertZooming);
    m.setScrollingHorzZoom(true);
    m.setScrollingVertZoom(true);
    m.setArrowCursor(ArrowCursor::sgCrossResource);
    m.setPrintStyleControl(PrintStyle::sgPrintDefaultMono);
    m.setBorderTypes(BorderType::sgSingleLine);
    m.setBitmapGradientMode(true);
    m.setDeskGradientStyle(DeskGradientStyle::sgVerticalGradient);
    m.setQuickStyle(QuickStyle::sgLightLine);
    m.setImageAdjustRight(-50);
    m.setGridStyle(GridStyle::sgDot);
    m.setFontSize(FontSize::sgLarge);
    m.setRenderEngine(RenderEngine::sgGdiPlus);
    m.setPrepareImages(true);
    m.setAllowDataLabels(DataLabels::sgNoDataLabels);
    m.setAllowArea(false);
    m.setAllowPopup(false);
    m.setNoHelp(true);
    m.setAllowAxisPage(true);
    m.setFocalRect(false);
    m.setNoRandomPointsToExport(true);
    m.setLineGapThreshold(1e30);
    return m;
}

} // namespace

class TestChartModel : public QObject
{
    Q_OBJECT

private slots:
    void pointOrderArrays()
    {
        const ChartModel m = richModel();
        // Point by point: the Y array holds humidity, temperature of each sample.
        QCOMPARE(m.yData(0, 0), 55.5f);
        QCOMPARE(m.yData(1, 0), 21.25f);
        QCOMPARE(m.yData(1, 1), 9999.0f);
        QCOMPARE(m.yData(0, 2), -9999.0f);
        QCOMPARE(m.xDataII(1, 4), 40000.4);
        QCOMPARE(m.yOfSubset(1).size(), size_t(5));
    }

    void subsetOrderArraysAndCells()
    {
        ChartModel m;
        m.setSubsets(2);
        m.setPoints(3);
        m.setSubsetByPoint(true);
        const std::vector<float> y = {1, 2, 3, 4, 5, 6, 7};
        QCOMPARE(m.setYDataArray(y), qsizetype(6)); // the extra element is ignored
        QCOMPARE(m.yData(0, 2), 3.0f);
        QCOMPARE(m.yData(1, 0), 4.0f);
        m.setYData(-1, 1, 9.0f); // every subset
        QCOMPARE(m.yData(0, 1), 9.0f);
        QCOMPARE(m.yData(1, 1), 9.0f);
        m.setYData(5, 0, 1.0f); // ignored
        QCOMPARE(m.yData(5, 0), 0.0f);
        m.setPoints(4); // keeps the cells that stay
        QCOMPARE(m.yData(1, 2), 6.0f);
        QCOMPARE(m.yData(1, 3), 0.0f);
        QVERIFY(!m.setPoints(-1));
        QVERIFY(!m.setSubsets(ChartModel::MaxSubsets + 1));
    }

    void multiAxesRemoval()
    {
        ChartModel m = richModel();
        m.setMultiAxesSubsets(-1, 0);
        m.setMultiAxesProportions(0, 1.0);
        QVERIFY(m.multiAxesSubsets().isEmpty());
        QCOMPARE(m.multiAxesProportions(0), 1.0);
        QCOMPARE(m.highestGraphAnnotationIndex(), 7);
    }

    void storeLoadKeepsEveryField()
    {
        const ChartModel original = richModel();
        ChartModel loaded;
        const Result<> read = loaded.load(original.store());
        QVERIFY2(read, qPrintable(read.message()));
        QVERIFY(loaded.state() == original.state());
        // Storing again gives the same bytes.
        QCOMPARE(loaded.store(), original.store());
        QCOMPARE(loaded.subsetLabel(1), QStringLiteral("Température"));
        loaded.setWorkingAxis(1);
        QCOMPARE(loaded.manualMaxY(), 100.0);
        QCOMPARE(loaded.yAxisLabel(), QStringLiteral("°C"));
        QCOMPARE(loaded.graphAnnotation(7).type, AnnotationType::Cross);
        QCOMPARE(loaded.vertLineAnnotation(1).text, QStringLiteral("A"));

    }

    void damagedRecordsFail_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = richModel().store();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("magic only") << good.left(4);
        QTest::newRow("cut in the data") << good.left(40);
        QTest::newRow("cut in the middle") << good.left(good.size() / 2);
        QTest::newRow("one byte short") << good.left(good.size() - 1);
        QTest::newRow("one byte extra") << good + QByteArray(1, '\0');
        QByteArray magic = good;
        magic[0] = 'X';
        QTest::newRow("wrong magic") << magic;
        QByteArray version = good;
        qToLittleEndian<quint32>(2, version.data() + 4);
        QTest::newRow("unknown version") << version;
        QByteArray points = good;
        qToLittleEndian<qint32>(0x7fffffff, points.data() + 12);
        QTest::newRow("huge point count") << points;
        QByteArray cells = good;
        qToLittleEndian<quint64>(quint64(1) << 40, cells.data() + 16);
        QTest::newRow("data count beyond the bytes") << cells;
        QByteArray subsets = good;
        qToLittleEndian<qint32>(-1, subsets.data() + 8);
        QTest::newRow("negative subsets") << subsets;
        // The record ends with AllowDataLabels (4 bytes), ten flags (1 byte
        // each) and LineGapThreshold (8 bytes).
        QByteArray lastEnum = good;
        qToLittleEndian<qint32>(77, lastEnum.data() + lastEnum.size() - 22);
        QTest::newRow("enum out of range") << lastEnum;
        QByteArray flag = good;
        flag[flag.size() - 9] = 2;
        QTest::newRow("flag neither 0 nor 1") << flag;
        QRandomGenerator rng(518);
        for (int i = 0; i < 4; ++i) {
            QByteArray noise(64 + i * 200, Qt::Uninitialized);
            for (char &c : noise)
                c = char(rng.bounded(256));
            QTest::newRow(qPrintable(QStringLiteral("random %1").arg(i))) << noise;
        }
        QByteArray randomBody = good;
        for (int i = 8; i < randomBody.size(); i += 7)
            randomBody[i] = char(rng.bounded(256));
        QTest::newRow("random body after a good header") << randomBody;

        // A NaN would reach the chart's sorts; a note index near the top of
        // int overflows the next note's number.
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        const auto changed = [](const std::function<void(ChartModel &)> &change) {
            ChartModel m = richModel();
            change(m);
            return m.store();
        };
        QTest::newRow("NaN time") << changed([&](ChartModel &m) { m.setXDataII(0, 1, nan); });
        QTest::newRow("infinite reading")
            << changed([&](ChartModel &m) { m.setYData(1, 0, std::numeric_limits<float>::infinity()); });
        QTest::newRow("NaN reading")
            << changed([&](ChartModel &m) { m.setYData(0, 0, std::numeric_limits<float>::quiet_NaN()); });
        QTest::newRow("infinite X limit") << changed([&](ChartModel &m) { m.setManualMaxX(inf); });
        QTest::newRow("NaN Y limit") << changed([&](ChartModel &m) { m.setManualMinY(nan); });
        QTest::newRow("NaN note place") << changed([&](ChartModel &m) { m.setGraphAnnotationY(4, nan); });
        QTest::newRow("note index 2147483647")
            << changed([](ChartModel &m) { m.setGraphAnnotationText(std::numeric_limits<qint32>::max(), "x"); });
        QTest::newRow("note index 1000001")
            << changed([](ChartModel &m) { m.setGraphAnnotationText(1'000'001, "x"); });
    }

    void damagedRecordsFail()
    {
        QFETCH(QByteArray, bytes);
        ChartModel m = richModel();
        const ChartState before = m.state();
        const Result<> read = m.load(bytes);
        QVERIFY(!read);
        QCOMPARE(read.code(), ErrorCode::Damaged);
        QVERIFY(read.message().startsWith(QLatin1String("The chart data is damaged (")));
        QVERIFY(m.state() == before);
    }

    void highestNoteIndexIsRead()
    {
        ChartModel m = richModel();
        m.setGraphAnnotationText(1'000'000, QStringLiteral("last"));
        ChartModel loaded;
        QVERIFY(loaded.load(m.store()));
        QCOMPARE(loaded.highestGraphAnnotationIndex(), 1'000'000);
    }

    // Graph files written before read to what they held and are written
    // back byte for byte, and a first chart writes the template it always
    // wrote (the settings nothing reads included).
    void storedFormatIsUnchanged_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("autoScale"); // the first preparation that wrote it, or -1
        QTest::newRow("template, automatic scales") << "template.autoscale.ghf" << 1;
        QTest::newRow("template, manual scales") << "template.manual.ghf" << 0;
        QTest::newRow("view with notes, split") << "view.ghf" << -1;
    }

    void storedFormatIsUnchanged()
    {
        QFETCH(QString, fixture);
        QFETCH(int, autoScale);
        const QString path = QDir(QStringLiteral(KV518_TESTDATA_DIR)).filePath(fixture);
        const QByteArray bytes = readFile(path);
        QVERIFY(!bytes.isEmpty());
        QTemporaryDir dir;
        ChartModel m;
        QVERIFY(LoadGraphFile(m, path));
        QCOMPARE(m.subsetLabel(1), QStringLiteral("Temperature"));
        QCOMPARE(m.state().xAxisLabel, QStringLiteral("Time"));
        QCOMPARE(m.vertLineAnnotation(2).text, QStringLiteral("B"));
        QCOMPARE(m.axis(1).scaleControl, autoScale == 0 ? ScaleControl::sgManualMinAndMax : ScaleControl::sgAutoScale);
        if (autoScale < 0) {
            QCOMPARE(m.points(), 10);
            QCOMPARE(m.multiAxesSubsets(), (QList<qint32>{1, 1}));
            QCOMPARE(m.graphAnnotation(m.highestGraphAnnotationIndex()).text, QStringLiteral("Door"));
            QCOMPARE(m.axis(1).manualMax, 40.0);
        }
        const QString saved = dir.filePath(QStringLiteral("saved.ghf"));
        QVERIFY(SaveGraphFile(m, saved));
        QCOMPARE(readFile(saved), bytes);
        if (autoScale >= 0) {
            PrepareChartContext context;
            context.programFolder = dir.path();
            context.autoScaleSetting = autoScale;
            PrepareChartArgs args;
            args.xMin = 39873.5;
            args.xMax = 39873.8;
            args.points = 7;
            ChartModel first;
            prepareChartModel(first, args, context);
            QCOMPARE(readFile(graphTemplatePath(dir.path())), bytes);
        }
    }

    void revisionsTellWhatChanged()
    {
        ChartModel m;
        const quint64 data = m.revision(ChartModel::Part::Data);
        const quint64 lines = m.revision(ChartModel::Part::VertLines);
        const quint64 looks = m.revision(ChartModel::Part::Looks);
        m.setVertLineAnnotation(1, 3.0);
        QCOMPARE(m.revision(ChartModel::Part::Data), data);
        QCOMPARE(m.revision(ChartModel::Part::Looks), looks);
        QVERIFY(m.revision(ChartModel::Part::VertLines) != lines);
    }
};

QTEST_GUILESS_MAIN(TestChartModel)
#include "tst_chartmodel.moc"
