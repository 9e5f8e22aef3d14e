#pragma once

#include "core/archive/ArchiveRunModel.h"

#include <QString>
#include <QWidget>

#include <utility>

class AppContext;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class TfrmGraph;
class ViewArea;

// The archive window: every run the archive holds, downloaded or recorded
// by `kv518-cli watch`, one row each, newest first, narrowed by a date range
// and a text; below, the versions of the selected run and the downloads it
// came from. Open (or a double click) shows the run in a data view of its
// own.
class TfrmArchive : public QWidget
{
    Q_OBJECT
public:
    // ctx and views must outlive the window; archivePath is the archive it
    // lists (read only: a missing file is an empty archive, not made here).
    TfrmArchive(AppContext &ctx, ViewArea &views, QString archivePath, QWidget *parent = nullptr);
    ~TfrmArchive() override;

    const QString &archivePath() const { return m_path; }
    ArchiveRunModel &model() { return *m_model; }

    // Reads the runs again, keeping the selected run selected.
    void refresh();
    // Shows the selected run in a new data view; nullptr when none is
    // selected or the archive could not give it (said to the user).
    TfrmGraph *openSelectedRun();
    // Selects the shown row (-1 clears the selection).
    void selectRow(int row);

    QDateEdit *edtFrom = nullptr;
    QDateEdit *edtTo = nullptr;
    QLineEdit *edtFind = nullptr;
    QPushButton *btnOpen = nullptr;
    QLabel *lblCount = nullptr;
    QTableView *gridRuns = nullptr;
    QLabel *lblDetail = nullptr;
    QTableWidget *gridVersions = nullptr;
    QTableWidget *gridDownloads = nullptr;

private:
    void buildLayout();
    void filtersChanged();
    void selectionChanged();
    using RunKey = std::pair<ArchiveRunKind, qint64>;
    void showDetail(const RunKey &key);
    void showMonitoringDetail(int row);
    void updateCount();
    RunKey selectedRun() const;
    int rowOf(const RunKey &key) const { return m_model->rowOf(key.second, key.first); }

    AppContext &m_ctx;
    ViewArea &m_views;
    QString m_path;
    ArchiveRunModel *m_model = nullptr;
};
