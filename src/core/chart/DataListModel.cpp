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
    switch (column) {
    case No:
        return QString::number(row + 1);
    case Date:
        return m_texts.shortDate(m_chart.xDataII(0, row));
    case Time:
        return m_texts.longTime(m_chart.xDataII(0, row));
    case Humidity:
        return m_texts.reading(m_chart.yData(0, row));
    case Temp:
        // Out-of-range temperatures show their marker value, not "OL".
        return m_texts.oneDecimal(m_chart.yData(1, row));
    default:
        return QString();
    }
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
    static const char *const headers[ColumnCount] = {"No", "DATE", "TIME", "HUMIDITY", "Temp"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(headers[section]);
}

int DataListModel::columnWidth(int column)
{
    static const int widths[ColumnCount] = {35, 60, 70, 60, 60};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}
