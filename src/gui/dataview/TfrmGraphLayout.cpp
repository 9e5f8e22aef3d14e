// The data view's widgets: the panels, the tool bar and the strip, with their
// names, captions, sizes, colours and fonts; the statistics panel builds its
// own. The handlers they call are in TfrmGraph.cpp.
#include "gui/dataview/TfrmGraph.h"

#include "chart/ChartWidget.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/GraphToolIcons.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/ValueBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

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
    chkDerivedColumns = new QCheckBox(QStringLiteral("Dew point and absolute humidity"), pnlDataList);
    chkDerivedColumns->setObjectName(QStringLiteral("chkDerivedColumns"));
    chkDerivedColumns->setToolTip(QStringLiteral("Two more columns derived from each sample's temperature and humidity"));
    listLayout->addWidget(chkDerivedColumns);
    connect(chkDerivedColumns, &QCheckBox::toggled, this, &TfrmGraph::chkDerivedColumnsClick);
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
    m_panel = new StatisticsPanel(Splitter1);
    Splitter1->addWidget(m_panel);
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
    connect(m_panel, &StatisticsPanel::channelChanged, this, &TfrmGraph::TabControl1Change);
    connect(m_panel, &StatisticsPanel::limitsClicked, this, &TfrmGraph::LimitsClick);
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
