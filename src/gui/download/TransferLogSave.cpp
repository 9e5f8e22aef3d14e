#include "gui/download/TransferLogSave.h"

#include "core/data/AtomicFile.h"
#include "core/link/PortFactory.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>

void saveTransferLog(AppContext &ctx, QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save Transfer Log"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Transfer log (*.jsonl)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    const QString folder = ctx.folders().userDataFolder();
    dialog.setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    dialog.selectFile(QDateTime::currentDateTime().toString(QStringLiteral("'kv518-transfer-'yyyyMMdd-HHmmss'.jsonl'")));
    const QString path = ctx.prompter().chooseFile(dialog);
    if (path.isEmpty())
        return;

    AtomicFile file(path);
    Result<> written = file.open();
    if (written) {
        ctx.ports().transferLog().writeJsonLines(file.device());
        written = file.commit();
    }
    if (!written)
        ctx.prompter().notice(parent, written.message());
}
