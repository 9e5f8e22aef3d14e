// The data view window: showing a data set (lists, strip, chart), the
// statistics and the cursors, closing with an unsaved download, clicks on the
// lists, and the click mode and note numbers the views share.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/DerivedChannels.h"
#include "core/link/MonotonicClock.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmLimits.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/TfrmMain.h"

#include "gui/dataview/PrepareChart.h"
#include "gui/dataview/TfrmAnnoEdit.h"
#include "gui/dataview/TfrmSetupScale.h"
#include "Outcome.h"

#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>

#include <memory>

class TestDataView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startsWithAnEmptyDownloadView();
    void showingASetFillsListsAndStrip();
    void samplingRate_data();
    void samplingRate();
    void dataListShowsMarkers();
    void choosingAnotherSet();
    void tabShowsTheOtherChannel();
    void derivedTabsAndColumns_data();
    void derivedTabsAndColumns();
    void emptySet();
    void oneSampleShowsItsPoint();
    void closeQuestion_data();
    void closeQuestion();
    void closeSavesTheDownloadViewNotTheActiveOne();
    void closingAnotherViewKeepsTheFlag();
    void secondLoadReusesTheView();
    void closedViewIsRecreatedByTheNextOpen();
    void cursorDragSnapsToTheNearestSample();
    void cursorDroppedOutsideStays();
    void clickOnTheSelectedRowRunsAgain();
    void notesCrossesAndSplit();
    void notesAnswerDoubleClicksAfterEveryReload();
    void viewsShareModesButNotCursors();
    void range_data();
    void range();
    void dataHotSpotAndZoom();

private:
    std::unique_ptr<TfrmMain> startedWindow();
    static void load(TfrmMain &w, const QByteArray &image);
    // A data view without a main window, showing the first set of image.
    std::unique_ptr<Harness::DataView> viewOf(const QByteArray &image);
    static QMdiSubWindow *subWindowOf(QWidget *view) { return qobject_cast<QMdiSubWindow *>(view->parentWidget()); }
    static QString cell(const TfrmGraph &view, int row, int column)
    {
        return view.dataListModel->index(row, column).data().toString();
    }
    // A cell of the data set list as its table shows it.
    static QString setCell(const TfrmGraph &view, int row, int column)
    {
        return view.Grid2->model()->index(row, column).data().toString();
    }
    static void clickRow(QTableView *table, int row)
    {
        const QRect cell = table->visualRect(table->model()->index(row, 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    std::unique_ptr<Harness::TestContext> m_h;
};

void TestDataView::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Root);
    QVERIFY(m_h->isValid());
}

