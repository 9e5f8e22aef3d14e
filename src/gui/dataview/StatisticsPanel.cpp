#include "gui/dataview/StatisticsPanel.h"

#include "gui/dataview/ValueBox.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The panel's text colours for cursors A and B (the lines' blue, and a green
// that stays readable on a light box).
const QColor kPanelBlue(0, 0, 255);
const QColor kPanelGreen(0, 128, 0);

// What the average box shows before the first data.
QString noAverage()
{
    return QStringLiteral("***.* ");
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

StatisticsPanel::StatisticsPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlStatistic"));
    setMinimumHeight(150);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(0);
    TabControl1 = new QTabBar(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->addTab(QStringLiteral("Humidity"));
    TabControl1->addTab(QStringLiteral("Temperature"));
    TabControl1->addTab(QStringLiteral("Dew point"));
    TabControl1->addTab(QStringLiteral("Abs. humidity"));
    TabControl1->setTabToolTip(DewPointTab, QStringLiteral("Dew point from each sample's temperature and humidity"));
    TabControl1->setTabToolTip(AbsoluteHumidityTab,
                               QStringLiteral("Absolute humidity (g/m\u00b3) from each sample's temperature and humidity"));
    TabControl1->setDrawBase(false);
    TabControl1->setExpanding(false);
    outer->addWidget(TabControl1);
    auto *page = new QFrame(this);
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
    txtT1Avg->setText(noAverage());
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
    grid->setRowStretch(9, 1);

    connect(TabControl1, &QTabBar::currentChanged, this, &StatisticsPanel::channelChanged);
}

void StatisticsPanel::addLimitBoxes(QGridLayout &grid, QWidget *page)
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

    // The unit of a derived channel takes the MKT's cell, which the derived
    // tabs do not show.
    lblUnit = label(QString(), page);
    lblUnit->setObjectName(QStringLiteral("lblUnit"));
    lblUnit->hide();
    grid.addWidget(lblUnit, 2, 2, 1, 2, Qt::AlignLeft);

    QLabel *limitsLabel = label(QStringLiteral("Limits"), page);
    grid.addWidget(limitsLabel, 3, 0);
    txtLimits = valueBox("txtLimits", page, 200);
    grid.addWidget(txtLimits, 3, 1, 1, 3);
    QLabel *withinLabel = label(QStringLiteral("Within"), page);
    grid.addWidget(withinLabel, 4, 0);
    txtWithin = valueBox("txtWithin", page, 80);
    grid.addWidget(txtWithin, 4, 1);
    btnLimits = new QPushButton(QStringLiteral("Limits..."), page);
    btnLimits->setObjectName(QStringLiteral("btnLimits"));
    btnLimits->setToolTip(QStringLiteral("Alarm limits and the activation energy of the mean kinetic temperature"));
    btnLimits->setFocusPolicy(Qt::NoFocus);
    btnLimits->setFixedHeight(txtWithin->sizeHint().height());
    grid.addWidget(btnLimits, 4, 2, 1, 2, Qt::AlignLeft);
    connect(btnLimits, &QPushButton::clicked, this, &StatisticsPanel::limitsClicked);
    m_limitBoxes = {limitsLabel, txtLimits, withinLabel, txtWithin, btnLimits};

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

    // The worst 24 hours and 30 days, on the temperature tab.
    QLabel *day = label(QStringLiteral("MKT 24 h"), page);
    grid.addWidget(day, 7, 0);
    txtMktDay = valueBox("txtMktDay", page, 0);
    txtMktDay->setToolTip(QStringLiteral("The worst 24 consecutive hours' mean kinetic temperature and their start"));
    grid.addWidget(txtMktDay, 7, 1, 1, 3);
    QLabel *month = label(QStringLiteral("MKT 30 d"), page);
    grid.addWidget(month, 7, 5);
    txtMktMonth = valueBox("txtMktMonth", page, 0);
    txtMktMonth->setToolTip(QStringLiteral("The worst 30 consecutive days' mean kinetic temperature and their start"));
    grid.addWidget(txtMktMonth, 7, 6, 1, 3);
    m_windowRow = {day, txtMktDay, month, txtMktMonth};
    for (QLineEdit *box : {txtMktDay, txtMktMonth}) {
        box->setMinimumWidth(0);
        box->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    sideRow(8, QStringLiteral("Breaches"), txtBreaches, "txtBreaches");
    m_breachRow = {m_limitRows.takeLast(), m_limitRows.takeLast()};
    for (QWidget *w : m_windowRow + m_breachRow)
        w->hide();
}

int StatisticsPanel::shownChannel() const
{
    return std::max(TabControl1->currentIndex(), 0);
}

void StatisticsPanel::showStatistics(const StatisticsTexts &texts)
{
    txtT1Max->setText(texts.maximum);
    txtT1Min->setText(texts.minimum);
    txtT1Avg->setText(texts.average);
}

void StatisticsPanel::showCursors(const CursorTexts &texts)
{
    txtCursorA->setText(texts.cursorA);
    txtCursorATime->setText(texts.cursorATime);
    txtCursorB->setText(texts.cursorB);
    txtCursorBTime->setText(texts.cursorBTime);
    txtMaxAB->setText(texts.maxAB);
    txtMaxABTime->setText(texts.maxABTime);
    txtMinAB->setText(texts.minAB);
    txtMinABTime->setText(texts.minABTime);
    txtAvgAB->setText(texts.avgAB);
}

void StatisticsPanel::showCursorMkt(const QString &text)
{
    txtMktAB->setText(text);
}

void StatisticsPanel::showLimits(const LimitTexts &texts)
{
    txtLimits->setText(texts.limits);
    txtWithin->setText(texts.within);
    txtAbove->setText(texts.above);
    txtBelow->setText(texts.below);
    txtMkt->setText(texts.mkt);
    txtMktDay->setText(texts.mktDay);
    txtMktMonth->setText(texts.mktMonth);
    txtBreaches->setText(texts.breaches);
    for (QWidget *w : std::as_const(m_limitRows))
        w->setVisible(texts.sidesShown);
    for (QWidget *w : m_mktWidgets + m_windowRow)
        w->setVisible(texts.mktShown);
    for (QWidget *w : std::as_const(m_breachRow))
        w->setVisible(texts.breachesShown);
    for (QWidget *w : std::as_const(m_limitBoxes))
        w->setVisible(texts.limitsShown);
}

void StatisticsPanel::showUnit(const QString &unit)
{
    lblUnit->setText(unit);
    lblUnit->setVisible(!unit.isEmpty());
}

void StatisticsPanel::clear()
{
    StatisticsTexts none;
    none.average = noAverage();
    showStatistics(none);
    showCursors(CursorTexts());
    // The limits stay: they belong to the program, not to the data.
    for (QLineEdit *box : {txtWithin, txtAbove, txtBelow, txtMkt, txtMktAB, txtMktDay, txtMktMonth, txtBreaches})
        box->clear();
}
