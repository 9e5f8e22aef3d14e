// The data view's widgets: the panels, the tool bar, the strip and the
// statistics panel, with their names, captions, sizes, colours and fonts.
// The handlers they call are in TfrmGraph.cpp.
#include "gui/dataview/TfrmGraph.h"

#include "chart/ChartWidget.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/GraphToolIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

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

} // namespace

TfrmGraph::TfrmGraph(AppContext &ctx, TfrmGraphHost *host, Role role, QWidget *parent)
    : QWidget(parent)
    , m_ctx(ctx)
    , m_modes(ctx.annotations())
    , m_host(host)
    , m_role(role)
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
    // The download view lists the data sets above the data list; a file
    // view shows the data list alone.
    if (isDownloadView())
        setWindowTitle(downloadCaption());
    pnlDataSets->show();
    StaticText1->setVisible(isDownloadView());
    pnlDataList->show();
    Grid2->setVisible(isDownloadView());
}

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
    PESGraph1->setDialogRunner([this](QDialog &dialog) { return m_ctx.prompter().exec(dialog); });
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
    addLimitBoxes(*grid, page);
    grid->setColumnStretch(9, 1);
    grid->setRowStretch(7, 1);

    connect(TabControl1, &QTabBar::currentChanged, this, &TfrmGraph::TabControl1Change);
    return pnlStatistic;
}

void TfrmGraph::addLimitBoxes(QGridLayout &grid, QWidget *page)
{
    // The limits and the mean kinetic temperature take the cells the boxes
    // above leave free, each no wider than the free cell, so no existing box
    // moves; the long excursion texts get two rows of their own, shown only
    // while limits are set.
    const auto pair = [page](const QString &caption, QLineEdit *box) {
        auto *w = new QWidget(page);
        auto *l = new QHBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(6);
        l->addWidget(label(caption, w));
        box->setParent(w);
        l->addWidget(box);
        return w;
    };
    txtMkt = valueBox("txtMkt", page, 66);
    QWidget *mkt = pair(QStringLiteral("MKT"), txtMkt);
    grid.addWidget(mkt, 2, 2, 1, 2, Qt::AlignLeft);
    txtMktAB = valueBox("txtMktAB", page, 100);
    QWidget *mktAB = pair(QStringLiteral("MKT"), txtMktAB);
    grid.addWidget(mktAB, 4, 7, 1, 2, Qt::AlignLeft);
    m_mktWidgets = {mkt, mktAB};

    grid.addWidget(label(QStringLiteral("Limits"), page), 3, 0);
    txtLimits = valueBox("txtLimits", page, 200);
    grid.addWidget(txtLimits, 3, 1, 1, 3);
    grid.addWidget(label(QStringLiteral("Within"), page), 4, 0);
    txtWithin = valueBox("txtWithin", page, 80);
    grid.addWidget(txtWithin, 4, 1);
    btnLimits = new QPushButton(QStringLiteral("Limits..."), page);
    btnLimits->setObjectName(QStringLiteral("btnLimits"));
    btnLimits->setToolTip(QStringLiteral("Alarm limits and the activation energy of the mean kinetic temperature"));
    btnLimits->setFocusPolicy(Qt::NoFocus);
    btnLimits->setFixedHeight(txtWithin->sizeHint().height());
    grid.addWidget(btnLimits, 4, 2, 1, 2, Qt::AlignLeft);
    connect(btnLimits, &QPushButton::clicked, this, &TfrmGraph::LimitsClick);

    const auto sideRow = [&](int r, const QString &caption, QLineEdit *&box, const char *name) {
        QLabel *l = label(caption, page);
        grid.addWidget(l, r, 0);
        box = valueBox(name, page, 0);
        box->setMinimumWidth(0);
        box->setMaximumWidth(QWIDGETSIZE_MAX);
        grid.addWidget(box, r, 1, 1, 8);
        m_limitRows << l << box;
    };
    // Columns 2 and 3 held nothing but the span of the MAX and MIN boxes and
    // so took no spacing; with boxes of their own they take one more, which
    // the gap before the cursor boxes gives back so that those keep their place.
    grid.setColumnMinimumWidth(4, 16 - grid.horizontalSpacing());
    sideRow(5, QStringLiteral("Above"), txtAbove, "txtAbove");
    sideRow(6, QStringLiteral("Below"), txtBelow, "txtBelow");
    for (QWidget *w : std::as_const(m_limitRows))
        w->hide();
}