void TestDataView::cleanup()
{
    Harness::verifyAnswered(m_h->prompter(), false);
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestDataView::startedWindow()
{
    return startMainWindow(m_h->ctx());
}

// As a download ends: parse, temporary file, first data set shown.
void TestDataView::load(TfrmMain &w, const QByteArray &image)
{
    QCOMPARE(outcome(w.session().ParseLoggerImage(image, image.size())), QStringLiteral("ok"));
    QVERIFY(w.session().SaveTempImage());
    w.session().showFirstDataSet();
}

std::unique_ptr<Harness::DataView> TestDataView::viewOf(const QByteArray &image)
{
    auto view = std::make_unique<Harness::DataView>(m_h->ctx());
    if (const Result<> loaded = view->load(image); !loaded)
        qWarning("the image did not load: %s", qPrintable(loaded.message()));
    return view;
}

void TestDataView::startsWithAnEmptyDownloadView()
{
    auto w = startedWindow();
    QVERIFY(w->downloadView());
    TfrmGraph &v = *w->downloadView();
    QCOMPARE(v.windowTitle(), QStringLiteral("DataLogger"));
    QCOMPARE(w->mdiArea->subWindowList().size(), 1);
    QCOMPARE(subWindowOf(&v)->geometry().topLeft(), QPoint(0, 0));
    // An empty chart of 500 points over the next 500 s; the boxes keep their design texts.
    const ChartModel &m = v.PESGraph1->model();
    QCOMPARE(m.points(), 500);
    QVERIFY(qAbs((m.xAxis().manualMax - m.xAxis().manualMin) * 86400.0 - 500.0) < 1e-3);
    QCOMPARE(v.panel()->txtT1Avg->text(), QStringLiteral("***.* "));
    QCOMPARE(v.txtDataNo->text(), QStringLiteral("0"));
    QCOMPARE(v.txtSamplingRate->currentText(), QStringLiteral("00:02"));
    QCOMPARE(v.Grid2->model()->rowCount(), 1);
    QCOMPARE(v.dataListModel->rowCount(), 0);
    // The tool bar as designed.
    QVERIFY(v.ToolButton1->isChecked() && v.ToolButton2->isChecked() && v.ToolButton4->isChecked());
    QVERIFY(!v.UndoZoom->isEnabled());
    QCOMPARE(v.ToolButton5->toolTip(), QStringLiteral("Draw A Cross On Graph"));
    QVERIFY(v.pnlDataSets->isVisible() && v.pnlDataList->isVisible());
    // A click on the empty row of the set list does nothing.
    v.Grid2->selectRow(0);
    v.Grid2Click();
    QCOMPARE(m.points(), 500);
}

void TestDataView::showingASetFillsListsAndStrip()
{
    auto shown = viewOf(ImageBuilder::sampleCollection().build());
    TfrmGraph &v = shown->view();
    const DateTimeText &t = v.texts();

    QCOMPARE(v.Grid2->model()->rowCount(), 3);
    QCOMPARE(setCell(v, 0, 0), QStringLiteral("1"));
    QCOMPARE(setCell(v, 1, 6), QStringLiteral("F"));
    QCOMPARE(setCell(v, 1, 3), QStringLiteral("05:00"));
    QCOMPARE(v.Grid2->selectionModel()->selectedRows().first().row(), 0);

    QCOMPARE(v.dataListModel->rowCount(), 10);
    const double start = FrameworkTime::fromDateTime(QDateTime(QDate(2009, 3, 1), QTime(10, 20, 0)));
    QCOMPARE(cell(v, 0, DataListModel::No), QStringLiteral("1"));
    QCOMPARE(cell(v, 0, DataListModel::Date), t.shortDate(start));
    QCOMPARE(cell(v, 1, DataListModel::Time), t.longTime(start + 60.0 / 86400.0));
    QCOMPARE(cell(v, 2, DataListModel::Humidity), t.oneDecimal(56.2));
    QCOMPARE(v.Grid3->selectionModel()->selectedRows().first().row(), 0);

    QCOMPARE(v.txtStartTime->text(), t.dateTime(start));
    QCOMPARE(v.txtSamplingRate->currentText(), QStringLiteral("01:00"));
    QCOMPARE(v.txtDataNo->text(), QStringLiteral("10"));
    // Humidity maximum 56.2, first reached at the third sample.
    QCOMPARE(v.panel()->txtT1Max->text(), t.oneDecimal(56.2) + u'@' + t.dateTime(start + 120.0 / 86400.0));
    QCOMPARE(v.panel()->txtT1Min->text(), t.oneDecimal(40.0) + u'@' + t.dateTime(start + 420.0 / 86400.0));

    // The chart holds the set's arrays, and the cursors sit at a third and two thirds.
    const ChartModel &m = v.PESGraph1->model();
    QCOMPARE(m.points(), 10);
    QCOMPARE(m.yData(1, 9), -15.0f);
    QCOMPARE(v.cursors().CursorAIndex(), 3);
    QCOMPARE(v.cursors().CursorBIndex(), 6);
    QCOMPARE(m.vertLineAnnotation(1).x, m.xDataII(0, 3));
    QCOMPARE(m.vertLineAnnotation(2).x, m.xDataII(0, 6));
    QCOMPARE(m.vertLineAnnotation(0).x, m.xDataII(0, 0));
    QCOMPARE(v.panel()->txtCursorA->text(), t.oneDecimal(53.0));
    QCOMPARE(v.panel()->txtCursorATime->text(), t.dateTime(start + 180.0 / 86400.0));
    QCOMPARE(v.panel()->txtMaxAB->text(), t.oneDecimal(56.2));
    QCOMPARE(v.panel()->txtMaxABTime->text(), t.dateTime(start + 360.0 / 86400.0));
    // Cursor A's boxes in blue, B's in green.
    QCOMPARE(v.panel()->txtCursorA->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(v.panel()->txtCursorB->palette().color(QPalette::Text), QColor(0, 128, 0));
}

void TestDataView::samplingRate_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("strip");
    QTest::addColumn<QString>("column");
    QTest::newRow("90 s") << 90 << "01:30" << "01:30";
    QTest::newRow("6000 s keeps the last two minute digits") << 6000 << "00:00" << "100:00";
    QTest::newRow("3600 s from its code") << 0x0010 << "60:00" << "60:00";
}

void TestDataView::samplingRate()
{
    QFETCH(int, interval);
    QFETCH(QString, strip);
    QFETCH(QString, column);
    ImageSet set;
    set.every(quint16(interval)).ramp(4, 500, 1, 200, 1);
    auto shown = viewOf(ImageBuilder().add(set).build());
    QCOMPARE(shown->view().txtSamplingRate->currentText(), strip);
    QCOMPARE(setCell(shown->view(), 0, 3), column);
}

void TestDataView::dataListShowsMarkers()
{
    ImageSet set;
    set.add(-32768, 13701).add(450, -32768).add(30000, 200);
    auto shown = viewOf(ImageBuilder().add(set).build());
    const TfrmGraph &v = shown->view();
    QCOMPARE(cell(v, 0, DataListModel::Humidity), QStringLiteral("OL"));
    QCOMPARE(cell(v, 0, DataListModel::Temp), v.texts().oneDecimal(9999.0));
    QCOMPARE(cell(v, 1, DataListModel::Temp), v.texts().oneDecimal(-9999.0));
    QCOMPARE(cell(v, 2, DataListModel::Humidity), QStringLiteral("OL"));
    QCOMPARE(v.panel()->txtT1Max->text(), QStringLiteral("OL"));
}

void TestDataView::choosingAnotherSet()
{
    auto shown = viewOf(ImageBuilder::sampleCollection().build());
    TfrmGraph &v = shown->view();
    // A user's click on the second row of the set list.
    v.Grid2->selectRow(1);
    QCOMPARE(v.PESGraph1->model().points(), 5);
    QCOMPARE(v.dataListModel->rowCount(), 5);
    QCOMPARE(v.txtSamplingRate->currentText(), QStringLiteral("05:00"));
    QCOMPARE(v.Grid3->selectionModel()->selectedRows().first().row(), 0);
    QCOMPARE(v.cursors().CursorAIndex(), 1);
    QCOMPARE(v.cursors().CursorBIndex(), 3);
    // A click in the data list moves the point line (and both cursors).
    v.Grid3->selectRow(4);
    QCOMPARE(v.PESGraph1->model().vertLineAnnotation(0).x, v.PESGraph1->model().xDataII(0, 4));
    QVERIFY(v.PESGraph1->model().vertLineAnnotation(0).text.endsWith(
        QStringLiteral(" H:") + v.texts().oneDecimal(63.0) + QStringLiteral(" T:") + v.texts().oneDecimal(70.0)));
}

void TestDataView::tabShowsTheOtherChannel()
{
    auto shown = viewOf(ImageBuilder::sampleCollection().build());
    TfrmGraph &v = shown->view();
    v.panel()->TabControl1->setCurrentIndex(1);
    // The temperature maximum is the over-range marker; between the cursors it counts as a number.
    QCOMPARE(v.panel()->txtT1Max->text(), QStringLiteral("OL"));
    QCOMPARE(v.panel()->txtCursorA->text(), v.texts().oneDecimal(24.0));
    QCOMPARE(v.panel()->txtMaxAB->text(), v.texts().oneDecimal(9999.0));
    v.panel()->TabControl1->setCurrentIndex(0);
    QCOMPARE(v.panel()->txtCursorA->text(), v.texts().oneDecimal(53.0));
}

// One sample: its point is drawn (a line needs two), and the X axis spans
// two minutes around it, so its labels (to the second) all differ.
void TestDataView::oneSampleShowsItsPoint()
{
    ImageSet set;
    // At the shortest interval its range was one second, all its labels alike.
    set.at(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0))).every(1).add(500, 215);
    auto shown = viewOf(ImageBuilder().add(set).build());
    ChartWidget &chart = *shown->view().PESGraph1;
    const auto x = chart.visibleXRange();
    const double sample = shown->store().StartTimes().at(0);
    QVERIFY2(qAbs((x.second - x.first) * 86400.0 - 120.0) < 1e-3, qPrintable(QString::number(x.second - x.first)));
    QVERIFY(qAbs((x.first + x.second) / 2 - sample) * 86400.0 < 1e-3);
    chart.plot()->replot();
    QCPGraph *graph = chart.plot()->graph(0);
    QCOMPARE(graph->dataCount(), 1);
    QVERIFY(!graph->scatterStyle().isNone());
    // The time labels are on the lowest of the stacked axis rects.
    const QVector<QString> labels = chart.plot()->axisRects().last()->axis(QCPAxis::atBottom)->tickVectorLabels();
    QVERIFY(labels.size() >= 2);
    QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
}

