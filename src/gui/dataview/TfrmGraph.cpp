#include "gui/dataview/TfrmGraph.h"

#include "chart/ChartWidget.h"
#include "core/app/AutoScaleSetting.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/TDataSetStore.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/GraphToolIcons.h"
#include "gui/dataview/PrepareChart.h"
#include "gui/dataview/RowClicks.h"
#include "gui/dataview/TfrmAnnoEdit.h"
#include "gui/dataview/TfrmSetupScale.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <span>

namespace {

using Line = CursorController::Line;

constexpr quint32 kBlue = PEargb(255, 0, 0, 255);
constexpr quint32 kGreen = PEargb(255, 0, 255, 0);
constexpr quint32 kGrey = PEargb(255, 128, 128, 128);
constexpr quint32 kBlack = PEargb(255, 0, 0, 0);
constexpr int kPointLine = int(Line::Point);
constexpr int kLineA = int(Line::A);
constexpr int kLineB = int(Line::B);

// The panel's text colours for cursors A and B (the lines' blue, and a green
// that stays readable on a light box).
const QColor kPanelBlue(0, 0, 255);
const QColor kPanelGreen(0, 128, 0);

QFont arial()
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QLabel *captionBar(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumHeight(18);
    return label;
}

// A value box: it shows a text; the user can neither edit nor focus it.
QLineEdit *valueBox(const char *name, QWidget *parent, int width, const QColor &colour = QColor())
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFixedWidth(width);
    if (colour.isValid()) {
        QPalette p = box->palette();
        p.setColor(QPalette::Text, colour);
        box->setPalette(p);
    }
    return box;
}

// The design widths fit short numeric dates; a longer regional date or a
// wider font widens the column so its texts are not cut.
void widenToFit(QTableView *table, int column, const QString &text)
{
    const int needed = table->fontMetrics().horizontalAdvance(text) + 12;
    if (table->columnWidth(column) < needed)
        table->setColumnWidth(column, needed);
}

QLabel *label(const QString &text, QWidget *parent, const QColor &colour = QColor())
{
    auto *l = new QLabel(text, parent);
    if (colour.isValid()) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
    }
    return l;
}

// The top row of a list's selection, or -1.
int topSelectedRow(const QTableView *table)
{
    const QItemSelection selection = table->selectionModel()->selection();
    if (selection.isEmpty())
        return -1;
    int row = selection.first().top();
    for (const QItemSelectionRange &r : selection)
        row = std::min(row, r.top());
    return row;
}

} // namespace

TfrmGraph::TfrmGraph(AnnotationModes &modes, TfrmGraphHost *host, QWidget *parent)
    : QWidget(parent)
    , m_modes(modes)
    , m_host(host)
{
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(QStringLiteral("Graph"));
    resize(1011, 615);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    layout->addWidget(Splitter2);
    Splitter2->addWidget(createDataSetsPanel());
    Splitter2->addWidget(createRightPanel());
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({356, 655});
    pnlDataSets->hide();
    pnlDataList->hide();

    dataSetListModel = new DataSetListModel(m_texts.locale(), this);
    dataListModel = new DataListModel(PESGraph1->model(), m_texts.locale(), this);
    m_cursors = std::make_unique<CursorController>(PESGraph1->model(), m_texts);
    FormCreate();
}

TfrmGraph::~TfrmGraph() = default;

