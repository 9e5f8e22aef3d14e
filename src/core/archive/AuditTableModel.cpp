#include "core/archive/AuditTableModel.h"

void AuditTableModel::setEntries(QList<AuditEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

int AuditTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int AuditTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(AuditTrail::columns().size());
}

QVariant AuditTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_entries.size())
        return {};
    return AuditTrail::cells(m_entries.at(index.row())).value(index.column());
}

QVariant AuditTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return AuditTrail::columns().value(section);
}