void TestDataView::derivedTabsAndColumns_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("column");
    QTest::newRow("dew point") << int(StatisticsPanel::DewPointTab) << int(DataListModel::DewPoint);
    QTest::newRow("absolute humidity") << int(StatisticsPanel::AbsoluteHumidityTab) << int(DataListModel::AbsHumidity);
}

// The derived tabs show the channel derived from the sample under each cursor
// and no value where a marker is; the data list adds both columns on demand.
void TestDataView::derivedTabsAndColumns()
{
    QFETCH(int, tab);
    QFETCH(int, column);
    auto shown = viewOf(ImageBuilder::sampleCollection().build());
    TfrmGraph &v = shown->view();
    v.panel()->TabControl1->setCurrentIndex(tab);
    const ChartSeries s = v.cursors().series();
    const qsizetype a = v.cursors().CursorAIndex();
    const float expected = Humidity::derivedValue(tab - 2, s.y[0][size_t(a)], s.y[1][size_t(a)], v.readingUnit());
    QVERIFY(!std::isnan(expected));
    QCOMPARE(v.panel()->txtCursorA->text(), v.texts().oneDecimal(expected));
    QVERIFY(v.panel()->txtT1Max->text() != QStringLiteral("OL"));
    QVERIFY(v.panel()->txtT1Avg->text() != QStringLiteral("****"));
    QVERIFY(!v.panel()->txtMkt->isVisibleTo(v.panel()));
    // Its unit beside the figures, and no limits, which it has none of.
    QCOMPARE(v.panel()->lblUnit->text(), tab == StatisticsPanel::DewPointTab
                                             ? TfrmLimits::unitText(v.readingUnit())
                                             : QStringLiteral("g/m\u00b3"));
    QVERIFY(v.panel()->lblUnit->isVisibleTo(v.panel()));
    QVERIFY(!v.panel()->txtLimits->isVisibleTo(v.panel()));
    v.panel()->TabControl1->setCurrentIndex(StatisticsPanel::HumidityTab);
    QVERIFY(!v.panel()->lblUnit->isVisibleTo(v.panel()));
    QVERIFY(v.panel()->txtLimits->isVisibleTo(v.panel()));
    v.panel()->TabControl1->setCurrentIndex(tab);

    QCOMPARE(v.dataListModel->columnCount(), int(DataListModel::ColumnCount));
    v.chkDerivedColumns->setChecked(true);
    QCOMPARE(v.dataListModel->columnCount(), int(DataListModel::AllColumns));
    bool sawMarker = false;
    for (int row = 0; row < v.dataListModel->rowCount(); ++row) {
        const float value = Humidity::derivedValue(tab - 2, s.y[0][size_t(row)], s.y[1][size_t(row)], v.readingUnit());
        sawMarker = sawMarker || std::isnan(value);
        QCOMPARE(cell(v, row, column), std::isnan(value) ? QStringLiteral("****") : v.texts().oneDecimal(value));
    }
    QVERIFY(sawMarker);
    v.chkDerivedColumns->setChecked(false);
    QCOMPARE(v.dataListModel->columnCount(), int(DataListModel::ColumnCount));
}