QWidget *TfrmGraph::createDataSetsPanel()
{
    pnlDataSets = new QWidget(Splitter2);
    pnlDataSets->setObjectName(QStringLiteral("pnlDataSets"));
    auto *layout = new QVBoxLayout(pnlDataSets);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    StaticText1 = captionBar(QStringLiteral("Data Sets"), pnlDataSets);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    layout->addWidget(StaticText1);

    Splitter3 = new QSplitter(Qt::Vertical, pnlDataSets);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Splitter3->setChildrenCollapsible(false);
    layout->addWidget(Splitter3, 1);

    Grid2 = new QTableView(Splitter3);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->setFont(arial());
    Grid2->verticalHeader()->hide();
    Grid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid2->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid2->viewport()->setCursor(Qt::PointingHandCursor);
    Grid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid2->verticalHeader()->setDefaultSectionSize(18);
    Splitter3->addWidget(Grid2);

    pnlDataList = new QWidget(Splitter3);
    pnlDataList->setObjectName(QStringLiteral("pnlDataList"));
    auto *listLayout = new QVBoxLayout(pnlDataList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    StaticText2 = captionBar(QStringLiteral("Data List"), pnlDataList);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    listLayout->addWidget(StaticText2);
    Splitter4 = new QSplitter(Qt::Vertical, pnlDataList);
    Splitter4->setObjectName(QStringLiteral("Splitter4"));
    listLayout->addWidget(Splitter4, 1);

    Grid3 = new QTableView(Splitter4);
    Grid3->setObjectName(QStringLiteral("Grid3"));
    Grid3->verticalHeader()->hide();
    // Every row has the same height, so a million rows cost nothing to lay out.
    Grid3->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid3->verticalHeader()->setDefaultSectionSize(16);
    Grid3->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Grid3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid3->setWordWrap(false);
    Grid3->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Splitter4->addWidget(Grid3);
    Panel11 = new QWidget(Splitter4);
    Panel11->setObjectName(QStringLiteral("Panel11"));
    Splitter4->addWidget(Panel11);
    Splitter4->setSizes({400, 149});
    Splitter4->setStretchFactor(0, 1);
    Splitter4->setStretchFactor(1, 0);

    Splitter3->addWidget(pnlDataList);
    Splitter3->setSizes({170, 430});
    Splitter3->setStretchFactor(0, 0);
    Splitter3->setStretchFactor(1, 1);
    return pnlDataSets;
}

QWidget *TfrmGraph::createRightPanel()
{
    pnlRight = new QWidget(Splitter2);
    pnlRight->setObjectName(QStringLiteral("pnlRight"));
    auto *layout = new QVBoxLayout(pnlRight);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Vertical, pnlRight);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    pnlGraph = new QWidget(Splitter1);
    pnlGraph->setObjectName(QStringLiteral("pnlGraph"));
    pnlGraph->installEventFilter(this);
    auto *graphLayout = new QVBoxLayout(pnlGraph);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    graphLayout->setSpacing(0);
    graphLayout->addWidget(createToolBar());
    graphLayout->addWidget(createStrip());
    PESGraph1 = new ChartWidget(pnlGraph);
    PESGraph1->setDialogRunner([](QDialog &dialog) { return Prompter::instance().exec(dialog); });
    PESGraph1->setObjectName(QStringLiteral("PESGraph1"));
    PESGraph1->installEventFilter(this);
    graphLayout->addWidget(PESGraph1, 1);

    // An empty strip kept at the chart's top-left corner.
    Panel12 = new QWidget(pnlGraph);
    Panel12->setObjectName(QStringLiteral("Panel12"));
    Panel12->setFixedSize(167, 21);
    Panel12->setAttribute(Qt::WA_TransparentForMouseEvents);

    Splitter1->addWidget(pnlGraph);
    Splitter1->addWidget(createStatisticsPanel());
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({436, 179});

    connect(PESGraph1, &ChartWidget::OnVertLineAnnotHotSpot, this, &TfrmGraph::PESGraph1VertLineAnnotHotSpot);
    connect(PESGraph1, &ChartWidget::OnMouseMove, this, &TfrmGraph::PESGraph1MouseMove);
    connect(PESGraph1, &ChartWidget::OnMouseUp, this, &TfrmGraph::PESGraph1MouseUp);
    connect(PESGraph1, &ChartWidget::OnClick, this, &TfrmGraph::PESGraph1Click);
    connect(PESGraph1, &ChartWidget::OnGraphAnnotHotSpot, this, &TfrmGraph::PESGraph1GraphAnnotHotSpot);
    connect(PESGraph1, &ChartWidget::OnGraphHotSpot, this, &TfrmGraph::PESGraph1GraphHotSpot);
    connect(PESGraph1, &ChartWidget::OnDataHotSpot, this, &TfrmGraph::PESGraph1DataHotSpot);
    connect(PESGraph1, &ChartWidget::OnZoomIn, this, &TfrmGraph::PESGraph1ZoomIn);
    connect(PESGraph1, &ChartWidget::OnCustomizeDlg, this, &TfrmGraph::PESGraph1CustomizeDlg);
    return pnlRight;
}

