#include "gui/archive/TfrmArchive.h"

#include "core/archive/Signatures.h"
#include "gui/archive/TfrmReview.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/DaylightSaving.h"
#include "core/archive/MonitorRuns.h"
#include "core/archive/MonitorStore.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SiteRuns.h"
#include "core/data/TDataSetStore.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/archive/TfrmSiteArchive.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/dataview/ViewArea.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The date edits show "any" at their lowest date: that side of the range
// is open.
const QDate NoDate(2000, 1, 1);

QDateEdit *dateEdit(QWidget *parent, const char *name)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setCalendarPopup(true);
    edit->setMinimumDate(NoDate);
    edit->setSpecialValueText(QStringLiteral("any"));
    edit->setDate(NoDate);
    return edit;
}

QDate rangeDate(const QDateEdit *edit)
{
    return edit->date() == NoDate ? QDate() : edit->date();
}

QTableWidget *detailTable(QWidget *parent, const char *name, const QStringList &headings)
{
    auto *table = new QTableWidget(0, int(headings.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

void setRow(QTableWidget *table, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
}

QString naiveText(const DateTimeText &texts, const QString &iso)
{
    const QDateTime dt = QDateTime::fromString(iso, Qt::ISODate);
    return dt.isValid() ? texts.dateAndTime(FrameworkTime::fromDateTime(dt)) : QString();
}

} // namespace

TfrmArchive::TfrmArchive(AppContext &ctx, ViewArea &views, QString archivePath, QWidget *parent)
    : QWidget(parent)
    , m_ctx(ctx)
    , m_views(views)
    , m_path(std::move(archivePath))
    , m_model(new ArchiveRunModel(QLocale::system(), QTimeZone::systemTimeZone(), this))
{
    setObjectName(QStringLiteral("frmArchive"));
    setWindowTitle(QStringLiteral("Archive"));
    buildLayout();
    refresh();
}

TfrmArchive::~TfrmArchive() = default;

void TfrmArchive::buildLayout()
{
    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 6);

    auto *filters = new QHBoxLayout;
    edtFrom = dateEdit(this, "edtFrom");
    edtTo = dateEdit(this, "edtTo");
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(QStringLiteral("Text in any column"));
    edtFind->setClearButtonEnabled(true);
    btnOpen = new QPushButton(QStringLiteral("&Open"), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setToolTip(QStringLiteral("Show the selected run in a data view"));
    cmbSource = new QComboBox(this);
    cmbSource->setObjectName(QStringLiteral("cmbSource"));
    cmbSource->setToolTip(QStringLiteral("The runs of this workstation's archive, or of the site archive"));
    btnSite = new QPushButton(QStringLiteral("Site archive..."), this);
    btnSite->setObjectName(QStringLiteral("btnSite"));
    btnSite->setToolTip(QStringLiteral("Where the site archive of every workstation is"));
    filters->addWidget(cmbSource);
    filters->addWidget(btnSite);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("From:"), this));
    filters->addWidget(edtFrom);
    filters->addWidget(new QLabel(QStringLiteral("To:"), this));
    filters->addWidget(edtTo);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Find:"), this));
    filters->addWidget(edtFind, 1);
    filters->addSpacing(12);
    filters->addWidget(btnOpen);
    top->addLayout(filters);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    top->addWidget(lblCount);

    auto *split = new QSplitter(Qt::Vertical, this);
    gridRuns = new QTableView(split);
    gridRuns->setObjectName(QStringLiteral("gridRuns"));
    gridRuns->setModel(m_model);
    gridRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridRuns->setSelectionMode(QAbstractItemView::SingleSelection);
    gridRuns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridRuns->setWordWrap(false);
    gridRuns->verticalHeader()->hide();
    gridRuns->verticalHeader()->setDefaultSectionSize(gridRuns->fontMetrics().height() + 6);
    gridRuns->horizontalHeader()->setStretchLastSection(true);
    const int charWidth = gridRuns->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < ArchiveRunModel::ColumnCount; ++c) {
        const int header = gridRuns->horizontalHeader()->fontMetrics().horizontalAdvance(ArchiveRunModel::heading(c));
        gridRuns->setColumnWidth(c, qMax(ArchiveRunModel::columnChars(c) * charWidth, header) + 12);
    }

    auto *detail = new QWidget(split);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    lblDetail = new QLabel(detail);
    lblDetail->setObjectName(QStringLiteral("lblDetail"));
    lblDetail->setWordWrap(true);
    detailLayout->addWidget(lblDetail);
    btnReview = new QPushButton(QStringLiteral("&Review..."), detail);
    btnReview->setObjectName(QStringLiteral("btnReview"));
    btnReview->setToolTip(QStringLiteral("Acknowledge the run's excursions, mark it reviewed or approved, sign it"));
    detailLayout->addWidget(btnReview, 0, Qt::AlignLeft);
    connect(btnReview, &QPushButton::clicked, this, &TfrmArchive::reviewSelectedRun);
    auto *lists = new QHBoxLayout;
    gridVersions = detailTable(detail, "gridVersions",
                               {QStringLiteral("Version"), QStringLiteral("Samples"), QStringLiteral("Last sample"),
                                QStringLiteral("SHA-256 of the samples")});
    gridDownloads = detailTable(detail, "gridDownloads",
                                {QStringLiteral("Downloaded"), QStringLiteral("Version"), QStringLiteral("Host"),
                                 QStringLiteral("User"), QStringLiteral("Port"), QStringLiteral("Source")});
    lists->addWidget(gridVersions, 2);
    lists->addWidget(gridDownloads, 3);
    detailLayout->addLayout(lists, 1);
    split->addWidget(gridRuns);
    split->addWidget(detail);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    top->addWidget(split, 1);

    // Whether a row is a download or a monitoring run is read first.
    gridRuns->horizontalHeader()->moveSection(ArchiveRunModel::Kind, 0);

    connect(edtFrom, &QDateEdit::dateChanged, this, &TfrmArchive::filtersChanged);
    connect(edtTo, &QDateEdit::dateChanged, this, &TfrmArchive::filtersChanged);
    connect(edtFind, &QLineEdit::textChanged, this, &TfrmArchive::filtersChanged);
    connect(btnOpen, &QPushButton::clicked, this, [this] { openSelectedRun(); });
    connect(btnSite, &QPushButton::clicked, this, &TfrmArchive::editSiteArchive);
    fillSources();
    // The ids of one source name other runs in the other: nothing stays selected.
    connect(cmbSource, &QComboBox::currentIndexChanged, this, [this] {
        gridRuns->selectionModel()->clearSelection();
        refresh();
    });
    connect(gridRuns, &QTableView::doubleClicked, this, [this] { openSelectedRun(); });
    connect(gridRuns->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmArchive::selectionChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TfrmArchive::updateCount);
}

