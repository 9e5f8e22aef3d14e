// Renders printing with the sample collection shown: the "Print Option"
// window, the preview of the graph and of the text listing, and the report's
// progress window with its first page.
#include "core/app/MainOptions.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/print/PrintController.h"
#include "gui/print/TfrmPrintOption.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

using Shots::save;
using Shots::settle;

class PrintPrompter : public WidgetPrompter
{
public:
    int option = TfrmPrintOption::PrintGraph;
    QString previewName;
    QString reportPath;

    int exec(QDialog &dialog) override
    {
        if (qobject_cast<TfrmOpenSave *>(&dialog))
            return TfrmOpenSave::OK;
        if (qobject_cast<TfrmPrintOption *>(&dialog)) {
            dialog.show();
            settle(200);
            save(dialog.grab(), QStringLiteral("print_option.png"));
            dialog.hide();
            return option;
        }
        if (qobject_cast<QPrintPreviewDialog *>(&dialog)) {
            dialog.resize(900, 700);
            dialog.show();
            settle(600);
            save(dialog.grab(), previewName);
            dialog.hide();
        }
        return QDialog::Rejected;
    }
    QString chooseFile(QFileDialog &dialog) override
    {
        if (dialog.acceptMode() == QFileDialog::AcceptSave)
            return reportPath;
        return QDir(QStringLiteral(KV518_SAMPLES_DIR)).filePath(QStringLiteral("demo.518"));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    PrintPrompter prompter;
    prompter.reportPath = folder.filePath(QStringLiteral("report.pdf"));
    folder.setPrompter(prompter);
    AppContext &ctx = folder.ctx();

    MainOptions options = Harness::testMainOptions();
    auto main = Harness::startMainWindow(ctx, options, QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    w.btnOpenClick();
    settle(500);
    if (!w.downloadView()) {
        std::fprintf(stderr, "no download view\n");
        return 1;
    }
    // A printer of its own kind, so that no system printer is needed.
    w.printing().printer().setOutputFormat(QPrinter::PdfFormat);

    prompter.previewName = QStringLiteral("print_preview_graph.png");
    w.PrintPreview1->trigger();
    prompter.option = TfrmPrintOption::PrintText;
    prompter.previewName = QStringLiteral("print_preview_text.png");
    w.PrintPreview1->trigger();

    w.ExportReport1->trigger();
    // The report may end, and its window go, at any moment.
    const QPointer<QProgressDialog> progress = w.printing().reportProgress();
    if (progress)
        save(progress->grab(), QStringLiteral("report_progress.png"));
    QEventLoop done;
    QObject::connect(&w.printing(), &PrintController::reportFinished, &done, &QEventLoop::quit);
    QTimer::singleShot(60000, &done, &QEventLoop::quit);
    if (w.printing().reportRunning())
        done.exec();
    return 0;
}