QToolBar *TfrmGraph::createToolBar()
{
    ToolBar1 = new QToolBar(pnlGraph);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);

    const auto toolButton = [this](const char *name, const QString &hint, const QIcon &icon, bool checkable,
                                   void (TfrmGraph::*slot)()) {
        auto *b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setIcon(icon);
        b->setCheckable(checkable);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, slot);
        ToolBar1->addWidget(b);
        return b;
    };
    ToolButton1 = toolButton("ToolButton1", QStringLiteral("Toggle Statistic 1"), GraphToolIcons::statistic1(),
                             true, &TfrmGraph::ToolButton1Click);
    ToolButton1->setChecked(true);
    ToolButton2 = toolButton("ToolButton2", QStringLiteral("Toggle Statistic 2"), GraphToolIcons::statistic2(),
                             true, &TfrmGraph::ToolButton2Click);
    ToolButton2->setChecked(true);
    ToolBar1->addSeparator();
    ToolButton4 = toolButton("ToolButton4", QStringLiteral("Normal Cursor"), GraphToolIcons::normalCursor(), true,
                             &TfrmGraph::ToolButton4Click);
    ToolButton5 = toolButton("ToolButton5", QStringLiteral("Draw A Cross On Graph"), GraphToolIcons::cross(), true,
                             &TfrmGraph::ToolButton5Click);
    ToolButton9 = toolButton("ToolButton9", QStringLiteral("Text"), GraphToolIcons::text(), true,
                             &TfrmGraph::ToolButton9Click);
    for (QToolButton *b : {ToolButton4, ToolButton5, ToolButton9})
        b->setAutoExclusive(true);
    ToolButton4->setChecked(true);
    ToolBar1->addSeparator();
    UndoZoom = toolButton("UndoZoom", QString(), QIcon(), false, &TfrmGraph::UndoZoomClick);
    UndoZoom->setText(QStringLiteral("Undo Zoom"));
    UndoZoom->setToolButtonStyle(Qt::ToolButtonTextOnly);
    UndoZoom->setEnabled(false);
    ToolBar1->addSeparator();

    const auto button = [this](const char *name, const QString &caption, void (TfrmGraph::*slot)()) {
        auto *b = new QPushButton(caption, ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, slot);
        ToolBar1->addWidget(b);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("Graph Option"), &TfrmGraph::Button1Click);
    Button1->setToolTip(QStringLiteral("Graph Customization"));
    ToolBar1->addSeparator();
    Button2 = button("Button2", QStringLiteral("Range"), &TfrmGraph::Button2Click);
    chkSplit = new QCheckBox(QStringLiteral("Split"), ToolBar1);
    chkSplit->setObjectName(QStringLiteral("chkSplit"));
    chkSplit->setChecked(true);
    connect(chkSplit, &QCheckBox::clicked, this, &TfrmGraph::chkSplitClick);
    ToolBar1->addWidget(chkSplit);
    BitBtn1 = button("BitBtn1", QStringLiteral("Auto Scale"), &TfrmGraph::BitBtn1Click);
    return ToolBar1;
}

QWidget *TfrmGraph::createStrip()
{
    pnlGraphStatistic = new QWidget(pnlGraph);
    pnlGraphStatistic->setObjectName(QStringLiteral("pnlGraphStatistic"));
    pnlGraphStatistic->setFixedHeight(39);
    auto *layout = new QHBoxLayout(pnlGraphStatistic);
    layout->setContentsMargins(6, 2, 6, 2);

    // The value boxes sit on panels that take no input: they only display.
    const auto panel = [this, layout](QWidget *box, const QString &hint = QString()) {
        auto *p = new QWidget(pnlGraphStatistic);
        auto *l = new QHBoxLayout(p);
        l->setContentsMargins(0, 0, 0, 0);
        box->setParent(p);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        l->addWidget(box);
        p->setToolTip(hint);
        layout->addWidget(p);
    };

    layout->addWidget(new QLabel(QStringLiteral("Start Time"), pnlGraphStatistic));
    txtStartTime = valueBox("txtStartTime", pnlGraphStatistic, 150);
    panel(txtStartTime);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Sampling Rate"), pnlGraphStatistic));
    txtSamplingRate = new QComboBox(pnlGraphStatistic);
    txtSamplingRate->setObjectName(QStringLiteral("txtSamplingRate"));
    txtSamplingRate->setEditable(true);
    txtSamplingRate->setInsertPolicy(QComboBox::NoInsert);
    txtSamplingRate->addItems({QStringLiteral("00:01"), QStringLiteral("00:02"), QStringLiteral("00:05"),
                               QStringLiteral("00:10"), QStringLiteral("00:15"), QStringLiteral("00:30"),
                               QStringLiteral("01:00"), QStringLiteral("02:00"), QStringLiteral("05:00"),
                               QStringLiteral("10:00"), QStringLiteral("15:00"), QStringLiteral("30:00"),
                               QStringLiteral("60:00")});
    txtSamplingRate->setEditText(QStringLiteral("00:02"));
    const QString rateHint = QStringLiteral("Click Start Recording Real Time Data button to change sampling rate !");
    txtSamplingRate->setToolTip(rateHint);
    txtSamplingRate->setFixedWidth(70);
    panel(txtSamplingRate, rateHint);
    layout->addWidget(new QLabel(QStringLiteral("mm:ss"), pnlGraphStatistic));
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Data No."), pnlGraphStatistic));
    txtDataNo = valueBox("txtDataNo", pnlGraphStatistic, 70);
    txtDataNo->setText(QStringLiteral("0"));
    panel(txtDataNo);
    layout->addSpacing(8);
    chkTextList = new QCheckBox(QStringLiteral("Text List"), pnlGraphStatistic);
    chkTextList->setObjectName(QStringLiteral("chkTextList"));
    chkTextList->setChecked(true);
    connect(chkTextList, &QCheckBox::clicked, this, &TfrmGraph::chkTextListClick);
    layout->addWidget(chkTextList);
    layout->addStretch(1);
    return pnlGraphStatistic;
}