TfrmArchive::RunKey TfrmArchive::selectedRun() const
{
    const QModelIndexList rows = gridRuns->selectionModel()->selectedRows();
    const ArchiveListEntry *entry = rows.isEmpty() ? nullptr : m_model->entry(rows.first().row());
    return entry ? RunKey{entry->kind, entry->info.id} : RunKey{ArchiveRunKind::Download, 0};
}

void TfrmArchive::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        gridRuns->selectionModel()->clearSelection();
        return;
    }
    gridRuns->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool TfrmArchive::showsSite() const
{
    return cmbSource->currentData().toBool();
}

void TfrmArchive::fillSources()
{
    const QSignalBlocker quiet(cmbSource);
    const bool site = cmbSource->count() > 0 && showsSite();
    cmbSource->clear();
    cmbSource->addItem(QStringLiteral("This workstation"), false);
    if (!configuredSiteUrl(m_ctx.folders().programFolder()).isEmpty())
        cmbSource->addItem(QStringLiteral("Site archive"), true);
    cmbSource->setCurrentIndex(site && cmbSource->count() > 1 ? 1 : 0);
}

void TfrmArchive::editSiteArchive()
{
    TfrmSiteArchive dialog(m_ctx.folders().programFolder(), this);
    if (m_ctx.prompter().exec(dialog) != QDialog::Accepted)
        return;
    const bool site = showsSite();
    fillSources();
    // A site shown is read anew from where it is now (or no more).
    if (site)
        refresh();
}

void TfrmArchive::showColumns()
{
    const bool site = showsSite();
    for (int c : {ArchiveRunModel::Workstation, ArchiveRunModel::User})
        gridRuns->setColumnHidden(c, !site);
    // The site keeps no monitoring runs, nor the last download's time, and
    // its listing holds no ranges of the readings.
    for (int c : {ArchiveRunModel::Port, ArchiveRunModel::Events, ArchiveRunModel::LastDownload,
                  ArchiveRunModel::HumidityMin, ArchiveRunModel::HumidityMax, ArchiveRunModel::TemperatureMin,
                  ArchiveRunModel::TemperatureMax})
        gridRuns->setColumnHidden(c, site);
    // Nor does it list a site run's versions and downloads one by one, and
    // a review is this workstation's.
    for (QWidget *w : {static_cast<QWidget *>(gridVersions), static_cast<QWidget *>(gridDownloads),
                       static_cast<QWidget *>(btnReview)})
        w->setVisible(!site);
}

