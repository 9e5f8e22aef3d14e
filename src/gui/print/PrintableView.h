#pragma once

#include "core/data/DateTimeText.h"
#include "core/report/ReportData.h"
#include "core/report/ReportLayout.h"

#include <QStringList>

#include <memory>

class ChartWidget;
class QWidget;
class TDataSetStore;

// What printing and the report need from a window: its chart, its sample
// table as the text listing prints it, and its data set for a report. The
// data view provides it through an adapter (DataViewPrintable); another kind
// of view joins printing by implementing it and by being recognised in
// printableView().
class PrintableView
{
public:
    virtual ~PrintableView() = default;

    virtual QWidget *widget() const = 0;
    virtual ChartWidget &chart() const = 0;
    // The listing's rows: row 0 the headings, row i + 1 sample i.
    virtual int listingRowCount() const = 0;
    virtual QStringList listingRow(int row) const = 0;
    // A copy of the shown data set, so that a report can be drawn while the
    // window goes on (or goes away).
    virtual ReportData reportData() const = 0;
    // The alarm limits and the activation energy the window's figures use.
    virtual ReportOptions reportOptions() const = 0;
    // The date, time and number texts the window shows.
    virtual DateTimeText texts() const = 0;
    // Whether the window shows a data set of the download (not a file or a
    // run of the archive).
    virtual bool showsDownload() const { return false; }
};

// The printable face of a document window, or nullptr when it has none.
// store: the data sets behind the download view.
std::unique_ptr<PrintableView> printableView(QWidget *window, const TDataSetStore &store);