QWidget *TfrmGraph::createStatisticsPanel()
{
    pnlStatistic = new QWidget(Splitter1);
    pnlStatistic->setObjectName(QStringLiteral("pnlStatistic"));
    pnlStatistic->setMinimumHeight(150);
    auto *outer = new QVBoxLayout(pnlStatistic);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(0);
    TabControl1 = new QTabBar(pnlStatistic);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->addTab(QStringLiteral("Humidity"));
    TabControl1->addTab(QStringLiteral("Temperature"));
    TabControl1->setDrawBase(false);
    TabControl1->setExpanding(false);
    outer->addWidget(TabControl1);
    auto *page = new QFrame(pnlStatistic);
    page->setFrameShape(QFrame::StyledPanel);
    outer->addWidget(page, 1);

    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    const int value = 80;
    const int time = 150;

    grid->addWidget(label(QStringLiteral("T1 MAX "), page), 0, 0);
    txtT1Max = valueBox("txtT1Max", page, 200);
    grid->addWidget(txtT1Max, 0, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("MIN"), page), 1, 0);
    txtT1Min = valueBox("txtT1Min", page, 200);
    grid->addWidget(txtT1Min, 1, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("AVG"), page), 2, 0);
    txtT1Avg = valueBox("txtT1Avg", page, value);
    txtT1Avg->setText(QStringLiteral("***.* "));
    grid->addWidget(txtT1Avg, 2, 1);

    const auto row = [&](int r, int column, const QString &caption, QLineEdit *&valueEdit, const char *valueName,
                         QLineEdit **timeEdit, const char *timeName, const QColor &colour) {
        grid->addWidget(label(caption, page, colour), r, column);
        valueEdit = valueBox(valueName, page, value, colour);
        grid->addWidget(valueEdit, r, column + 1);
        if (timeEdit) {
            grid->addWidget(label(QStringLiteral("@"), page, colour), r, column + 2);
            *timeEdit = valueBox(timeName, page, time, colour);
            grid->addWidget(*timeEdit, r, column + 3);
        }
    };
    grid->setColumnMinimumWidth(4, 16);
    row(0, 5, QStringLiteral("Cursor A"), txtCursorA, "txtCursorA", &txtCursorATime, "txtCursorATime", kPanelBlue);
    row(1, 5, QStringLiteral("Cursor B"), txtCursorB, "txtCursorB", &txtCursorBTime, "txtCursorBTime", kPanelGreen);
    row(2, 5, QStringLiteral("Max.Between A and B"), txtMaxAB, "txtMaxAB", &txtMaxABTime, "txtMaxABTime", QColor());
    row(3, 5, QStringLiteral("Min.Between A and B"), txtMinAB, "txtMinAB", &txtMinABTime, "txtMinABTime", QColor());
    row(4, 5, QStringLiteral("Avg Between A and B"), txtAvgAB, "txtAvgAB", nullptr, nullptr, QColor());
    grid->setColumnStretch(9, 1);
    grid->setRowStretch(5, 1);

    connect(TabControl1, &QTabBar::currentChanged, this, &TfrmGraph::TabControl1Change);
    return pnlStatistic;
}