void TfrmArchive::selectAgain(const RunKey &selected)
{
    const int row = selected.second ? rowOf(selected) : -1;
    selectRow(row >= 0 ? row : 0);
    if (m_model->rowCount() == 0)
        showDetail({});
}

void TfrmArchive::loadSite(const RunKey &selected)
{
    auto *watcher = new QFutureWatcher<SiteRuns::Listing>(this);
    m_siteLoad = watcher;
    m_status = QStringLiteral("Loading the site archive\u2026");
    m_model->setEntries({});
    showDetail({});
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, selected] {
        watcher->deleteLater();
        if (m_siteLoad != watcher)
            return;
        m_siteLoad = nullptr;
        const SiteRuns::Listing listing = watcher->result();
        m_status = listing.failure;
        m_model->setEntries(ArchiveListEntry::site(listing.runs));
        selectAgain(selected);
    });
    watcher->setFuture(SiteRuns::list(configuredSiteUrl(m_ctx.folders().programFolder())));
}

void TfrmArchive::refresh()
{
    const RunKey selected = selectedRun();
    showColumns();
    // A listing of the site under way is dropped (its thread ends alone).
    if (m_siteLoad) {
        m_siteLoad->deleteLater();
        m_siteLoad = nullptr;
    }
    m_status.clear();
    if (showsSite()) {
        loadSite(selected);
        return;
    }
    QList<ArchiveListEntry> entries;
    QString problem;
    // Listing never makes an archive: none yet is an empty one.
    if (QFileInfo::exists(m_path)) {
        Result<std::unique_ptr<Archive>> archive = Archive::open(m_path);
        Result<QList<ArchiveRunInfo>> listed =
            archive ? (*archive)->runs() : Result<QList<ArchiveRunInfo>>(archive.failure());
        if (listed) {
            for (const ArchiveRunInfo &run : *listed)
                entries.append(ArchiveListEntry::download(run));
            // The archive opened, so its schema holds the monitoring tables.
            Result<std::unique_ptr<MonitorStore>> store = MonitorStore::open(m_path);
            Result<QList<MonitorRuns::Listed>> monitored =
                store ? MonitorRuns::list(**store) : Result<QList<MonitorRuns::Listed>>(store.failure());
            if (monitored) {
                for (const MonitorRuns::Listed &run : *monitored)
                    entries.append(ArchiveListEntry::monitoring(run));
            } else {
                problem = monitored.message();
            }
        } else {
            problem = listed.message();
        }
    }
    if (!problem.isEmpty()) {
        qCInfo(lcGui).noquote() << "archive not listed:" << problem;
        m_status = QStringLiteral("The archive cannot be read: %1").arg(problem);
    }
    m_model->setEntries(std::move(entries));
    selectAgain(selected);
}

void TfrmArchive::filtersChanged()
{
    const RunKey selected = selectedRun();
    m_model->setDateRange(rangeDate(edtFrom), rangeDate(edtTo));
    m_model->setTextFilter(edtFind->text());
    selectAgain(selected);
}

void TfrmArchive::updateCount()
{
    const int all = m_model->runCount();
    const int shown = m_model->rowCount();
    // One run of the site is fetched at a time.
    btnOpen->setEnabled(shown > 0 && !m_siteOpen);
    btnOpen->setToolTip(showsSite() ? QStringLiteral("Fetch the site archive's copy of the selected run and show it "
                                                     "in a data view")
                                    : QStringLiteral("Show the selected run in a data view"));
    const QString where = showsSite() ? QStringLiteral(" of the site archive") : QString();
    if (!m_opening.isEmpty())
        lblCount->setText(m_opening);
    else if (!m_status.isEmpty())
        lblCount->setText(m_status);
    else if (all == 0 && showsSite())
        lblCount->setText(QStringLiteral("The site archive holds no runs yet."));
    else if (all == 0)
        lblCount->setText(QStringLiteral("The archive holds no runs yet: each download is archived as it arrives, "
                                         "and File > Import into Archive... adds collection files."));
    else if (shown == 0)
        lblCount->setText(QStringLiteral("No run of the %1 archived matches the filter.").arg(all));
    else if (shown == all)
        lblCount->setText((all == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(all)) + where);
    else
        lblCount->setText(QStringLiteral("%1 of %2 runs").arg(shown).arg(all) + where);
}

