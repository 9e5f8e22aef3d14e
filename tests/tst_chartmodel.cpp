#include "TestFiles.h"

#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/chart/GraphFile.h"
#include "core/data/DateTimeText.h"

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
    m.edit([](ChartState &s) { s.subsetByPoint = false; });
    m.setSubsets(2);
    m.setPoints(5);
    const std::vector<double> x = {40000.0, 40000.0, 40000.1, 40000.1, 40000.2, 40000.2,
                                   40000.3, 40000.3, 40000.4, 40000.4};
    const std::vector<float> y = {55.5f, 21.25f, 56.0f, 9999.0f, -9999.0f, 22.0f, 57.0f, 23.0f, 58.0f, 24.0f};
    m.setXDataIIArray(x);
    m.setYDataArray(y);
    const bool edited = m.edit([](ChartState &s) {
        s.dateTimeMode = DateTimeMode::sgVBDateTime;
        s.nullDataValueY = 9999.0;
        s.xAxis = {ScaleControl::sgManualMinAndMax, 40000.0, 40000.5, QStringLiteral("Time")};
        s.axes = {AxisSettings(), {ScaleControl::sgManualMinAndMax, -20.0, 100.0, QStringLiteral("°C")}};
        s.multiAxesSubsets = {1, 1};
        s.multiAxesProportions = {0.25, 0.25};
        ChartLooks &l = s.looks;
        l.setSubsetLabel(0, QStringLiteral("Humidity"));
        l.setSubsetLabel(1, QStringLiteral("Température"));
        l.setSubsetColor(0, PEargb(255, 255, 0, 0));
        l.setSubsetColor(1, PEargb(128, 0, 0, 255));
        l.setSubsetLineType(0, LineType::MediumSolid);
        l.setSubsetLineType(1, LineType::Dash);
        l.plottingMethod = PlottingMethod::sgSpline;
        l.multiAxesSeparators = MultiAxesSeparator::sgThinLine;
        l.mainTitle = QStringLiteral("Main");
        l.subTitle = QStringLiteral(" ");
        l.allowDataHotSpots = l.allowGraphAnnotHotSpots = l.allowVertLineAnnotHotSpots = true;
        l.allowZooming = ZoomMode::sgHorzPlusVertZooming;
        l.scrollingHorzZoom = l.scrollingVertZoom = true;
        l.arrowCursor = ArrowCursor::sgCrossResource;
        l.printStyleControl = PrintStyle::sgPrintDefaultMono;
        l.bitmapGradientMode = true;
        l.deskGradientStyle = DeskGradientStyle::sgVerticalGradient;
        l.quickStyle = QuickStyle::sgLightLine;
        l.gridStyle = GridStyle::sgDot;
        l.fontSize = FontSize::sgLarge;
        s.graphAnnotations.show = true;
        s.graphAnnotations.textSize = 120;
        s.graphAnnotations.items[4] = {40000.2, 50.0, AnnotationType::Text, PEargb(255, 0, 0, 0),
                                       QStringLiteral("Door opened")};
        s.graphAnnotations.items[7].type = AnnotationType::Cross;
        s.graphAnnotations.items[7].color = PEargb(255, 1, 2, 3);
        s.vertLines.show = true;
        s.vertLines.textSize = 80;
        s.vertLines.items[1] = {40000.1, VertLineType::Dashed, PEargb(255, 0, 0, 255), QStringLiteral("A")};
    });
    Q_ASSERT(edited);
    m.recordSetUp(ChartModel::SetUp::Prepared);
    m.recordSetUp(ChartModel::SetUp::FirstLooks);
    m.recordSetUp(ChartModel::SetUp::FileView);
    return m;
}

