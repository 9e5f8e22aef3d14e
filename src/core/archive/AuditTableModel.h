#pragma once

#include "core/archive/AuditTrail.h"

#include <QAbstractTableModel>

// The audit trail as a table: one row per entry, the cells formatted when
// they are shown.
class AuditTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(QList<AuditEntry> entries);
    const QList<AuditEntry> &entries() const { return m_entries; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<AuditEntry> m_entries;
};
