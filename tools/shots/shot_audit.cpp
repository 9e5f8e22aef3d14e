// The Audit Trail window in the main window: an archive with two downloads,
// a review, an acknowledgement, a signature and a limit change, then the
// window after Verify Archive, and after a filter by kind.
#include "Harness.h"
#include "ImageBuilder.h"
#include "ShotSupport.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Review.h"
#include "core/archive/Signatures.h"
#include "gui/audit/TfrmAudit.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include <cstdio>

namespace {

Result<> fill(const QString &path)
{
    Result<std::unique_ptr<Archive>> archive = Archive::open(path);
    if (!archive)
        return archive.failure();
    for (int day = 0; day < 2; ++day) {
        ImageSet set;
        set.at(QDateTime(QDate(2026, 5, 4 + day), QTime(8, 0))).every(600).ramp(144, 450, 1, 210, 1);
        if (Result<ArchiveOutcome> added =
                (*archive)->add(ArchiveDownload::here(ImageBuilder().add(set).build(), ArchiveSource::Download));
            !added)
            return added.failure();
    }
    if (Result<qint64> r = Review::markRun(**archive, 1, QStringLiteral("reviewed"), QStringLiteral("checked")); !r)
        return r.failure();
    AuditEntry limits = AuditEntry::here(QStringLiteral("limits"));
    limits.oldValue = QStringLiteral("humidity none, temperature none C");
    limits.newValue = QStringLiteral("humidity none, temperature 2.0 to 8.0 C");
    if (Result<qint64> r = AuditTrail::append(**archive, limits); !r)
        return r.failure();
    SigningSession session([](const QString &, const QByteArray &) { return Result<>(); });
    if (Result<qint64> r = session.sign(**archive, 1, QStringLiteral("approved"), AuditActor::here().user, "any"); !r)
        return r.failure();
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    QDir().mkpath(folder.ctx().folders().programFolder());
    if (Result<> filled = fill(Archive::defaultPath(folder.ctx().folders().programFolder())); !filled) {
        std::fprintf(stderr, "%s\n", qPrintable(filled.message()));
        return 1;
    }
    auto main = Harness::startMainWindow(folder.ctx(), Harness::testMainOptions(), QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    w.AuditTrail1->trigger();
    auto *window = w.findChild<TfrmAudit *>();
    if (!window)
        return 1;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->showMaximized();
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("audit_window.png"));
    bool ended = false;
    QObject::connect(window, &TfrmAudit::verified, window, [&ended] { ended = true; });
    window->findChild<QPushButton *>(QStringLiteral("btnVerify"))->click();
    QElapsedTimer waited;
    waited.start();
    while (!ended && waited.elapsed() < 20000)
        Shots::settle(100);
    Shots::settle();
    Shots::save(w.grab(), QStringLiteral("audit_window_verified.png"));
    auto *kinds = window->findChild<QComboBox *>(QStringLiteral("cmbKind"));
    kinds->setCurrentIndex(kinds->findData(QStringLiteral("signature")));
    window->findChild<QPushButton *>(QStringLiteral("btnApply"))->click();
    Shots::settle();
    Shots::save(window->grab(), QStringLiteral("audit_window_signatures.png"));
    return 0;
}
