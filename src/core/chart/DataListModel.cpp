#include "core/chart/DataListModel.h"

#include "core/chart/ChartModel.h"

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

int DataListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DataListModel::text(int row, int column) const
{
    // The chart may have been prepared for new content since the last fill.
    if (row < 0 || row >= m_rows || row >= m_chart.points() || m_chart.subsets() < 2)
        return QString();
    return cellText(m_texts, column, row, m_chart.xDataII(0, row), m_chart.yData(0, row), m_chart.yData(1, row));
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
    static const char *const headers[ColumnCount] = {"No", "DATE", "TIME", "HUMIDITY", "Temp"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(headers[column]) : QString();
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
    if (section < 0 || section >= ColumnCount)
        return {};
    return heading(section);
}

int DataListModel::columnWidth(int column)
{
    static const int widths[ColumnCount] = {35, 60, 70, 60, 60};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}
