#pragma once

#include "core/archive/ArchiveRunModel.h"

#include <QString>
#include <QWidget>

#include <utility>

class AppContext;
class QComboBox;
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
// own. The source box switches to the site archive, when one is set: the
// runs of every workstation with who downloaded them, read on a worker
// thread; Open fetches the site's copy of a run there too.
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
    // selected or the archive could not give it (said to the user). A run
    // of the site archive is fetched on a worker thread: nullptr at once,
    // and siteRunOpened() when its data view is there.
    TfrmGraph *openSelectedRun();
    // Selects the shown row (-1 clears the selection).
    void selectRow(int row);
    // Whether the list is the site archive's (else this workstation's).
    bool showsSite() const;
    // While the site archive is being read.
    bool siteLoading() const { return m_siteLoad != nullptr; }
    // While a run of the site archive is being fetched.
    bool siteOpening() const { return m_siteOpen != nullptr; }
    // Site archive...: edits the site's url; the source box follows it.
    void editSiteArchive();
    // Opens the review of the selected run (its excursions under the alarm
    // limits, its review, acknowledgements and signatures).
    void reviewSelectedRun();

    QDateEdit *edtFrom = nullptr;
    QDateEdit *edtTo = nullptr;
    QLineEdit *edtFind = nullptr;
    QComboBox *cmbSource = nullptr;
    QPushButton *btnSite = nullptr;
    QPushButton *btnOpen = nullptr;
    QLabel *lblCount = nullptr;
    QTableView *gridRuns = nullptr;
    QLabel *lblDetail = nullptr;
    QTableWidget *gridVersions = nullptr;
    QTableWidget *gridDownloads = nullptr;
    QPushButton *btnReview = nullptr;

Q_SIGNALS:
    // A run of the site archive is shown in view.
    void siteRunOpened(TfrmGraph *view);

private:
    using RunKey = std::pair<ArchiveRunKind, qint64>;
    void buildLayout();
    void fillSources();
    void loadSite(const RunKey &selected);
    void showSiteDetail(int row);
    void showColumns();
    void filtersChanged();
    void selectionChanged();
    void selectAgain(const RunKey &selected);
    void showDetail(const RunKey &key);
    void showMonitoringDetail(int row);
    void updateCount();
    void openSiteRun(int row);
    RunKey selectedRun() const;
    int rowOf(const RunKey &key) const { return m_model->rowOf(key.second, key.first); }

    AppContext &m_ctx;
    ViewArea &m_views;
    QString m_path;
    ArchiveRunModel *m_model = nullptr;
    // The site's listing under way; the text said instead of a count.
    QObject *m_siteLoad = nullptr;
    // The fetch of a site run under way.
    QObject *m_siteOpen = nullptr;
    QString m_opening; // said instead of the count meanwhile
    QString m_status;
};