// Creation, showing and closing -------------------------------------------

void TfrmGraph::FormCreate()
{
    // Headings and one empty row until the first data sets arrive.
    Grid2->setModel(dataSetListModel);
    for (int c = 0; c < DataSetListModel::ColumnCount; ++c)
        Grid2->setColumnWidth(c, DataSetListModel::columnWidth(c));

    Grid3->setModel(dataListModel);
    for (int c = 0; c < DataListModel::ColumnCount; ++c) {
        Grid3->setColumnWidth(c, DataListModel::columnWidth(c));
        widenToFit(Grid3, c, dataListModel->headerData(c, Qt::Horizontal).toString());
    }

    new RowClicks(*Grid2, [this] { Grid2Click(); }, m_selecting);
    new RowClicks(*Grid3, [this] { Grid3Click(); }, m_selecting);
}

void TfrmGraph::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
    pnlGraphResize();
}

void TfrmGraph::FormShow()
{
    ToolButton4->setChecked(true);
    PESGraph1->model().setArrowCursor(ArrowCursor::sgArrow);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Normal);
}

void TfrmGraph::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
}

bool TfrmGraph::FormCloseQuery()
{
    if (!m_host || !isDownloadView() || !m_host->unsavedDownload())
        return true;
    switch (Prompter::ask(this, QStringLiteral("Save DataLogger Data ?"),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        // The view closes only when the download was written.
        m_host->saveDownload(*this);
        return !m_host->unsavedDownload();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TfrmGraph::FormClose()
{
    // Only the download view's close drops its save question.
    if (m_host && isDownloadView())
        m_host->downloadViewClosed();
}

// Lists ---------------------------------------------------------------------

void TfrmGraph::fillDataSetList(const TDataSetStore &store)
{
    m_selecting = true;
    Grid2->clearSelection();
    dataSetListModel->fill(store);
    for (int k = 0; k < store.SetCount(); ++k) {
        for (int c = 0; c < DataSetListModel::ColumnCount; ++c)
            widenToFit(Grid2, c, dataSetListModel->text(k, c));
    }
    Grid2->selectRow(0);
    m_selecting = false;
}

void TfrmGraph::FillDataList()
{
    m_selecting = true;
    dataListModel->fill();
    m_selecting = false;
    if (dataListModel->rowCount() > 0) {
        for (int c : {DataListModel::Date, DataListModel::Time})
            widenToFit(Grid3, c, dataListModel->text(0, c));
    }
}

void TfrmGraph::selectDataListRow(int sample)
{
    m_selecting = true;
    if (sample >= 0 && sample < dataListModel->rowCount()) {
        const QModelIndex index = dataListModel->index(sample, 0);
        Grid3->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        Grid3->selectionModel()->clearSelection();
    }
    m_selecting = false;
}

void TfrmGraph::scrollDataListTo(int sample)
{
    if (sample < 0 || sample >= dataListModel->rowCount())
        return;
    const int visible = std::max(1, Grid3->viewport()->height() / Grid3->verticalHeader()->defaultSectionSize());
    // One of the first rows: the list shows its beginning.
    if (sample + 1 <= visible)
        Grid3->scrollToTop();
    else
        Grid3->scrollTo(dataListModel->index(sample, 0), QAbstractItemView::PositionAtCenter);
}

void TfrmGraph::showDataSet(const TDataSetStore &store, int k)
{
    if (k < 0 || k >= store.SetCount())
        return;
    ChartWidget &chart = *PESGraph1;
    const qint64 offset = store.firstSample(k);
    const qint32 n = store.SampleCounts().at(k);
    const double start = store.StartTimes().at(k);
    const qint32 interval = store.Intervals().at(k);

    PrepareChart(chart, 2, 100.0f, -20.0f, start + double(n) * interval / FrameworkTime::SecondsPerDay, start, n);
    // The whole block of the data set at once, in the store's point order.
    const std::span<const double> times(store.Times().constData(), size_t(store.Times().size()));
    const std::span<const float> values(store.Values().constData(), size_t(store.Values().size()));
    chart.model().setXDataIIArray(times.subspan(size_t(2 * offset), size_t(2 * qint64(n))));
    chart.model().setYDataArray(values.subspan(size_t(2 * offset), size_t(2 * qint64(n))));

    UpdateStatistics();
    // The set's own start and interval, not the estimate from the points.
    txtStartTime->setText(m_texts.dateTime(start));
    txtSamplingRate->setEditText(DateTimeText::samplingRate(interval));
    txtDataNo->setText(QString::number(n));
    chart.setPEactions(ChartWidget::PEaction::sgUndoZoom);
    Redraw(chart);

    FillDataList();
    selectDataListRow(0);
    SelectPoint(0);
}

void TfrmGraph::Grid2Click()
{
    const int row = topSelectedRow(Grid2);
    if (row < 0 || !m_host || !dataSetListModel->showsDataSet(row))
        return;
    showDataSet(m_host->dataSets(), row);
}

void TfrmGraph::Grid3Click()
{
    const int row = topSelectedRow(Grid3);
    if (row >= 0)
        SelectPoint(row);
}

void TfrmGraph::TabControl1Change()
{
    UpdateStatistics();
    UpdateCursorStatistics();
}

void TfrmGraph::chkTextListClick()
{
    const bool on = chkTextList->isChecked();
    if (isDownloadView()) {
        pnlDataList->setVisible(on);
        return;
    }
    Grid3->setVisible(on);
    Grid2->hide();
    StaticText1->hide();
    pnlDataSets->setVisible(on);
    pnlDataList->setVisible(on);
}

void TfrmGraph::ToolButton1Click()
{
    pnlGraphStatistic->setVisible(ToolButton1->isChecked());
    pnlGraphResize();
}

void TfrmGraph::ToolButton2Click()
{
    pnlStatistic->setVisible(ToolButton2->isChecked());
}

void TfrmGraph::pnlGraphResize()
{
    // The layout places the chart after the strip has been shown or hidden.
    if (QLayout *l = pnlGraph->layout())
        l->activate();
    Panel12->move(PESGraph1->geometry().topLeft());
    Panel12->raise();
}

bool TfrmGraph::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == pnlGraph && event->type() == QEvent::Resize)
        || (watched == PESGraph1 && (event->type() == QEvent::Move || event->type() == QEvent::Resize)))
        Panel12->move(PESGraph1->geometry().topLeft());
    return QWidget::eventFilter(watched, event);
}

