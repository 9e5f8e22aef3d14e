#pragma once

#include "core/data/DateTimeText.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

class TDataSetStore;

// The data set list of the download view (Grid2): one row per data set of a
// store, numbered from 1, or a single empty row while the store holds none.
// The texts are taken at fill(), so a load that replaces the store shows only
// once the list is filled again.
class DataSetListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Set, Date, Time, Rate, Num, Type, Unit, ColumnCount };

    explicit DataSetListModel(const QLocale &locale = QLocale::system(), QObject *parent = nullptr);

    // Takes the data sets of the store as the rows.
    void fill(const TDataSetStore &store);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell (empty outside the rows).
    QString text(int row, int column) const;
    // Whether a row shows a data set: the empty row of an empty store does not.
    bool showsDataSet(int row) const { return !text(row, Date).isEmpty(); }
    static int columnWidth(int column);

private:
    DateTimeText m_texts;
    QList<QStringList> m_rows;
};
