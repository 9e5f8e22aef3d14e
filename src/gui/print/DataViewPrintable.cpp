#include "gui/print/DataViewPrintable.h"

#include "chart/ChartWidget.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/data/TDataSetStore.h"
#include "gui/dataview/TfrmGraph.h"

#include <QFileInfo>

DataViewPrintable::DataViewPrintable(TfrmGraph &view, const TDataSetStore &store)
    : m_view(view)
    , m_store(store)
{
}

QWidget *DataViewPrintable::widget() const
{
    return &m_view;
}

ChartWidget &DataViewPrintable::chart() const
{
    return *m_view.PESGraph1;
}

int DataViewPrintable::listingRowCount() const
{
    return m_view.dataListModel->rowCount() + 1;
}

QStringList DataViewPrintable::listingRow(int row) const
{
    QStringList cells;
    const DataListModel &list = *m_view.dataListModel;
    for (int c = 0; c < list.columnCount(); ++c)
        cells << (row == 0 ? list.headerData(c, Qt::Horizontal).toString() : list.text(row - 1, c));
    return cells;
}

int DataViewPrintable::shownDataSet() const
{
    if (!m_view.isDownloadView())
        return -1;
    const ChartSeries shown = m_view.cursors().series();
    const qsizetype n = shown.points();
    if (n == 0)
        return -1;
    for (int k = 0; k < m_store.SetCount(); ++k) {
        if (m_store.SampleCounts().at(k) != n)
            continue;
        const qsizetype base = 2 * m_store.firstSample(k);
        if (m_store.Times().at(base) == shown.x[0][0] && m_store.Values().at(base) == shown.y[0][0])
            return k;
    }
    return -1;
}

ReportData DataViewPrintable::reportData() const
{
    // A file view's caption is its file's path; the download view's is "DataLogger".
    const QString name = QFileInfo(m_view.windowTitle()).fileName();
    const int k = shownDataSet();
    if (k >= 0) {
        // The readings as the view shows them, corrected by the offsets.
        ReportData d = ReportData::fromStore(m_store, k, name);
        d.applyOffsets(m_view.appliedOffsets());
        return d;
    }
    return m_view.shownSamples();
}

ReportOptions DataViewPrintable::reportOptions() const
{
    ReportOptions options;
    for (int c = 0; c < 2; ++c)
        options.limits[c] = m_view.channelLimits(c);
    options.activationEnergy = m_view.activationEnergy();
    options.offsets = m_view.appliedOffsets();
    return options;
}

DateTimeText DataViewPrintable::texts() const
{
    return m_view.texts();
}

bool DataViewPrintable::showsDownload() const
{
    return m_view.isDownloadView();
}

std::unique_ptr<PrintableView> printableView(QWidget *window, const TDataSetStore &store)
{
    if (auto *view = qobject_cast<TfrmGraph *>(window))
        return std::make_unique<DataViewPrintable>(*view, store);
    return nullptr;
}