void TestDataView::emptySet()
{
    auto w = startedWindow();
    ImageSet empty;
    empty.every(60);
    load(*w, ImageBuilder().add(empty).build());
    const TfrmGraph &v = *w->downloadView();
    QCOMPARE(v.Grid2->model()->rowCount(), 1);
    QCOMPARE(setCell(v, 0, 4), QStringLiteral("0"));
    QCOMPARE(v.PESGraph1->model().points(), 0);
    QCOMPARE(v.dataListModel->rowCount(), 0);
    QVERIFY(v.Grid3->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(v.txtDataNo->text(), QStringLiteral("0"));
    QVERIFY(!v.txtStartTime->text().isEmpty());
    QCOMPARE(v.panel()->txtT1Max->text(), QStringLiteral("OL"));
    QCOMPARE(v.panel()->txtT1Min->text(), QStringLiteral("OL"));
    QCOMPARE(v.panel()->txtT1Avg->text(), QStringLiteral("****"));
    QVERIFY(v.panel()->txtCursorA->text().isEmpty());
    QVERIFY(v.panel()->txtAvgAB->text().isEmpty());
}

void TestDataView::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("target");   // file chosen for the save; empty: none asked
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::newRow("cancel keeps the view") << int(QMessageBox::Cancel) << QString() << false << false;
    QTest::newRow("no closes without saving") << int(QMessageBox::No) << QString() << true << false;
    QTest::newRow("yes saves, then closes") << int(QMessageBox::Yes) << "saved.518" << true << true;
    QTest::newRow("yes with a failed save stays") << int(QMessageBox::Yes) << "blocker/saved.518" << false << false;
    QTest::newRow("yes with the file dialog cancelled stays") << int(QMessageBox::Yes) << "" << false << false;
}

void TestDataView::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(QString, target);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    auto w = startedWindow();
    const QByteArray image = ImageBuilder::sampleCollection().build();
    load(*w, image);
    w->session().markUnsaved();
    // A regular file where the save expects a folder: the write must fail.
    QFile blocker(m_h->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = target.isEmpty() ? QString() : m_h->filePath(target);

    m_h->prompter().answerMessage(QMessageBox::StandardButton(answer));
    if (answer == QMessageBox::Yes) {
        m_h->prompter().answerDialog([](QDialog &) { return int(QDialog::Accepted); });
        m_h->prompter().answerFile(path);
        if (target.startsWith(QStringLiteral("blocker")))
            m_h->prompter().answerMessage(QMessageBox::Ok);
    }
    QMdiSubWindow *sub = subWindowOf(w->downloadView());
    sub->close();
    QCOMPARE(m_h->prompter().messages.first(), QStringLiteral("Save DataLogger Data ?"));
    QCOMPARE(m_h->prompter().messageButtons.first(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (closes) {
        QTRY_VERIFY(!w->downloadView());
        QVERIFY(!w->session().unsavedDownload());
    } else {
        QCoreApplication::processEvents();
        QVERIFY(w->downloadView());
        QVERIFY(w->session().unsavedDownload());
        QCOMPARE(w->downloadView()->PESGraph1->model().points(), 10);
    }
    QCOMPARE(QFile::exists(path), written);
    if (written) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), image);
    }
    if (target.startsWith(QStringLiteral("blocker")))
        QCOMPARE(m_h->prompter().messages.last(),
                 QStringLiteral("Cannot create file \"%1\"").arg(QDir::toNativeSeparators(path)));
}

