#include "core/chart/DataListModel.h"

#include "core/chart/ChartModel.h"
#include "core/data/DerivedChannels.h"

#include <cmath>

DataListModel::DataListModel(const ChartModel &chart, const QLocale &locale, QObject *parent)
    : QAbstractTableModel(parent)
    , m_chart(chart)
    , m_texts(locale)
{
}

void DataListModel::fill()
{
    beginResetModel();
    m_rows = m_chart.subsets() >= 2 ? m_chart.points() : 0;
    endResetModel();
}

void DataListModel::setDerivedShown(bool shown, TemperatureUnit unit)
{
    // The unit alone changes no cell while the columns are hidden.
    if (shown == m_derivedShown && (unit == m_unit || !shown)) {
        m_unit = unit;
        return;
    }
    beginResetModel();
    m_derivedShown = shown;
    m_unit = unit;
    endResetModel();
}

int DataListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : (m_derivedShown ? AllColumns : ColumnCount);
}

QString DataListModel::text(int row, int column) const
{
    // The chart may have been prepared for new content since the last fill.
    if (row < 0 || row >= m_rows || row >= m_chart.points() || m_chart.subsets() < 2)
        return QString();
    if (column >= ColumnCount)
        return m_derivedShown ? derivedText(m_texts, column, m_chart.yData(0, row), m_chart.yData(1, row), m_unit)
                              : QString();
    return cellText(m_texts, column, row, m_chart.xDataII(0, row), m_chart.yData(0, row), m_chart.yData(1, row));
}

QString DataListModel::derivedText(const DateTimeText &texts, int column, float humidity, float temperature,
                                   TemperatureUnit unit)
{
    if (column != DewPoint && column != AbsHumidity)
        return QString();
    const float v = Humidity::derivedValue(column - DewPoint, humidity, temperature, unit);
    return std::isnan(v) ? QStringLiteral("****") : texts.oneDecimal(v);
}

QString DataListModel::cellText(const DateTimeText &texts, int column, qsizetype index, double time, float humidity,
                                float temperature)
{
    switch (column) {
    case No:
        return QString::number(index + 1);
    case Date:
        return texts.shortDate(time);
    case Time:
        return texts.longTime(time);
    case Humidity:
        return texts.reading(humidity);
    case Temp:
        // Out-of-range temperatures show their marker value, not "OL".
        return texts.oneDecimal(temperature);
    default:
        return QString();
    }
}

QString DataListModel::heading(int column)
{
    static const char *const headers[AllColumns] = {"No", "DATE", "TIME", "HUMIDITY", "Temp", "Dew pt", "g/m3"};
    return column >= 0 && column < AllColumns ? QString::fromLatin1(headers[column]) : QString();
}

QVariant DataListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return text(index.row(), index.column());
}

QVariant DataListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    return heading(section);
}

int DataListModel::columnWidth(int column)
{
    static const int widths[AllColumns] = {35, 60, 70, 60, 60, 55, 50};
    return column >= 0 && column < AllColumns ? widths[column] : 0;
}