// Statistics and cursors ---------------------------------------------------------

int TfrmGraph::shownChannel() const
{
    return TabControl1->currentIndex() == 1 ? 1 : 0;
}

void TfrmGraph::UpdateStatistics()
{
    const StatisticsTexts t = m_cursors->wholeSetTexts(shownChannel());
    txtStartTime->setText(t.startTime);
    txtSamplingRate->setEditText(t.samplingRate);
    txtDataNo->setText(t.dataNo);
    txtT1Max->setText(t.maximum);
    txtT1Min->setText(t.minimum);
    txtT1Avg->setText(t.average);
}

void TfrmGraph::showCursorTexts(const CursorTexts &t)
{
    txtCursorA->setText(t.cursorA);
    txtCursorATime->setText(t.cursorATime);
    txtCursorB->setText(t.cursorB);
    txtCursorBTime->setText(t.cursorBTime);
    txtMaxAB->setText(t.maxAB);
    txtMaxABTime->setText(t.maxABTime);
    txtMinAB->setText(t.minAB);
    txtMinABTime->setText(t.minABTime);
    txtAvgAB->setText(t.avgAB);
}

void TfrmGraph::SelectPoint(int index)
{
    ChartModel &m = PESGraph1->model();
    if (!m_cursors->SelectPoint(index)) {
        // No such sample (an empty data set): nothing to mark.
        showCursorTexts(CursorTexts());
        if (m.hasVertLineAnnotation(kPointLine))
            m.setVertLineAnnotationText(kPointLine, QString());
        Redraw(*PESGraph1);
        return;
    }
    m.setLineAnnotationTextSize(100);
    m.setVertLineAnnotation(kPointLine, m_cursors->sampleTime(index));
    m.setVertLineAnnotationType(kPointLine, VertLineType::Solid);
    m.setVertLineAnnotationColor(kPointLine, kBlack);
    m.setVertLineAnnotation(kLineA, m_cursors->cursorTime(Line::A));
    m.setVertLineAnnotation(kLineB, m_cursors->cursorTime(Line::B));
    UpdateCursorStatistics();
    m.setVertLineAnnotationText(kPointLine, m_cursors->pointLineText(index));
    Redraw(*PESGraph1);
}