void TestDataView::closeSavesTheDownloadViewNotTheActiveOne()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    w->session().markUnsaved();
    auto *fileView = new TfrmGraph(m_h->ctx(), &w->session());
    fileView->setWindowTitle(QStringLiteral("/data/one.txt"));
    QMdiSubWindow *fileSub = w->mdiArea->addSubWindow(fileView);
    fileSub->show();
    w->mdiArea->setActiveSubWindow(fileSub);

    const QString path = m_h->filePath(QStringLiteral("all.518"));
    m_h->prompter().answerMessage(QMessageBox::Yes);
    m_h->prompter().answerDialog([](QDialog &d) {
        // The collection choice, as asked only for the download view.
        return d.windowTitle() == QStringLiteral("Save File") ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    m_h->prompter().answerFile(path);
    subWindowOf(w->downloadView())->close();
    QTRY_VERIFY(!w->downloadView());
    QVERIFY(QFile::exists(path));
    QVERIFY(!w->session().unsavedDownload());
}

void TestDataView::closingAnotherViewKeepsTheFlag()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    w->session().markUnsaved();
    QPointer<TfrmGraph> fileView = new TfrmGraph(m_h->ctx(), &w->session());
    fileView->setAttribute(Qt::WA_DeleteOnClose);
    fileView->setWindowTitle(QStringLiteral("/data/one.txt"));
    w->mdiArea->addSubWindow(fileView)->show();
    subWindowOf(fileView)->close();
    QTRY_VERIFY(!fileView);
    QVERIFY(w->session().unsavedDownload());
    QVERIFY(m_h->prompter().messages.isEmpty());
}

void TestDataView::secondLoadReusesTheView()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    QPointer<TfrmGraph> first = w->downloadView();
    ImageSet set;
    set.ramp(7, 400, 5, 200, 3);
    load(*w, ImageBuilder().add(set).build());
    QCOMPARE(w->downloadView(), first.data());
    QCOMPARE(w->mdiArea->subWindowList().size(), 1);
    QCOMPARE(first->Grid2->model()->rowCount(), 1);
    QCOMPARE(first->dataListModel->rowCount(), 7);
}