void TfrmArchive::selectionChanged()
{
    showDetail(selectedRun());
}

void TfrmArchive::showMonitoringDetail(int row)
{
    const ArchiveListEntry &e = *m_model->entry(row);
    const QString end = m_model->text(row, ArchiveRunModel::End);
    lblDetail->setText(QStringLiteral("Monitoring run %1 of kv518-cli watch on %2 (%3): %4 periods of %5 s from %6%7, "
                                      "%8 events. Open shows the mean of each period as a sample.")
                           .arg(e.info.id)
                           .arg(e.port, e.workstations)
                           .arg(e.info.samples)
                           .arg(e.info.intervalSeconds)
                           .arg(m_model->text(row, ArchiveRunModel::Start),
                                end.isEmpty() ? QString() : QStringLiteral(" to ") + end)
                           .arg(e.events));
}

void TfrmArchive::showSiteDetail(int row)
{
    const ArchiveListEntry &e = *m_model->entry(row);
    lblDetail->setText(QStringLiteral("Run %1 of the site archive: %2 samples from %3, every %4 s, in %5; "
                                      "downloaded on %6 by %7.")
                           .arg(e.info.id)
                           .arg(e.info.samples)
                           .arg(m_model->text(row, ArchiveRunModel::Start))
                           .arg(e.info.intervalSeconds)
                           .arg(e.info.versions == 1 ? QStringLiteral("1 version")
                                                     : QStringLiteral("%1 versions").arg(e.info.versions))
                           .arg(e.workstations.isEmpty() ? QStringLiteral("no workstation") : e.workstations,
                                e.users.isEmpty() ? QStringLiteral("no user") : e.users));
}

void TfrmArchive::showDetail(const RunKey &key)
{
    gridVersions->setRowCount(0);
    gridDownloads->setRowCount(0);
    const qint64 runId = key.second;
    const int row = rowOf(key);
    const ArchiveRunInfo *run = m_model->run(row);
    if (!run) {
        lblDetail->clear();
        return;
    }
    if (key.first == ArchiveRunKind::Monitoring) {
        showMonitoringDetail(row);
        return;
    }
    if (showsSite()) {
        showSiteDetail(row);
        return;
    }
    QString detail = QStringLiteral("Run %1: %2 samples from %3, every %4 s.")
                         .arg(run->id)
                         .arg(run->samples)
                         .arg(m_model->text(row, ArchiveRunModel::Start))
                         .arg(run->intervalSeconds);
    if (m_model->crossesDaylightSaving(row))
        detail += QStringLiteral("\nThe PC's clock changed for daylight saving during this run; the logger's clock "
                                 "does not follow such a change, so its times stay an hour apart from the PC's "
                                 "on one side of it.");
    Result<std::unique_ptr<Archive>> archive = Archive::open(m_path);
    if (!archive) {
        lblDetail->setText(detail + u'\n' + archive.message());
        return;
    }
    const DateTimeText texts;
    if (Result<QList<ArchiveVersionInfo>> versions = (*archive)->versions(runId)) {
        gridVersions->setRowCount(int(versions->size()));
        for (int i = 0; i < versions->size(); ++i) {
            const ArchiveVersionInfo &v = versions->at(i);
            setRow(gridVersions, i,
                   {QString::number(v.version), QString::number(v.samples), naiveText(texts, v.lastSample),
                    v.samplesSha256});
        }
    } else {
        detail += u'\n' + versions.message();
    }
    if (Result<QList<ArchiveDownloadInfo>> downloads = (*archive)->downloadsOf(runId)) {
        gridDownloads->setRowCount(int(downloads->size()));
        for (int i = 0; i < downloads->size(); ++i) {
            const ArchiveDownloadInfo &d = downloads->at(i);
            const QDateTime then = d.whenUtc.toOffsetFromUtc(d.utcOffsetSeconds);
            const QString when = texts.dateAndTime(FrameworkTime::fromDateTime(then));
            const QString source = d.sourcePath.isEmpty() ? d.source : d.source + QStringLiteral(": ") + d.sourcePath;
            setRow(gridDownloads, i,
                   {when, QString::number(d.version), d.host, d.osUser, d.port, source});
        }
    } else {
        detail += u'\n' + downloads.message();
    }
    lblDetail->setText(detail);
    gridVersions->resizeColumnsToContents();
    gridDownloads->resizeColumnsToContents();
}

