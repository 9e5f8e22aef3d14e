#include "chart/ChartPaint.h"
#include "chart/ChartWidget.h"
#include "core/chart/ChartPreparation.h"

#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace {

constexpr double kStart = 39873.5; // 2009-03-01 12:00
constexpr int kPoints = 100;
constexpr double kStep = 60.0 / 86400.0;

double timeOf(int i)
{
    return kStart + i * kStep;
}

} // namespace

class TestChartWidget : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ChartWidget> m_chart;

    ChartWidget &chart() { return *m_chart; }

    QList<QCPItemStraightLine *> limitItems()
    {
        QList<QCPItemStraightLine *> lines;
        for (int i = 0; i < chart().plot()->itemCount(); ++i) {
            if (auto *line = qobject_cast<QCPItemStraightLine *>(chart().plot()->item(i)))
                lines << line;
        }
        return lines;
    }

    void unsplit()
    {
        arrangeSplitAxes(chart().model(), false);
        chart().redraw();
    }

private slots:
    void init()
    {
        m_chart = std::make_unique<ChartWidget>();
        chart().setFixedSize(800, 500);
        chart().show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart()));
        PrepareChartArgs args;
        args.xMin = timeOf(0);
        args.xMax = timeOf(kPoints);
        args.points = kPoints;
        PrepareChartContext context;
        context.programFolder = m_dir.path();
        prepareChartModel(chart().model(), args, context);
        std::vector<double> x(2 * kPoints);
        std::vector<float> y(2 * kPoints);
        for (int i = 0; i < kPoints; ++i) {
            x[2 * i] = x[2 * i + 1] = timeOf(i);
            y[2 * i] = float(20 + (i * 7) % 60);
            y[2 * i + 1] = float(15 + i % 10);
        }
        chart().model().setXDataIIArray(x);
        chart().model().setYDataArray(y);
        chart().redraw();
    }

    void cleanup()
    {
        m_chart.reset();
    }

    void clickOnPointReportsIt_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("subset");
        QTest::addColumn<bool>("split");
        QTest::newRow("humidity, split") << 10 << 0 << true;
        QTest::newRow("temperature, split") << 12 << 1 << true;
        QTest::newRow("humidity, shared axis") << 80 << 0 << false;
    }

    void clickOnPointReportsIt()
    {
        QFETCH(int, point);
        QFETCH(int, subset);
        QFETCH(bool, split);
        if (!split)
            unsplit();
        const QPointF p = chart().dataToPixel(timeOf(point), chart().model().yData(subset, point),
                                              split ? subset : 0);
        QSignalSpy hot(&chart(), &ChartWidget::OnDataHotSpot);
        QSignalSpy click(&chart(), &ChartWidget::OnClick);
        QSignalSpy up(&chart(), &ChartWidget::OnMouseUp);
        QTest::mouseClick(chart().plot(), Qt::LeftButton, {}, p.toPoint());
        QCOMPARE(hot.size(), 1);
        QCOMPARE(hot[0][0].toInt(), point);
        QCOMPARE(hot[0][1].toInt(), subset);
        QCOMPARE(click.size(), 1);
        QCOMPARE(up.size(), 1);
        QCOMPARE(chart().lastMousePosition(), p.toPoint());
    }

    void clickAwayFromDataReportsNoPoint()
    {
        chart().model().edit([](ChartState &s) { s.looks.allowDataHotSpots = false; });
        const QPointF p = chart().dataToPixel(timeOf(10), chart().model().yData(0, 10));
        QSignalSpy hot(&chart(), &ChartWidget::OnDataHotSpot);
        QTest::mouseClick(chart().plot(), Qt::LeftButton, {}, p.toPoint());
        QCOMPARE(hot.size(), 0);
    }

    void clickOnVerticalLineReportsIt()
    {
        const double x = chart().model().vertLineAnnotation(2).x;
        const QPoint p(qRound(chart().dataToPixel(x, 0).x()) + 1, chart().plottingRect().center().y());
        QSignalSpy line(&chart(), &ChartWidget::OnVertLineAnnotHotSpot);
        QSignalSpy hot(&chart(), &ChartWidget::OnDataHotSpot);
        QTest::mousePress(chart().plot(), Qt::LeftButton, {}, p);
        QCOMPARE(line.size(), 1);
        QCOMPARE(line[0][0].toInt(), 2);
        QSignalSpy move(&chart(), &ChartWidget::OnMouseMove);
        QTest::mouseMove(chart().plot(), p + QPoint(30, 0));
        QCOMPARE(move.size(), 1);
        QTest::mouseRelease(chart().plot(), Qt::LeftButton, {}, p + QPoint(30, 0));
        QCOMPARE(hot.size(), 0); // grabbing a line selects no point
    }

    void notesAndCrossesReportClicks()
    {
        unsplit();
        ChartModel &m = chart().model();
        m.setGraphAnnotation(4, {timeOf(50), 90.0, AnnotationType::Text, PEargb(255, 0, 0, 0),
                                 QStringLiteral("Door opened")});
        m.setGraphAnnotation(5, {timeOf(20), 5.0, AnnotationType::Cross, PEargb(255, 0, 0, 0), {}});
        chart().redraw();
        QSignalSpy spy(&chart(), &ChartWidget::OnGraphAnnotHotSpot);
        const QPoint note = chart().dataToPixel(timeOf(50), 90.0).toPoint() + QPoint(8, 0);
        QTest::mouseClick(chart().plot(), Qt::LeftButton, {}, note);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toInt(), 4);
        QCOMPARE(spy[0][1].toBool(), false);
        spy.clear();
        QTest::mouseDClick(chart().plot(), Qt::LeftButton, {}, note);
        bool doubled = false;
        for (const auto &args : spy)
            doubled = doubled || (args[0].toInt() == 4 && args[1].toBool());
        QVERIFY(doubled);
        spy.clear();
        QTest::mouseClick(chart().plot(), Qt::LeftButton, {}, chart().dataToPixel(timeOf(20), 5.0).toPoint());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toInt(), 5);
    }

    void pixelToDataInvertsDataToPixel_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::newRow("start") << timeOf(0) << 20.0;
        QTest::newRow("middle") << timeOf(37) << 55.5;
        QTest::newRow("outside") << timeOf(130) << -40.0;
    }

    void pixelToDataInvertsDataToPixel()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        const QPointF back = chart().pixelToData(chart().dataToPixel(x, y));
        QVERIFY(qAbs(back.x() - x) < 1e-9);
        QVERIFY(qAbs(back.y() - y) < 1e-9);
        QVERIFY(chart().plottingRect().contains(chart().dataToPixel(timeOf(50), 50.0).toPoint()));
    }

    void zoomAndUndo()
    {
        const auto fullX = chart().visibleXRange();
        const auto fullY = chart().visibleYRange(0);
        QCOMPARE(fullX.first, timeOf(0));
        QCOMPARE(fullX.second, timeOf(kPoints));
        QSignalSpy zoomed(&chart(), &ChartWidget::OnZoomIn);
        const QRect area = chart().plottingRect();
        const QPoint from(area.left() + 100, area.top() + 40);
        const QPoint to(area.left() + 300, area.top() + 120);
        QTest::mousePress(chart().plot(), Qt::LeftButton, {}, from);
        QTest::mouseMove(chart().plot(), from + QPoint(20, 10));
        QTest::mouseMove(chart().plot(), to);
        QTest::mouseRelease(chart().plot(), Qt::LeftButton, {}, to);
        QCOMPARE(zoomed.size(), 1);
        QVERIFY(chart().isZoomed());
        const auto zx = chart().visibleXRange();
        QVERIFY(zx.first > fullX.first && zx.second < fullX.second);
        QVERIFY(chart().visibleYRange(0).second < fullY.second);
        chart().setPEactions(ChartWidget::PEaction::sgUndoZoom);
        QVERIFY(!chart().isZoomed());
        QCOMPARE(chart().visibleXRange(), fullX);
        QCOMPARE(chart().visibleYRange(0), fullY);
    }

    void zeroWidthRangesStillDraw()
    {
        ChartModel &m = chart().model();
        AxisSettings x = m.xAxis();
        x.manualMin = x.manualMax = timeOf(5);
        m.setXAxis(x);
        m.setAxis(0, {ScaleControl::sgManualMinAndMax, 50.0, 50.0, {}});
        chart().redraw();
        const auto shown = chart().visibleXRange();
        QVERIFY(qAbs((shown.second - shown.first) * 86400.0 - 2.0) < 1e-3);
        QCOMPARE(chart().visibleYRange(0), qMakePair(49.0, 51.0));
        QCOMPARE(m.axis(0).manualMax, 50.0); // the limits themselves stay as given
    }

    // A limit line lies on the axis of its subset, dashed in the subset's
    // colour; a self-scaling axis widens to show it, a manual one does not;
    // clearing the lines removes them and gives the data's range back.
    void limitLines_data()
    {
        QTest::addColumn<bool>("split");
        QTest::addColumn<int>("subset");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<int>("axis");
        QTest::newRow("humidity above the readings, split") << true << 0 << 90.0 << false << 0;
        QTest::newRow("temperature above the readings, split") << true << 1 << 40.0 << false << 1;
        QTest::newRow("temperature below the readings, shared axis") << false << 1 << 5.0 << false << 0;
        QTest::newRow("manual scale stays") << true << 1 << 40.0 << true << 1;
    }

    void limitLines()
    {
        QFETCH(bool, split);
        QFETCH(int, subset);
        QFETCH(double, value);
        QFETCH(bool, manual);
        QFETCH(int, axis);
        ChartModel &m = chart().model();
        for (int a : {0, 1})
            m.setAxis(a, {manual ? ScaleControl::sgManualMinAndMax : ScaleControl::sgAutoScale, 10.0, 30.0, {}});
        if (split)
            chart().redraw();
        else
            unsplit();
        QCOMPARE(chart().axisCount(), split ? 2 : 1);
        const auto before = chart().visibleYRange(axis);

        chart().setLimitLines({{subset, value}});
        chart().redraw();
        const QList<QCPItemStraightLine *> lines = limitItems();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0]->clipAxisRect(), chart().plot()->axisRects().at(axis));
        QCOMPARE(lines[0]->point1->coords().y(), value);
        QCOMPARE(lines[0]->point2->coords().y(), value);
        QCOMPARE(lines[0]->pen().style(), Qt::DashLine);
        QCOMPARE(lines[0]->pen().color(), ChartPaint::argbColor(m.subsetColor(subset)));
        const auto range = chart().visibleYRange(axis);
        if (manual) {
            QCOMPARE(range, before);
        } else {
            QVERIFY2(range.first < value && value < range.second,
                     qPrintable(QStringLiteral("%1 outside %2 .. %3").arg(value).arg(range.first).arg(range.second)));
        }

        chart().setLimitLines({});
        chart().redraw();
        QVERIFY(limitItems().isEmpty());
        QCOMPARE(chart().visibleYRange(axis), before);
    }

    void customizeDialog_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("title");
        QTest::newRow("OK") << int(QDialog::Accepted) << 1 << QStringLiteral("Cellar");
        QTest::newRow("Cancel") << int(QDialog::Rejected) << 0 << QString();
    }

    void customizeDialog()
    {
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(QString, title);
        int shown = 0;
        chart().setDialogRunner([answer, &shown](QDialog &d) {
            ++shown;
            auto *edit = d.findChild<QLineEdit *>(QStringLiteral("edtMainTitle"));
            if (edit)
                edit->setText(QStringLiteral("Cellar"));
            return edit ? answer : int(QDialog::Rejected);
        });
        QSignalSpy done(&chart(), &ChartWidget::OnCustomizeDlg);
        chart().setPEactions(ChartWidget::PEaction::sgCustomize);
        QCOMPARE(chart().GetDialogResult(), result);
        QCOMPARE(done.size(), 1);
        QCOMPARE(chart().model().looks().mainTitle, title);
        QCOMPARE(shown, 1);
    }

    void printsThroughThePrintDialog_data()
    {
        QTest::addColumn<bool>("ownPrinter");
        QTest::addColumn<int>("orientation");
        // The chart's own printer starts in the stored orientation (landscape).
        QTest::newRow("own printer") << true << int(QPageLayout::Landscape);
        // A printer handed in keeps the orientation it was set up with.
        QTest::newRow("printer set up portrait") << false << int(QPageLayout::Portrait);
    }

    void printsThroughThePrintDialog()
    {
        QFETCH(bool, ownPrinter);
        QFETCH(int, orientation);
        const QString pdf = m_dir.filePath(QStringLiteral("chart.pdf"));
        QPrinter printer;
        printer.setPageOrientation(QPageLayout::Portrait);
        chart().setPrinter(ownPrinter ? nullptr : &printer);
        chart().model().edit([](ChartState &s) { s.looks.printStyleControl = PrintStyle::sgPrintDefaultMono; });
        QPrinter *used = nullptr;
        chart().setDialogRunner([&](QDialog &d) {
            used = dynamic_cast<QPrintDialog &>(d).printer();
            used->setOutputFormat(QPrinter::PdfFormat);
            used->setOutputFileName(pdf);
            return int(QDialog::Accepted);
        });
        chart().setPEactions(ChartWidget::PEaction::sgPrintDialog);
        chart().setPrinter(nullptr);
        QCOMPARE(chart().GetDialogResult(), 1);
        QVERIFY(used);
        QCOMPARE(used == &printer, !ownPrinter);
        QCOMPARE(int(used->pageLayout().orientation()), orientation);
        QVERIFY(QFileInfo(pdf).size() > 1000);
    }
};

QTEST_MAIN(TestChartWidget)
#include "tst_chartwidget.moc"
