// The statistics panel on its own, without a data view: the texts handed to
// it appear in the boxes that the views, the tests and the shots find by
// name, the rows of the limits show and hide with them, and the tab and the
// "Limits..." button reach the view through the panel's signals.
#include "core/data/Statistics.h"
#include "gui/dataview/StatisticsPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

namespace {

// Box object name -> text.
using Boxes = QMap<QString, QString>;

const QStringList kDataBoxes = {
    QStringLiteral("txtT1Max"),   QStringLiteral("txtT1Min"),       QStringLiteral("txtT1Avg"),
    QStringLiteral("txtCursorA"), QStringLiteral("txtCursorATime"), QStringLiteral("txtCursorB"),
    QStringLiteral("txtCursorBTime"), QStringLiteral("txtMaxAB"),   QStringLiteral("txtMaxABTime"),
    QStringLiteral("txtMinAB"),   QStringLiteral("txtMinABTime"),   QStringLiteral("txtAvgAB"),
    QStringLiteral("txtMktAB")};

QString boxText(const StatisticsPanel &panel, const QString &name)
{
    const auto *box = panel.findChild<QLineEdit *>(name);
    return box ? box->text() : QStringLiteral("<no box %1>").arg(name);
}

bool labelShown(const StatisticsPanel &panel, const QString &caption)
{
    for (const QLabel *l : panel.findChildren<QLabel *>()) {
        if (l->text() == caption)
            return l->isVisibleTo(&panel);
    }
    return false;
}

StatisticsTexts statistics(const QStringList &t)
{
    StatisticsTexts s;
    s.maximum = t.value(0);
    s.minimum = t.value(1);
    s.average = t.value(2);
    return s;
}

CursorTexts cursors(const QStringList &t)
{
    CursorTexts c;
    c.cursorA = t.value(0);
    c.cursorATime = t.value(1);
    c.cursorB = t.value(2);
    c.cursorBTime = t.value(3);
    c.maxAB = t.value(4);
    c.maxABTime = t.value(5);
    c.minAB = t.value(6);
    c.minABTime = t.value(7);
    c.avgAB = t.value(8);
    return c;
}

// A panel that shows some data already, so every row also replaces texts.
void fill(StatisticsPanel &panel)
{
    panel.showStatistics(statistics({"old max", "old min", "old avg"}));
    panel.showCursors(cursors({"a", "at", "b", "bt", "max", "maxt", "min", "mint", "avg"}));
    panel.showCursorMkt(QStringLiteral("old mkt"));
}

} // namespace

Q_DECLARE_METATYPE(Boxes)

class TestStatisticsPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsWithoutData();
    void showsReadings_data();
    void showsReadings();
    void showsLimits_data();
    void showsLimits();
    void clearKeepsLimits();
    void signalsUserActions();
};

void TestStatisticsPanel::startsWithoutData()
{
    StatisticsPanel panel;
    QCOMPARE(panel.objectName(), QStringLiteral("pnlStatistic"));
    QCOMPARE(panel.shownChannel(), 0);
    for (const QString &name : kDataBoxes)
        QCOMPARE(boxText(panel, name), name == u"txtT1Avg" ? QStringLiteral("***.* ") : QString());
    QVERIFY(!panel.txtAbove->isVisibleTo(&panel));
    QVERIFY(!labelShown(panel, QStringLiteral("Below")));
}

void TestStatisticsPanel::showsReadings_data()
{
    QTest::addColumn<QStringList>("statistics");
    QTest::addColumn<QStringList>("cursors");
    QTest::addColumn<QString>("cursorMkt");
    QTest::addColumn<Boxes>("expected");

    QTest::newRow("readings")
        << QStringList{"56.2@01/03/2009 10:22:00", "40.0@01/03/2009 10:27:00", "48.5"}
        << QStringList{"53.0", "01/03/2009 10:23:00", "41.0", "01/03/2009 10:26:00", "56.2",
                       "01/03/2009 10:24:00", "40.0", "01/03/2009 10:25:00", "47.6"}
        << QStringLiteral("25.3 °C")
        << Boxes{{"txtT1Max", "56.2@01/03/2009 10:22:00"}, {"txtT1Min", "40.0@01/03/2009 10:27:00"},
                 {"txtT1Avg", "48.5"}, {"txtCursorA", "53.0"}, {"txtCursorATime", "01/03/2009 10:23:00"},
                 {"txtCursorB", "41.0"}, {"txtCursorBTime", "01/03/2009 10:26:00"}, {"txtMaxAB", "56.2"},
                 {"txtMaxABTime", "01/03/2009 10:24:00"}, {"txtMinAB", "40.0"},
                 {"txtMinABTime", "01/03/2009 10:25:00"}, {"txtAvgAB", "47.6"}, {"txtMktAB", "25.3 °C"}};
    // Only out-of-range markers: nothing to average, no cursor readings.
    QTest::newRow("out of range")
        << QStringList{"OL", "OL", "****"} << QStringList() << QString()
        << Boxes{{"txtT1Max", "OL"}, {"txtT1Min", "OL"}, {"txtT1Avg", "****"}};
    // An empty data set: every box empties, the average too.
    QTest::newRow("no data") << QStringList() << QStringList() << QString() << Boxes();
}

