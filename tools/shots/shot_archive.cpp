// The archive window in the main window: the demo collection imported, a
// run that spans the spring daylight-saving change, a monitoring run of
// kv518-cli watch, the detail of the selected run; then a run opened in a
// data view, and the monitoring run opened. Run under pg_virtualenv (PGPORT
// set), it also shows the site archive of two workstations and one of its
// runs opened.
#include "Harness.h"
#include "ImageBuilder.h"
#include "ShotSupport.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveImport.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/MonitorStore.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SiteRuns.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cmath>
#include <cstdio>

namespace {

// A day of kv518-cli watch recording every 30 minutes: a daily swing.
Result<> addMonitoringRun(const QString &path)
{
    Result<std::unique_ptr<MonitorStore>> store = MonitorStore::open(path);
    if (!store)
        return store.failure();
    const QDateTime start(QDate(2026, 4, 2), QTime(6, 0), QTimeZone::utc());
    Result<qint64> run = (*store)->startRun(QStringLiteral("/dev/ttyUSB0"), start, 1800, QStringLiteral("C"));
    if (!run)
        return run.failure();
    for (int i = 0; i < 48; ++i) {
        WatchPeriod p;
        p.startUtc = start.addSecs(1800 * i);
        p.seconds = 1800;
        p.unit = QStringLiteral("C");
        const double swing = std::sin(double(i) / 48.0 * 2.0 * M_PI);
        for (int k = 0; k < 6; ++k) {
            p.channels[0].add(55.0 - 12.0 * swing + k * 0.3);
            p.channels[1].add(19.0 + 4.0 * swing + k * 0.1);
            ++p.readings;
        }
        if (Result<> added = (*store)->addPeriod(*run, p); !added)
            return added;
    }
    return {};
}

// Two workstations' records in the site archive at url.
Result<> fillSite(const QString &url)
{
    Result<SiteUrl> parsed = SiteUrl::parse(url);
    if (!parsed)
        return parsed.failure();
    Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*parsed);
    if (!site)
        return site.failure();
    if (Result<> made = (*site)->init(); !made)
        return made;
    QTemporaryDir dir;
    int minute = 0;
    for (const QString &workstation : {QStringLiteral("lab-north"), QStringLiteral("store-room")}) {
        Result<std::unique_ptr<Archive>> local = Archive::open(dir.filePath(workstation + QStringLiteral(".sqlite")));
        if (!local)
            return local.failure();
        for (int day = 0; day < 3; ++day) {
            ImageSet set;
            set.at(QDateTime(QDate(2026, 5, 4 + day * 3), QTime(8, minute += 7))).every(600).ramp(144, 450, 1, 210, -1);
            Result<ArchiveOutcome> added =
                (*local)->add(ArchiveDownload::here(ImageBuilder().add(set).build(), ArchiveSource::Download));
            if (!added)
                return added.failure();
            Result<ArchiveRecord> record = (*local)->record(added->downloadId);
            if (!record)
                return record.failure();
            if (Result<bool> sent = (*site)->forward(*record, workstation); !sent)
                return sent.failure();
        }
    }
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    {
        QDir().mkpath(folder.ctx().folders().programFolder());
        Result<std::unique_ptr<Archive>> archive =
            Archive::open(Archive::defaultPath(folder.ctx().folders().programFolder()));
        if (!archive) {
            std::fprintf(stderr, "%s\n", qPrintable(archive.message()));
            return 1;
        }
        ImageSet spring;
        spring.at(QDateTime(QDate(2026, 3, 28), QTime(12, 0))).every(0x002C).ramp(60, 450, 2, 180, 1);
        ImageSet week;
        week.at(QDateTime(QDate(2026, 1, 12), QTime(7, 30))).every(60).fahrenheit().ramp(90, 520, -1, 680, 2);
        for (const QByteArray &image : {ImageBuilder::sampleCollection().build(), ImageBuilder().add(spring).add(week).build()}) {
            const Result<ArchiveOutcome> added = (*archive)->add(ArchiveDownload::here(image, ArchiveSource::Download));
            if (!added) {
                std::fprintf(stderr, "%s\n", qPrintable(added.message()));
                return 1;
            }
        }
    }
    if (Result<> added = addMonitoringRun(Archive::defaultPath(folder.ctx().folders().programFolder())); !added) {
        std::fprintf(stderr, "%s\n", qPrintable(added.message()));
        return 1;
    }
    const bool site = !qEnvironmentVariableIsEmpty("PGPORT");
    const QString siteUrl = QStringLiteral("postgresql:///postgres");
    if (site) {
        Result<> filled = fillSite(siteUrl);
        if (filled)
            filled = SiteRuns::setConfiguredUrl(folder.ctx().folders().programFolder(), siteUrl);
        if (!filled) {
            std::fprintf(stderr, "%s\n", qPrintable(filled.message()));
            return 1;
        }
    }
    auto main = Harness::startMainWindow(folder.ctx(), Harness::testMainOptions(), QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    w.Archive1Click();
    TfrmArchive *window = w.workspace().archiveWindow();
    if (!window)
        return 1;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->showMaximized();
    window->selectRow(0);
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("archive_window.png"));
    window->selectRow(-1);
    window->edtFind->setText(QStringLiteral("nothing like this"));
    Shots::settle();
    Shots::save(window->grab(), QStringLiteral("archive_window_no_match.png"));
    window->edtFind->clear();
    window->selectRow(0);
    if (!window->openSelectedRun())
        return 1;
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("archive_run_opened.png"));

    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget())) {
        sub->mdiArea()->setActiveSubWindow(sub);
        sub->showMaximized();
    }
    const int monitoring = [&] {
        for (int row = 0; row < window->model().rowCount(); ++row)
            if (window->model().entry(row)->kind == ArchiveRunKind::Monitoring)
                return row;
        return -1;
    }();
    window->selectRow(monitoring);
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("archive_window_monitoring.png"));
    if (!window->openSelectedRun())
        return 1;
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("archive_monitoring_opened.png"));

    if (site) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
            sub->mdiArea()->setActiveSubWindow(sub);
        window->cmbSource->setCurrentIndex(1);
        QElapsedTimer waited;
        waited.start();
        while (window->siteLoading() && waited.elapsed() < 20000)
            Shots::settle(100);
        Shots::settle();
        Shots::save(w.grab(), QStringLiteral("archive_window_site.png"));
        // A run of the site opened: fetched off the window's thread.
        window->openSelectedRun();
        waited.restart();
        while (window->siteOpening() && waited.elapsed() < 20000)
            Shots::settle(100);
        Shots::settle();
        Shots::save(w.grab(), QStringLiteral("archive_site_run_opened.png"));
    }
    return 0;
}