void TfrmGraph::UpdateCursorStatistics()
{
    showCursorTexts(m_cursors->UpdateCursorStatistics(shownChannel()));
}

double TfrmGraph::mouseX() const
{
    return PESGraph1->pixelToData(PESGraph1->lastMousePosition()).x();
}

bool TfrmGraph::mouseInPlot() const
{
    return PESGraph1->plottingRect().contains(PESGraph1->lastMousePosition());
}

void TfrmGraph::setCursorLineColours(bool draggingA, bool draggingB)
{
    ChartModel &m = PESGraph1->model();
    m.setVertLineAnnotationColor(kLineA, draggingA ? kGrey : kBlue);
    m.setVertLineAnnotationColor(kLineB, draggingB ? kGrey : kGreen);
}

void TfrmGraph::PESGraph1VertLineAnnotHotSpot(int line)
{
    if (line != kLineA && line != kLineB)
        return;
    if (!m_cursors->grab(Line(line)))
        return;
    setCursorLineColours(m_cursors->DraggingA(), m_cursors->DraggingB());
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1MouseMove()
{
    const CursorController::Follow follow = m_cursors->mouseMove(mouseInPlot());
    if (!follow.a && !follow.b)
        return;
    // The line follows the mouse unsnapped; only its layer is repainted.
    const double x = mouseX();
    ChartModel &m = PESGraph1->model();
    const auto moveLine = [&](int line) {
        m.setVertLineAnnotation(line, x);
        PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    };
    if (follow.a)
        moveLine(kLineA);
    if (follow.b)
        moveLine(kLineB);
}

void TfrmGraph::PESGraph1MouseUp()
{
    ChartModel &m = PESGraph1->model();
    setCursorLineColours(false, false);
    const CursorController::Drop drop = m_cursors->drop(mouseX(), mouseInPlot());
    if (drop.snapped) {
        if (drop.movedA)
            m.setVertLineAnnotation(kLineA, m_cursors->cursorTime(Line::A));
        if (drop.movedB)
            m.setVertLineAnnotation(kLineB, m_cursors->cursorTime(Line::B));
        UpdateCursorStatistics();
    }
    Redraw(*PESGraph1);
}

// Click modes, notes, hot spots, zoom and split --------------------------------

void TfrmGraph::ToolButton4Click()
{
    PESGraph1->model().setArrowCursor(ArrowCursor::sgArrow);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Normal);
}

void TfrmGraph::ToolButton9Click()
{
    PESGraph1->model().setArrowCursor(ArrowCursor::sgIBeam);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Text);
}

void TfrmGraph::ToolButton5Click()
{
    PESGraph1->model().setArrowCursor(ArrowCursor::sgCrossResource);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Cross);
}

void TfrmGraph::setClickMode(ClickMode mode)
{
    m_modes.clickMode = mode;
}