void TestStatisticsPanel::showsReadings()
{
    QFETCH(QStringList, statistics);
    QFETCH(QStringList, cursors);
    QFETCH(QString, cursorMkt);
    QFETCH(Boxes, expected);

    StatisticsPanel panel;
    fill(panel);
    panel.showStatistics(::statistics(statistics));
    panel.showCursors(::cursors(cursors));
    panel.showCursorMkt(cursorMkt);
    for (const QString &name : kDataBoxes)
        QCOMPARE(boxText(panel, name), expected.value(name));
}

void TestStatisticsPanel::showsLimits_data()
{
    QTest::addColumn<QStringList>("texts");   // limits, within, above, below, mkt
    QTest::addColumn<bool>("sidesShown");
    QTest::addColumn<bool>("mktShown");

    QTest::newRow("no limits, humidity") << QStringList{"none", "", "", "", ""} << false << false;
    QTest::newRow("no limits, temperature") << QStringList{"none", "", "", "", "24.1 °C"} << false << true;
    QTest::newRow("limits, temperature")
        << QStringList{"20.0 to 25.0", "70.0 %", "3 samples, 0:03:00, 2 excursions, longest 0:02:00 from x",
                       "2 samples, 0:02:00, 1 excursion, longest 0:02:00 from y", "24.1 °C"}
        << true << true;
    // The rows stay while the other channel has limits.
    QTest::newRow("other channel's limits") << QStringList{"none", "", "", "", ""} << true << false;
    QTest::newRow("upper limit only") << QStringList{"up to 55.0", "100.0 %", "none", "none", ""} << true << false;
}

void TestStatisticsPanel::showsLimits()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, sidesShown);
    QFETCH(bool, mktShown);

    StatisticsPanel panel;
    StatisticsPanel::LimitTexts shown;
    shown.limits = texts.at(0);
    shown.within = texts.at(1);
    shown.above = texts.at(2);
    shown.below = texts.at(3);
    shown.mkt = texts.at(4);
    shown.sidesShown = sidesShown;
    shown.mktShown = mktShown;
    // Shown the other way round first, so each row also turns the rows over.
    StatisticsPanel::LimitTexts before;
    before.sidesShown = !sidesShown;
    before.mktShown = !mktShown;
    panel.showLimits(before);
    panel.showLimits(shown);

    const QStringList boxes = {"txtLimits", "txtWithin", "txtAbove", "txtBelow", "txtMkt"};
    for (qsizetype i = 0; i < boxes.size(); ++i)
        QCOMPARE(boxText(panel, boxes.at(i)), texts.at(i));
    for (const char *caption : {"Above", "Below"})
        QCOMPARE(labelShown(panel, QString::fromLatin1(caption)), sidesShown);
    QCOMPARE(panel.txtAbove->isVisibleTo(&panel), sidesShown);
    QCOMPARE(panel.txtBelow->isVisibleTo(&panel), sidesShown);
    QCOMPARE(panel.txtMkt->isVisibleTo(&panel), mktShown);
    QCOMPARE(panel.txtMktAB->isVisibleTo(&panel), mktShown);
    // The limits' own boxes never hide.
    QVERIFY(panel.txtLimits->isVisibleTo(&panel) && panel.txtWithin->isVisibleTo(&panel));
}

void TestStatisticsPanel::clearKeepsLimits()
{
    StatisticsPanel panel;
    fill(panel);
    StatisticsPanel::LimitTexts shown{QStringLiteral("20.0 to 25.0"), QStringLiteral("70.0 %"),
                                      QStringLiteral("above"), QStringLiteral("below"),
                                      QStringLiteral("24.1 °C"), true, true};
    panel.showLimits(shown);
    panel.clear();
    for (const QString &name : kDataBoxes)
        QCOMPARE(boxText(panel, name), name == u"txtT1Avg" ? QStringLiteral("***.* ") : QString());
    for (const char *name : {"txtWithin", "txtAbove", "txtBelow", "txtMkt"})
        QCOMPARE(boxText(panel, QString::fromLatin1(name)), QString());
    QCOMPARE(panel.txtLimits->text(), QStringLiteral("20.0 to 25.0"));
    QVERIFY(panel.txtAbove->isVisibleTo(&panel) && panel.txtMkt->isVisibleTo(&panel));
}

void TestStatisticsPanel::signalsUserActions()
{
    StatisticsPanel panel;
    QSignalSpy channel(&panel, &StatisticsPanel::channelChanged);
    QSignalSpy limits(&panel, &StatisticsPanel::limitsClicked);
    panel.TabControl1->setCurrentIndex(1);
    QCOMPARE(channel.count(), 1);
    QCOMPARE(panel.shownChannel(), 1);
    panel.TabControl1->setCurrentIndex(0);
    QCOMPARE(panel.shownChannel(), 0);
    QCOMPARE(limits.count(), 0);
    panel.btnLimits->click();
    QCOMPARE(limits.count(), 1);
    QCOMPARE(channel.count(), 2);
}

QTEST_MAIN(TestStatisticsPanel)
#include "tst_statisticspanel.moc"