// The stored record of richModel() after a change, with the bytes of a marker
// value the change put in replaced by others: what a damaged file may hold,
// and the model never does.
template <typename T>
QByteArray patchedRecord(const std::function<void(ChartState &)> &change, T marker, T replacement)
{
    ChartModel m = richModel();
    if (!m.edit(change))
        qFatal("the marker edit was refused");
    QByteArray from(sizeof(T), Qt::Uninitialized);
    QByteArray to(sizeof(T), Qt::Uninitialized);
    qToLittleEndian<T>(marker, from.data());
    qToLittleEndian<T>(replacement, to.data());
    QByteArray bytes = m.store();
    if (bytes.count(from) != 1)
        qFatal("the marker is not unique in the record");
    return bytes.replace(from, to);
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
        QCOMPARE(loaded.axis(1).manualMax, 100.0);
        QCOMPARE(loaded.axis(1).label, QStringLiteral("°C"));
        QCOMPARE(loaded.graphAnnotation(7).type, AnnotationType::Cross);
        QCOMPARE(loaded.vertLineAnnotation(1).text, QStringLiteral("A"));
        QCOMPARE(loaded.state().storedOnly.allowBar, false);
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
        const auto changedCells = [](const std::function<void(ChartModel &)> &change) {
            ChartModel m = richModel();
            change(m);
            return m.store();
        };
        QTest::newRow("NaN time") << changedCells([&](ChartModel &m) { m.setXDataII(0, 1, nan); });
        QTest::newRow("infinite reading")
            << changedCells([&](ChartModel &m) { m.setYData(1, 0, std::numeric_limits<float>::infinity()); });
        QTest::newRow("NaN reading")
            << changedCells([&](ChartModel &m) { m.setYData(0, 0, std::numeric_limits<float>::quiet_NaN()); });
        constexpr double marker = 12345.125;
        QTest::newRow("infinite X limit")
            << patchedRecord<double>([&](ChartState &s) { s.xAxis.manualMax = marker; }, marker, inf);
        QTest::newRow("NaN Y limit")
            << patchedRecord<double>([&](ChartState &s) { s.axes[1].manualMin = marker; }, marker, nan);
        QTest::newRow("NaN note place")
            << patchedRecord<double>([&](ChartState &s) { s.graphAnnotations.items[4].y = marker; }, marker, nan);
        const auto topNote = [](ChartState &s) { s.graphAnnotations.items[ChartModel::MaxAnnotationIndex].text = "x"; };
        QTest::newRow("note index 2147483647")
            << patchedRecord<qint32>(topNote, ChartModel::MaxAnnotationIndex, std::numeric_limits<qint32>::max());
        QTest::newRow("note index 1000001")
            << patchedRecord<qint32>(topNote, ChartModel::MaxAnnotationIndex, ChartModel::MaxAnnotationIndex + 1);
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

    // Times no logger can hold would overflow the durations figured from them.
    void timesOutsideTheShownDatesFail_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("loads");
        QTest::newRow("1e300 days") << 1e300 << false;
        QTest::newRow("1e14 days") << 1e14 << false;
        QTest::newRow("1e13 days") << 1e13 << false;
        QTest::newRow("-1e300 days") << -1e300 << false;
        QTest::newRow("day before 0001-01-01") << FrameworkTime::FirstShownDay - 1e-6 << false;
        QTest::newRow("day after 9999-12-31") << FrameworkTime::EndOfShownDays << false;
        QTest::newRow("0001-01-01") << FrameworkTime::FirstShownDay << true;
        QTest::newRow("9999-12-31 23:59") << FrameworkTime::EndOfShownDays - 0.001 << true;
        QTest::newRow("unfilled point") << 0.0 << true;
    }

    void timesOutsideTheShownDatesFail()
    {
        QFETCH(double, time);
        QFETCH(bool, loads);
        ChartModel source = richModel();
        source.setXDataII(0, 4, time);
        ChartModel m;
        const Result<> read = m.load(source.store());
        QCOMPARE(bool(read), loads);
        if (!loads)
            QCOMPARE(read.message(),
                     QStringLiteral("The chart data is damaged (a time outside the dates the program can show)."));
    }

    void highestNoteIndexIsRead()
    {
        ChartModel m = richModel();
        QVERIFY(m.setGraphAnnotation(ChartModel::MaxAnnotationIndex, {0.0, 0.0, 0, 0, QStringLiteral("last")}));
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
        QCOMPARE(m.xAxis().label, QStringLiteral("Time"));
        QCOMPARE(m.vertLineAnnotation(2).text, QStringLiteral("B"));
        QCOMPARE(m.axis(1).scaleControl, autoScale == 0 ? ScaleControl::sgManualMinAndMax : ScaleControl::sgAutoScale);
        if (autoScale < 0) {
            QCOMPARE(m.points(), 10);
            QCOMPARE(m.state().multiAxesSubsets, (QList<qint32>{1, 1}));
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

    // An edit raises the revision of each part it changed and of no other,
    // so the widget rebuilds what changed: a stale part shows old content.
    void editsRaiseTheRevisionsOfWhatChanged_data()
    {
        using Part = ChartModel::Part;
        QTest::addColumn<std::function<void(ChartModel &)>>("change");
        QTest::addColumn<QList<Part>>("changed");
        auto row = [](const char *name, std::function<void(ChartModel &)> change, QList<Part> parts) {
            QTest::newRow(name) << change << parts;
        };
        row("a cursor line moves", [](ChartModel &m) {
            VertLineAnnotation a = m.vertLineAnnotation(1);
            a.x += 0.01;
            m.setVertLineAnnotation(1, a);
        }, {Part::VertLines});
        row("a note", [](ChartModel &m) { m.setGraphAnnotation(9, {40000.1, 20.0, 0, 0, QStringLiteral("n")}); },
            {Part::Annotations});
        row("a Y axis", [](ChartModel &m) { m.setAxis(0, {ScaleControl::sgManualMin, 3.0, 0.0, {}}); }, {Part::Looks});
        row("the looks", [](ChartModel &m) {
            ChartLooks l = m.looks();
            l.gridStyle = GridStyle::sgDash;
            m.setLooks(l);
        }, {Part::Looks});
        // The X values are read as days or as plain numbers.
        row("date-time mode", [](ChartModel &m) { m.edit([](ChartState &s) { s.dateTimeMode = {}; }); }, {Part::Data});
        row("a cell", [](ChartModel &m) { m.setYData(0, 1, 1.5f); }, {Part::Data});
        row("cells and looks in one edit", [](ChartModel &m) {
            m.edit([](ChartState &s) {
                s.y[0] = 2.5f;
                s.looks.showLegend = false;
            });
        }, {Part::Data, Part::Looks});
        row("the same values again", [](ChartModel &m) { m.setLooks(m.looks()); }, {});
        row("what only graph files keep", [](ChartModel &m) { m.recordSetUp(ChartModel::SetUp::YAxesEdited); }, {});
    }

    void editsRaiseTheRevisionsOfWhatChanged()
    {
        using Part = ChartModel::Part;
        QFETCH(std::function<void(ChartModel &)>, change);
        QFETCH(QList<Part>, changed);
        ChartModel m = richModel();
        QList<quint64> before;
        for (Part p : {Part::Data, Part::VertLines, Part::Annotations, Part::Looks})
            before << m.revision(p);
        change(m);
        int i = 0;
        for (Part p : {Part::Data, Part::VertLines, Part::Annotations, Part::Looks})
            QVERIFY2((m.revision(p) != before[i++]) == changed.contains(p), qPrintable(QString::number(int(p))));
    }

    // An edit the chart could not store and read again is refused whole.
    void unstorableEditsAreRefused_data()
    {
        QTest::addColumn<std::function<bool(ChartModel &)>>("change");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("NaN limit") << std::function<bool(ChartModel &)>(
            [nan](ChartModel &m) { return m.setAxis(1, {ScaleControl::sgManualMinAndMax, nan, 5.0, {}}); });
        QTest::newRow("axis beyond the last") << std::function<bool(ChartModel &)>(
            [](ChartModel &m) { return m.setAxis(ChartModel::MaxAxes, {}); });
        QTest::newRow("note number beyond 1,000,000") << std::function<bool(ChartModel &)>(
            [](ChartModel &m) { return m.setGraphAnnotation(ChartModel::MaxAnnotationIndex + 1, {}); });
        QTest::newRow("negative note number") << std::function<bool(ChartModel &)>(
            [](ChartModel &m) { return m.setGraphAnnotation(-1, {}); });
        QTest::newRow("unknown line type") << std::function<bool(ChartModel &)>([](ChartModel &m) {
            ChartLooks l = m.looks();
            l.setSubsetLineType(1, LineType::Last + 1);
            return m.setLooks(l);
        });
        QTest::newRow("unknown plotting method") << std::function<bool(ChartModel &)>([](ChartModel &m) {
            ChartLooks l = m.looks();
            l.plottingMethod = PlottingMethod(9);
            return m.setLooks(l);
        });
        QTest::newRow("text size 0") << std::function<bool(ChartModel &)>(
            [](ChartModel &m) { return m.edit([](ChartState &s) { s.vertLines.textSize = 0; }); });
        QTest::newRow("cells that do not fit the points") << std::function<bool(ChartModel &)>(
            [](ChartModel &m) { return m.edit([](ChartState &s) { s.points += 1; }); });
    }

    void unstorableEditsAreRefused()
    {
        QFETCH(std::function<bool(ChartModel &)>, change);
        ChartModel m = richModel();
        const ChartState before = m.state();
        const quint64 looks = m.revision(ChartModel::Part::Looks);
        QVERIFY(!change(m));
        QVERIFY(m.state() == before);
        QCOMPARE(m.revision(ChartModel::Part::Looks), looks);
        QVERIFY(m.load(m.store()));
    }
};

QTEST_GUILESS_MAIN(TestChartModel)
#include "tst_chartmodel.moc"