TfrmGraph *TfrmArchive::openSelectedRun()
{
    const RunKey key = selectedRun();
    const qint64 runId = key.second;
    const int row = rowOf(key);
    if (row < 0)
        return nullptr;
    const bool monitoring = key.first == ArchiveRunKind::Monitoring;
    if (showsSite()) {
        openSiteRun(row);
        return nullptr;
    }
    WaitCursor hourglass;
    Result<TDataSetStore> store = [&]() -> Result<TDataSetStore> {
        if (monitoring) {
            Result<std::unique_ptr<MonitorStore>> monitor = MonitorStore::open(m_path);
            return monitor ? MonitorRuns::open(**monitor, runId) : Result<TDataSetStore>(monitor.failure());
        }
        Result<std::unique_ptr<Archive>> archive = Archive::open(m_path);
        return archive ? (*archive)->runStore(runId) : Result<TDataSetStore>(archive.failure());
    }();
    if (!store) {
        hourglass.restore();
        qCInfo(lcGui).noquote() << "archived run not opened:" << store.message();
        m_ctx.prompter().message(m_views.window(), QMessageBox::Critical,
                                 QStringLiteral("The run cannot be opened: %1").arg(store.message()), QMessageBox::Ok);
        return nullptr;
    }
    const QString title = QStringLiteral("%1 %2 (%3)")
                              .arg(monitoring ? QStringLiteral("Monitoring run") : QStringLiteral("Archive run"))
                              .arg(runId)
                              .arg(m_model->text(row, ArchiveRunModel::Start));
    TfrmGraph &view = m_views.addFileView(title);
    view.setWindowTitle(title);
    view.showDataSet(*store, 0);
    return &view;
}

void TfrmArchive::openSiteRun(int row)
{
    if (m_siteOpen)
        return;
    const ArchiveListEntry &e = *m_model->entry(row);
    const qint64 runId = e.info.id;
    const QString start = m_model->text(row, ArchiveRunModel::Start);
    auto *watcher = new QFutureWatcher<SiteRuns::Opened>(this);
    m_siteOpen = watcher;
    m_opening = QStringLiteral("Fetching run %1 from the site archive\u2026").arg(runId);
    updateCount();
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, runId, start] {
        watcher->deleteLater();
        m_siteOpen = nullptr;
        m_opening.clear();
        updateCount();
        const SiteRuns::Opened opened = watcher->result();
        if (!opened.failure.isEmpty()) {
            m_ctx.prompter().message(m_views.window(), QMessageBox::Critical,
                                     QStringLiteral("The run cannot be opened: %1").arg(opened.failure), QMessageBox::Ok);
            return;
        }
        const QString title = QStringLiteral("Site archive run %1 (%2), the copy from %3")
                                  .arg(runId)
                                  .arg(start, opened.copy.workstation);
        TfrmGraph &view = m_views.addFileView(title);
        view.setWindowTitle(title);
        view.showDataSet(opened.copy.store, 0);
        Q_EMIT siteRunOpened(&view);
    });
    watcher->setFuture(SiteRuns::open(configuredSiteUrl(m_ctx.folders().programFolder()), runId, e.info.samplesSha256));
}

void TfrmArchive::reviewSelectedRun()
{
    const RunKey key = selectedRun();
    const ArchiveRunInfo *run = m_model->run(rowOf(key));
    if (!run)
        return;
    // A monitoring run, or a run of the site archive, has no review here.
    if (key.first != ArchiveRunKind::Download || showsSite()) {
        m_ctx.prompter().notice(m_views.window(),
                                QStringLiteral("Only a downloaded run of this workstation's archive is reviewed here."));
        return;
    }
    Result<std::unique_ptr<Archive>> archive = Archive::open(m_path);
    if (!archive) {
        m_ctx.prompter().notice(m_views.window(), archive.message());
        return;
    }
    // The limits every data view shows, in the run's unit.
    const std::optional<TemperatureUnit> unit = run->unit == u"F" ? std::optional(TemperatureUnit::Fahrenheit)
                                                                   : std::optional(TemperatureUnit::Celsius);
    const ChannelLimits limits[2] = {m_ctx.alarmLimits().settings().limitsFor(0, unit),
                                     m_ctx.alarmLimits().settings().limitsFor(1, unit)};
    const DateTimeText texts;
    const QString limitsText = QStringLiteral("humidity %1, temperature %2")
                                   .arg(AlarmLimits::limitsText(limits[0], texts), AlarmLimits::limitsText(limits[1], texts));
    TfrmReview dialog(**archive, m_ctx.signing(), run->id, limits, limitsText, m_views.window());
    m_ctx.prompter().exec(dialog);
}