void TestDataView::closedViewIsRecreatedByTheNextOpen()
{
    auto w = startedWindow();
    subWindowOf(w->downloadView())->close();
    QTRY_VERIFY(!w->downloadView());
    QVERIFY(m_h->prompter().messages.isEmpty());

    const QString path = m_h->filePath(QStringLiteral("sample.518"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ImageBuilder::sampleCollection().build());
    f.close();
    m_h->prompter().answerFile(path);
    w->session().OpenCollectionFile(*w->OpenDialog1);
    QVERIFY(w->downloadView());
    QCOMPARE(w->downloadView()->Grid2->model()->rowCount(), 3);
    QMdiSubWindow *sub = subWindowOf(w->downloadView());
    QCOMPARE(sub->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(sub->width(), w->mdiArea->viewport()->width());
}

void TestDataView::cursorDragSnapsToTheNearestSample()
{
    auto w = startedWindow();
    ImageSet set;
    set.every(60).ramp(10, 400, 10, 200, 5);
    load(*w, ImageBuilder().add(set).build());
    TfrmGraph &v = *w->downloadView();
    FakeClock clock;
    v.cursors().setClock(&clock);
    ChartWidget &chart = *v.PESGraph1;
    const ChartModel &m = chart.model();
    QCOMPARE(v.cursors().CursorAIndex(), 3);

    const int y = chart.plottingRect().center().y();
    const QPoint grab(qRound(chart.dataToPixel(m.vertLineAnnotation(1).x, 0).x()), y);
    QTest::mousePress(chart.plot(), Qt::LeftButton, {}, grab);
    QVERIFY(v.cursors().DraggingA());
    QVERIFY(!v.cursors().DraggingB());
    QCOMPARE(m.vertLineAnnotation(1).color, PEargb(255, 128, 128, 128));

    // Just past sample 7, nearer to it than to sample 8.
    const double target = m.xDataII(0, 7) + 20.0 / 86400.0;
    const QPoint to(qRound(chart.dataToPixel(target, 0).x()), y);
    const double before = m.vertLineAnnotation(1).x;
    QTest::mouseMove(chart.plot(), to + QPoint(3, 0));
    // Within the drag interval the line waits.
    QCOMPARE(m.vertLineAnnotation(1).x, before);
    clock.advance(CursorController::DragIntervalMs + 1);
    QTest::mouseMove(chart.plot(), to);
    // It follows the mouse without snapping, and the index waits for the drop.
    QVERIFY(qAbs(m.vertLineAnnotation(1).x - target) < 60.0 / 86400.0);
    QVERIFY(m.vertLineAnnotation(1).x != m.xDataII(0, 7));
    QCOMPARE(v.cursors().CursorAIndex(), 3);

    QTest::mouseRelease(chart.plot(), Qt::LeftButton, {}, to);
    QVERIFY(!v.cursors().DraggingA());
    QCOMPARE(v.cursors().CursorAIndex(), 7);
    QCOMPARE(m.vertLineAnnotation(1).x, m.xDataII(0, 7));
    QCOMPARE(m.vertLineAnnotation(1).color, PEargb(255, 0, 0, 255));
    QCOMPARE(v.panel()->txtCursorA->text(), v.texts().oneDecimal(47.0));
    // A now right of B: the statistics run from B (6) to A (7).
    QCOMPARE(v.panel()->txtMinAB->text(), v.texts().oneDecimal(46.0));
    QCOMPARE(v.panel()->txtMaxAB->text(), v.texts().oneDecimal(47.0));
}

void TestDataView::cursorDroppedOutsideStays()
{
    auto w = startedWindow();
    ImageSet set;
    set.every(60).ramp(9, 400, 10, 200, 5);
    load(*w, ImageBuilder().add(set).build());
    TfrmGraph &v = *w->downloadView();
    FakeClock clock;
    v.cursors().setClock(&clock);
    ChartWidget &chart = *v.PESGraph1;
    const ChartModel &m = chart.model();
    const QRect plot = chart.plottingRect();
    const QPoint grab(qRound(chart.dataToPixel(m.vertLineAnnotation(2).x, 0).x()), plot.center().y());
    QTest::mousePress(chart.plot(), Qt::LeftButton, {}, grab);
    QVERIFY(v.cursors().DraggingB());
    const QPoint outside(plot.right() + 5, plot.center().y());
    QTest::mouseRelease(chart.plot(), Qt::LeftButton, {}, outside);
    QVERIFY(!v.cursors().DraggingB());
    QCOMPARE(v.cursors().CursorBIndex(), 6);
    QCOMPARE(m.vertLineAnnotation(2).x, m.xDataII(0, 6));
    QCOMPARE(m.vertLineAnnotation(2).color, PEargb(255, 0, 255, 0));
}

void TestDataView::clickOnTheSelectedRowRunsAgain()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    TfrmGraph &v = *w->downloadView();
    ChartModel &m = v.PESGraph1->model();
    QSignalSpy refills(v.dataListModel, &QAbstractItemModel::modelReset);

    // The set list: the selected set is shown again, from its first sample.
    clickRow(v.Grid3, 4);
    QCOMPARE(m.vertLineAnnotation(0).x, m.xDataII(0, 4));
    clickRow(v.Grid2, 0);
    QCOMPARE(refills.size(), 1);
    QCOMPARE(m.vertLineAnnotation(0).x, m.xDataII(0, 0));
    QCOMPARE(v.Grid3->selectionModel()->selectedRows().first().row(), 0);
    // Another set is shown once per click, not once for the selection and again for the click.
    clickRow(v.Grid2, 1);
    QCOMPARE(refills.size(), 2);
    QCOMPARE(m.points(), 5);

    // The data list: the selected sample is marked again.
    clickRow(v.Grid3, 2);
    m.setVertLineAnnotation(0, {});
    clickRow(v.Grid3, 2);
    QCOMPARE(m.vertLineAnnotation(0).x, m.xDataII(0, 2));
    QCOMPARE(refills.size(), 2);
}

void TestDataView::notesCrossesAndSplit()
{
    auto w = startedWindow();
    ImageSet set;
    set.every(60).ramp(20, 400, 10, 200, 5);
    load(*w, ImageBuilder().add(set).build());
    TfrmGraph &v = *w->downloadView();
    ChartWidget &chart = *v.PESGraph1;
    const ChartModel &m = chart.model();
    const AnnotationModes &modes = v.annotationModes();

    // The split view allows no notes; one shared axis does.
    QVERIFY(!v.ToolButton5->isEnabled() && !v.ToolButton9->isEnabled());
    v.chkSplit->click();
    QCOMPARE(m.multiAxesProportions(0), 1.0);
    QVERIFY(v.ToolButton5->isEnabled() && v.ToolButton9->isEnabled());

    const QPoint inside = chart.plottingRect().center();
    v.ToolButton9->click();
    QCOMPARE(modes.clickMode, ClickMode::Text);
    QCOMPARE(m.looks().arrowCursor, ArrowCursor::sgIBeam);
    m_h->prompter().answerDialog([](QDialog &d) {
        static_cast<TfrmAnnoEdit &>(d).Edit1->setText(QStringLiteral("Door opened"));
        return int(QDialog::Accepted);
    });
    QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, inside);
    QCOMPARE(modes.counter, 4);
    QCOMPARE(m.graphAnnotation(4).text, QStringLiteral("Door opened"));
    QCOMPARE(m.graphAnnotation(4).type, AnnotationType::Text);
    QVERIFY(qAbs(m.graphAnnotation(4).x - chart.pixelToData(inside + QPoint(1, 7)).x()) < 1e-9);
    // Cancel places nothing.
    m_h->prompter().answerDialog([](QDialog &) { return int(QDialog::Rejected); });
    QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, inside);
    QCOMPARE(modes.counter, 4);

    v.ToolButton5->click();
    QCOMPARE(modes.clickMode, ClickMode::Cross);
    QCOMPARE(m.looks().arrowCursor, ArrowCursor::sgCrossResource);
    QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, inside);
    QCOMPARE(m.graphAnnotation(5).type, AnnotationType::Cross);
    // Outside the plot (after the cross offset) nothing is placed.
    QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, chart.plottingRect().bottomRight());
    QCOMPARE(modes.counter, 5);

    // Only a double click deletes.
    v.PESGraph1GraphAnnotHotSpot(4, false);
    QCOMPARE(m.graphAnnotation(4).text, QStringLiteral("Door opened"));
    v.PESGraph1GraphAnnotHotSpot(4, true);
    QVERIFY(m.graphAnnotation(4).text.isEmpty());

    // Split again: back to normal clicks, the buttons stay enabled.
    v.chkSplit->click();
    QCOMPARE(modes.clickMode, ClickMode::Normal);
    QVERIFY(v.ToolButton4->isChecked());
    QVERIFY(v.ToolButton5->isEnabled());
    QCOMPARE(m.state().multiAxesSubsets, (QList<qint32>{1, 1}));
}

