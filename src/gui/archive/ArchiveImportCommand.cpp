#include "gui/archive/ArchiveImportCommand.h"

#include "core/archive/ArchiveImport.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"

#include <QFileDialog>

QString importIntoArchive(AppContext &ctx, QWidget *window, QFileDialog &dialog, const QString &archivePath)
{
    dialog.setWindowTitle(QStringLiteral("Import into Archive"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(ArchiveImport::dialogFilters());
    const QString chosen = ctx.prompter().chooseFile(dialog);
    if (chosen.isEmpty())
        return QString();
    // Several files when the dialog gave them; the one answer otherwise.
    QStringList paths = dialog.selectedFiles();
    if (!paths.contains(chosen))
        paths = {chosen};

    WaitCursor hourglass;
    Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
    if (!archive) {
        hourglass.restore();
        qCInfo(lcGui).noquote() << "import not archived:" << archive.message();
        ctx.prompter().message(window, QMessageBox::Critical,
                               QStringLiteral("Nothing is imported: %1").arg(archive.message()), QMessageBox::Ok);
        return QString();
    }
    const ArchiveImport::Summary done = ArchiveImport::importFiles(**archive, paths);
    hourglass.restore();
    QStringList failures;
    for (const Failure &f : done.failures) {
        qCInfo(lcGui).noquote() << "import failed:" << f.message;
        failures << f.message;
    }
    if (!failures.isEmpty()) {
        const QString head = failures.size() == 1 ? QStringLiteral("This file is not imported:")
                                                  : QStringLiteral("These files are not imported:");
        ctx.prompter().message(window, QMessageBox::Warning, head + u'\n' + failures.join(u'\n'), QMessageBox::Ok);
    }
    return done.filesArchived > 0 ? done.archived.summary() : QString();
}
