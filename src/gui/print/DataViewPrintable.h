#pragma once

#include "gui/print/PrintableView.h"

class TfrmGraph;

// A data view window as printing sees it: the chart, Grid3 as the listing,
// and for the download view the data set of the store it shows.
class DataViewPrintable : public PrintableView
{
public:
    DataViewPrintable(TfrmGraph &view, const TDataSetStore &store);

    QWidget *widget() const override;
    ChartWidget &chart() const override;
    int listingRowCount() const override;
    QStringList listingRow(int row) const override;
    ReportData reportData() const override;
    ReportOptions reportOptions() const override;
    DateTimeText texts() const override;
    bool showsDownload() const override;

private:
    // The data set of the store whose samples the chart holds, or -1.
    int shownDataSet() const;

    TfrmGraph &m_view;
    const TDataSetStore &m_store;
};