// The download view is prepared again for every data set shown; a double
// click on a note must still delete it, on the second set as on the first.
void TestDataView::notesAnswerDoubleClicksAfterEveryReload()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    TfrmGraph &v = *w->downloadView();
    ChartWidget &chart = *v.PESGraph1;
    const ChartModel &m = chart.model();
    v.showDataSet(w->session().store(), 1);
    v.chkSplit->click();
    v.ToolButton9->click();
    m_h->prompter().answerDialog([](QDialog &d) {
        static_cast<TfrmAnnoEdit &>(d).Edit1->setText(QStringLiteral("Window shut"));
        return int(QDialog::Accepted);
    });
    const QPoint at = chart.plottingRect().center();
    QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, at);
    const int note = m.highestGraphAnnotationIndex();
    QCOMPARE(m.graphAnnotation(note).text, QStringLiteral("Window shut"));
    v.ToolButton4->click();
    // The note's text starts where it was placed.
    QTest::mouseDClick(chart.plot(), Qt::LeftButton, {}, at + QPoint(6, 8));
    QVERIFY(m.graphAnnotation(note).text.isEmpty());
}

void TestDataView::viewsShareModesButNotCursors()
{
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    TfrmGraph &first = *w->downloadView();
    auto *second = new TfrmGraph(m_h->ctx(), &w->session());
    second->setWindowTitle(QStringLiteral("/data/one.txt"));
    w->mdiArea->addSubWindow(second)->show();
    QCOMPARE(&first.annotationModes(), &m_h->ctx().annotations());
    QCOMPARE(&second->annotationModes(), &first.annotationModes());

    const double now = first.PESGraph1->model().xDataII(0, 0);
    PrepareChart(m_h->ctx(), *second->PESGraph1, 2, 100.0f, -20.0f, now + 500.0 / 86400.0, now, 500);
    QTRY_VERIFY(second->PESGraph1->plottingRect().isValid());

    // Cross mode chosen in one view places crosses in the other, numbered on.
    first.chkSplit->click();
    first.ToolButton5->click();
    QCOMPARE(second->annotationModes().clickMode, ClickMode::Cross);
    const QPoint inside = second->PESGraph1->plottingRect().center() - QPoint(20, 20);
    QTest::mouseClick(first.PESGraph1->plot(), Qt::LeftButton, {},
                      first.PESGraph1->plottingRect().center() - QPoint(20, 20));
    QTest::mouseClick(second->PESGraph1->plot(), Qt::LeftButton, {}, inside);
    QCOMPARE(first.PESGraph1->model().graphAnnotation(4).type, AnnotationType::Cross);
    QCOMPARE(second->PESGraph1->model().graphAnnotation(5).type, AnnotationType::Cross);
    QVERIFY(!second->PESGraph1->model().hasGraphAnnotation(4));
    // Showing a view returns every view to normal clicks.
    second->hide();
    second->show();
    QCOMPARE(first.annotationModes().clickMode, ClickMode::Normal);

    // The cursors are each view's own: a selection in one leaves the other's.
    QCOMPARE(first.cursors().CursorAIndex(), 3);
    QCOMPARE(second->cursors().CursorAIndex(), 0);
    second->SelectPoint(0);
    QCOMPARE(second->cursors().CursorAIndex(), 166);
    QCOMPARE(first.cursors().CursorAIndex(), 3);
    first.panel()->TabControl1->setCurrentIndex(1);
    QCOMPARE(first.panel()->txtCursorA->text(), first.texts().oneDecimal(24.0));
}

