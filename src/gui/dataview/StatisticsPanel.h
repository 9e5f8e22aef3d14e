#pragma once

#include "core/data/Statistics.h"

#include <QList>
#include <QString>
#include <QWidget>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

// The statistics panel under a data view's chart: the tabs of the two
// channels, the whole set's maximum, minimum and average, cursors A and B
// with the readings between them, and the alarm limits with the mean kinetic
// temperature. It computes nothing: the view hands it the texts to show.
class StatisticsPanel : public QWidget
{
    Q_OBJECT
public:
    // The limit and mean kinetic temperature boxes of the shown channel.
    struct LimitTexts
    {
        QString limits;                 // the channel's limits, "none" without any
        QString within, above, below;   // empty while the channel has no limits
        QString mkt;                    // the whole set's, temperature only
        bool sidesShown = false;        // the Above and Below rows: while any channel has limits
        bool mktShown = false;          // the MKT boxes: on the temperature tab
        QString mktDay, mktMonth;       // the worst 24 hours' and 30 days' MKT, with their start
        QString breaches;               // under the channel's delay and warning levels
        bool breachesShown = false;     // the Breaches row: while the channel has a delay or warnings
        bool limitsShown = true;        // the Limits and Within rows: not on the derived tabs
    };

    // The tabs: the two channels, then the two derived from both.
    enum Tab { HumidityTab, TemperatureTab, DewPointTab, AbsoluteHumidityTab };

    explicit StatisticsPanel(QWidget *parent = nullptr);

    // The tab shown (a Tab): 0 humidity, 1 temperature, 2 dew point, 3
    // absolute humidity.
    int shownChannel() const;

    void showStatistics(const StatisticsTexts &texts);
    void showCursors(const CursorTexts &texts);
    // The mean kinetic temperature between the cursors.
    void showCursorMkt(const QString &text);
    void showLimits(const LimitTexts &texts);
    // The unit of the figures beside the average, on the derived tabs (the
    // reading channels carry theirs in the chart); empty hides it.
    void showUnit(const QString &unit);
    // Every box that shows data back to its look before the first data; the
    // limits, the tab and what is shown or hidden stay.
    void clear();

    QTabBar *TabControl1 = nullptr;
    QLineEdit *txtT1Max = nullptr;
    QLineEdit *txtT1Min = nullptr;
    QLineEdit *txtT1Avg = nullptr;
    QLineEdit *txtCursorA = nullptr;
    QLineEdit *txtCursorATime = nullptr;
    QLineEdit *txtCursorB = nullptr;
    QLineEdit *txtCursorBTime = nullptr;
    QLineEdit *txtMaxAB = nullptr;
    QLineEdit *txtMaxABTime = nullptr;
    QLineEdit *txtMinAB = nullptr;
    QLineEdit *txtMinABTime = nullptr;
    QLineEdit *txtAvgAB = nullptr;
    // Alarm limits and mean kinetic temperature.
    QPushButton *btnLimits = nullptr;
    QLineEdit *txtLimits = nullptr;
    QLineEdit *txtWithin = nullptr;
    QLineEdit *txtAbove = nullptr;
    QLineEdit *txtBelow = nullptr;
    QLineEdit *txtMkt = nullptr;
    QLineEdit *txtMktAB = nullptr;
    QLineEdit *txtMktDay = nullptr;
    QLineEdit *txtMktMonth = nullptr;
    QLineEdit *txtBreaches = nullptr;
    QLabel *lblUnit = nullptr;

Q_SIGNALS:
    // The user chose the other channel's tab.
    void channelChanged();
    // "Limits..." was clicked.
    void limitsClicked();

private:
    void addLimitBoxes(QGridLayout &grid, QWidget *page);

    QList<QWidget *> m_mktWidgets;
    QList<QWidget *> m_limitRows;
    QList<QWidget *> m_windowRow;
    QList<QWidget *> m_breachRow;
    QList<QWidget *> m_limitBoxes;
};
