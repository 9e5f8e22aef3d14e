#include "core/chart/DataSetListModel.h"

#include "core/data/TDataSetStore.h"

#include <algorithm>

DataSetListModel::DataSetListModel(const QLocale &locale, QObject *parent)
    : QAbstractTableModel(parent)
    , m_texts(locale)
{
}

void DataSetListModel::fill(const TDataSetStore &store)
{
    beginResetModel();
    m_rows.clear();
    for (int k = 0; k < store.SetCount(); ++k)
        m_rows << store.listRow(k, m_texts);
    endResetModel();
}

int DataSetListModel::rowCount(const QModelIndex &parent) const
{
    // The list never shrinks below its one (empty) row.
    return parent.isValid() ? 0 : std::max(1, int(m_rows.size()));
}

int DataSetListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString DataSetListModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_rows.at(row).size())
        return QString();
    return m_rows.at(row).at(column);
}

QVariant DataSetListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return text(index.row(), index.column());
}

QVariant DataSetListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const QStringList headings = TDataSetStore::listHeadings();
    if (section < 0 || section >= headings.size())
        return {};
    return headings.at(section);
}

int DataSetListModel::columnWidth(int column)
{
    static const int widths[ColumnCount] = {25, 60, 60, 65, 40, 40, 40};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}