void TestDataView::range_data()
{
    QTest::addColumn<QStringList>("texts");   // T1 min, T1 max, T2 min, T2 max
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("valid, minimum above maximum") << QStringList{"90", "10", "-5", "40"} << int(QDialog::Accepted)
                                                 << QString();
    QTest::newRow("two invalid: T1 MIN is named") << QStringList{"x1", "10", "-5", "y2"} << int(QDialog::Accepted)
                                                  << "x1 is invalid.";
    QTest::newRow("empty box") << QStringList{"0", "10", "", "40"} << int(QDialog::Accepted) << " is invalid.";
    QTest::newRow("cancel") << QStringList{"1", "2", "3", "4"} << int(QDialog::Rejected) << QString();
}

void TestDataView::range()
{
    QFETCH(QStringList, texts);
    QFETCH(int, result);
    QFETCH(QString, message);
    auto w = startedWindow();
    load(*w, ImageBuilder::sampleCollection().build());
    TfrmGraph &v = *w->downloadView();
    ChartModel &m = v.PESGraph1->model();
    AxisSettings humidity = m.axis(0);
    humidity.manualMin = -5.9;
    humidity.manualMax = 12.7;
    m.setAxis(0, humidity);
    m_h->ctx().settings().AutoScaleSetting = 1;
    QStringList shown;
    m_h->prompter().answerDialog([&](QDialog &d) {
        auto &dialog = static_cast<TfrmSetupScale &>(d);
        shown << dialog.edtT1Min->text() << dialog.edtT1Max->text();
        dialog.edtT1Min->setText(texts.at(0));
        dialog.edtT1Max->setText(texts.at(1));
        dialog.edtT2Min->setText(texts.at(2));
        dialog.edtT2Max->setText(texts.at(3));
        dialog.chkSave->setChecked(false);
        return result;
    });
    if (!message.isEmpty())
        m_h->prompter().answerMessage(QMessageBox::Ok);
    v.Button2->click();
    // The limits cut toward zero.
    QCOMPARE(shown, (QStringList{"-5", "12"}));
    const bool applied = result == QDialog::Accepted && message.isEmpty();
    QCOMPARE(m_h->ctx().settings().AutoScaleSetting, applied ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_h->prompter().messages, QStringList{message});
    if (applied) {
        QCOMPARE(m.axis(0).scaleControl, ScaleControl::sgManualMinAndMax);
        QCOMPARE(m.axis(0).manualMin, 90.0);
        QCOMPARE(m.axis(0).manualMax, 10.0);
        QCOMPARE(m.axis(1).manualMin, -5.0);
        QCOMPARE(m.axis(1).manualMax, 40.0);
        v.BitBtn1->click();
        QCOMPARE(m_h->ctx().settings().AutoScaleSetting, 1);
        QCOMPARE(m.axis(0).scaleControl, ScaleControl::sgAutoScale);
        QCOMPARE(m.axis(1).scaleControl, ScaleControl::sgAutoScale);
    } else {
        QCOMPARE(m.axis(0).manualMin, -5.9);
    }
}

void TestDataView::dataHotSpotAndZoom()
{
    auto w = startedWindow();
    ImageSet set;
    set.every(1).ramp(5000, 400, 0, 200, 0);
    load(*w, ImageBuilder().add(set).build());
    TfrmGraph &v = *w->downloadView();
    const ChartModel &m = v.PESGraph1->model();
    v.PESGraph1DataHotSpot(4000, 0);
    QCOMPARE(v.Grid3->selectionModel()->selectedRows().first().row(), 4000);
    QCOMPARE(m.vertLineAnnotation(0).x, m.xDataII(0, 4000));
    // The row stands near the middle of the visible rows.
    const int top = v.Grid3->rowAt(0);
    const int bottom = v.Grid3->rowAt(v.Grid3->viewport()->height() - 1);
    QVERIFY2(top < 4000 && 4000 < bottom, qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
    QVERIFY(qAbs((top + bottom) / 2 - 4000) <= 2);
    v.PESGraph1DataHotSpot(2, 0);
    QCOMPARE(v.Grid3->rowAt(0), 0);

    v.PESGraph1->zoomToRect(v.PESGraph1->plottingRect().adjusted(50, 10, -200, -10));
    QVERIFY(v.UndoZoom->isEnabled());
    v.UndoZoom->click();
    QVERIFY(!v.UndoZoom->isEnabled());
    QVERIFY(!v.PESGraph1->isZoomed());
}

QTEST_MAIN(TestDataView)
#include "tst_dataview.moc"