void TfrmGraph::PESGraph1Click()
{
    const ClickMode mode = m_modes.clickMode;
    if (mode != ClickMode::Text && mode != ClickMode::Cross)
        return;
    QPoint pixel = PESGraph1->lastMousePosition();
    pixel += mode == ClickMode::Text ? QPoint(1, 7) : QPoint(15, 15);
    if (!PESGraph1->plottingRect().contains(pixel))
        return;
    const QPointF at = PESGraph1->pixelToData(pixel);
    ChartModel &m = PESGraph1->model();
    if (mode == ClickMode::Text) {
        TfrmAnnoEdit dialog(this);
        if (Prompter::instance().exec(dialog) != QDialog::Accepted)
            return;
        const int index = m_modes.nextIndex(m.highestGraphAnnotationIndex());
        m.setGraphAnnotationX(index, at.x());
        m.setGraphAnnotationY(index, at.y());
        m.setGraphAnnotationType(index, AnnotationType::Text);
        m.setGraphAnnotationText(index, dialog.text());
        m.setGraphAnnotationColor(index, kBlack);
    } else {
        const int index = m_modes.nextIndex(m.highestGraphAnnotationIndex());
        m.setGraphAnnotationX(index, at.x());
        m.setGraphAnnotationY(index, at.y());
        m.setGraphAnnotationType(index, AnnotationType::Cross);
        m.setGraphAnnotationColor(index, kBlack);
        m.setGraphAnnotationText(index, QString());
    }
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1GraphAnnotHotSpot(int index, bool doubleClick)
{
    if (!doubleClick)
        return;
    ChartModel &m = PESGraph1->model();
    m.setGraphAnnotationType(index, AnnotationType::Text);
    m.setGraphAnnotationText(index, QString());
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1GraphHotSpot()
{
    PESGraph1->setToolTip(QStringLiteral("Double click to delete."));
}

void TfrmGraph::PESGraph1DataHotSpot(int point, int)
{
    if (point < 0 || point >= dataListModel->rowCount())
        return;
    selectDataListRow(point);
    scrollDataListTo(point);
    // Ends with the redraw.
    SelectPoint(point);
}

void TfrmGraph::PESGraph1ZoomIn()
{
    UndoZoom->setEnabled(true);
}

void TfrmGraph::UndoZoomClick()
{
    PESGraph1->setPEactions(ChartWidget::PEaction::sgUndoZoom);
    PESGraph1->setPEnarg1(0);
    PESGraph1->setPEnarg2(0);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgResetImage);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    UndoZoom->setEnabled(false);
}

void TfrmGraph::Button1Click()
{
    ChartModel &m = PESGraph1->model();
    const double minX = m.manualMinX();
    const double maxX = m.manualMaxX();
    PESGraph1->setPEactions(ChartWidget::PEaction::sgCustomize);
    m.setManualScaleControlX(ScaleControl::sgManualMinAndMax);
    m.setManualMinX(minX);
    m.setManualMaxX(maxX);
    const float minY = float(m.manualMinY());
    const float maxY = float(m.manualMaxY());
    if (ScaleSettings::autoScaleSetting() == 0) {
        m.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
        m.setManualMinY(minY);
        m.setManualMaxY(maxY);
    }
    m.setWorkingAxis(0);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgUndoZoom);
    UndoZoom->setEnabled(false);
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1CustomizeDlg()
{
    if (PESGraph1->GetDialogResult() == 0)
        return;
    if (SaveGraphTemplate(PESGraph1->model(), this))
        Redraw(*PESGraph1);
}

void TfrmGraph::chkSplitClick()
{
    ChartModel &m = PESGraph1->model();
    if (chkSplit->isChecked()) {
        m.setMultiAxesSubsets(0, 1);
        m.setMultiAxesSubsets(1, 1);
        m.setMultiAxesProportions(0, 0.25);
        m.setMultiAxesProportions(1, 0.25);
        m.setArrowCursor(ArrowCursor::sgArrow);
        setClickMode(ClickMode::Normal);
        ToolButton4->setChecked(true);
    } else {
        m.setMultiAxesSubsets(-1, 0);
        m.setMultiAxesProportions(0, 1.0);
        ToolButton5->setEnabled(true);
        ToolButton9->setEnabled(true);
    }
    Redraw(*PESGraph1);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgReinitAndReset);
}

// Scale limits ---------------------------------------------------------------

void TfrmGraph::Button2Click()
{
    ChartModel &m = PESGraph1->model();
    const AxisSettings humidity = m.axis(0);
    const AxisSettings temperature = m.axis(1);
    TfrmSetupScale dialog(this);
    dialog.setLimits(humidity.manualMin, humidity.manualMax, temperature.manualMin, temperature.manualMax);
    if (Prompter::instance().exec(dialog) != QDialog::Accepted)
        return;
    QString invalid;
    const std::optional<TfrmSetupScale::Limits> limits = dialog.limits(&invalid);
    if (!limits) {
        Prompter::notice(this, invalid + QStringLiteral(" is invalid."));
        return;
    }
    ScaleSettings::setAutoScaleSetting(0);
    m.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
    m.setWorkingAxis(0);
    m.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
    m.setManualMinY(double(limits->t1Min));
    m.setManualMaxY(double(limits->t1Max));
    m.setWorkingAxis(1);
    m.setManualScaleControlY(ScaleControl::sgManualMinAndMax);
    m.setManualMinY(double(limits->t2Min));
    m.setManualMaxY(double(limits->t2Max));
    m.setWorkingAxis(0);
    Redraw(*PESGraph1);
    if (dialog.saveSetting())
        SaveGraphTemplate(m, this);
}

void TfrmGraph::BitBtn1Click()
{
    ScaleSettings::setAutoScaleSetting(1);
    ChartModel &m = PESGraph1->model();
    for (int axis : {0, 1, 0}) {
        m.setWorkingAxis(axis);
        m.setManualScaleControlY(ScaleControl::sgAutoScale);
    }
    Redraw(*PESGraph1);
}
