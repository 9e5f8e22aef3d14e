#pragma once

#include "core/data/AlarmLimits.h"
#include "core/data/DateTimeText.h"

#include <QAbstractTableModel>

class ChartModel;

// The data list of a view (Grid3): one row per point of the view's chart,
// formatted when a row is shown, so a million samples open and scroll at once.
// The rows follow the chart as it was at the last fill().
class DataListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The columns of the readings, then the two derived ones, shown while
    // setDerivedShown(true).
    enum Column { No, Date, Time, Humidity, Temp, ColumnCount, DewPoint = ColumnCount, AbsHumidity, AllColumns };

    explicit DataListModel(const ChartModel &chart, const QLocale &locale = QLocale::system(),
                           QObject *parent = nullptr);

    // Takes the chart's points as the rows.
    void fill();
    // The dew point and absolute humidity columns, from the readings in `unit`.
    void setDerivedShown(bool shown, TemperatureUnit unit);
    bool derivedShown() const { return m_derivedShown; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell (empty outside the rows).
    QString text(int row, int column) const;
    // The text of a cell of sample `index` (0-based) with the given time and
    // readings: the one formatting the list, the printed listing and the
    // report share.
    static QString cellText(const DateTimeText &texts, int column, qsizetype index, double time, float humidity,
                            float temperature);
    // A derived column's text: one decimal, "****" when the sample gives no value.
    static QString derivedText(const DateTimeText &texts, int column, float humidity, float temperature,
                               TemperatureUnit unit);
    // The heading of a column ("No", "DATE", ...); empty outside the columns.
    static QString heading(int column);
    static int columnWidth(int column);

private:
    const ChartModel &m_chart;
    DateTimeText m_texts;
    int m_rows = 0;
    bool m_derivedShown = false;
    TemperatureUnit m_unit = TemperatureUnit::Celsius;
};
