// The archive window in the main window: the demo collection imported, a
// run that spans the spring daylight-saving change, the detail of the
// selected run; then a run opened in a data view.
#include "Harness.h"
#include "ImageBuilder.h"
#include "ShotSupport.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveImport.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cstdio>

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
    return 0;
}
