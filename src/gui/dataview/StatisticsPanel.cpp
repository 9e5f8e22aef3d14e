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
    grid->setRowStretch(7, 1);

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
    connect(btnLimits, &QPushButton::clicked, this, &StatisticsPanel::limitsClicked);

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

int StatisticsPanel::shownChannel() const
{
    return TabControl1->currentIndex() == 1 ? 1 : 0;
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
    for (QWidget *w : std::as_const(m_limitRows))
        w->setVisible(texts.sidesShown);
    for (QWidget *w : std::as_const(m_mktWidgets))
        w->setVisible(texts.mktShown);
}

void StatisticsPanel::clear()
{
    StatisticsTexts none;
    none.average = noAverage();
    showStatistics(none);
    showCursors(CursorTexts());
    // The limits stay: they belong to the program, not to the data.
    for (QLineEdit *box : {txtWithin, txtAbove, txtBelow, txtMkt, txtMktAB})
        box->clear();
}
