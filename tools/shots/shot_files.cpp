// Renders the single data files: the "Save File" range window and the
// "Saving Progress" window, and the file views of a TXT file and of a graph
// file made from the sample collection's first data set.
#include "core/app/MainOptions.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/TfrmScope.h"
#include "gui/files/DataFileController.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <deque>

namespace {

using Shots::save;
using Shots::settle;

// Opens the sample, then answers "single data file" and the queued names;
// the range window is photographed before it is accepted.
class FilesPrompter : public WidgetPrompter
{
public:
    std::deque<QString> files;
    bool single = false;
    int exec(QDialog &dialog) override
    {
        if (qobject_cast<TfrmOpenSave *>(&dialog))
            return single ? TfrmOpenSave::No : TfrmOpenSave::OK;
        dialog.show();
        settle(200);
        save(dialog.grab(), QStringLiteral("files_range.png"));
        dialog.hide();
        return QDialog::Accepted;
    }
    QString chooseFile(QFileDialog &) override
    {
        const QString f = files.front();
        files.pop_front();
        return f;
    }
};

void waitFor(DataFileController &files, void (DataFileController::*signal)(TfrmGraph *))
{
    QEventLoop loop;
    QObject::connect(&files, signal, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    FilesPrompter prompter;
    folder.setPrompter(prompter);
    AppContext &ctx = folder.ctx();

    MainOptions options = Harness::testMainOptions();
    auto main = Harness::startMainWindow(ctx, options, QSize(1366, 860), 20000);
    TfrmMain &w = *main;
    prompter.files.push_back(QDir(QStringLiteral(KV518_SAMPLES_DIR)).filePath(QStringLiteral("demo.518")));
    w.btnOpenClick();
    settle();
    if (!w.downloadView()) {
        std::fprintf(stderr, "no download view\n");
        return 1;
    }

    prompter.single = true;
    const QString txt = folder.filePath(QStringLiteral("user/set1.txt"));
    const QString ghf = folder.filePath(QStringLiteral("user/set1.ghf"));
    prompter.files.push_back(txt);
    w.Save1Click();
    if (TfrmScope *progress = w.dataFiles().progressWindow()) {
        save(progress->grab(), QStringLiteral("files_saving_progress.png"));
    }
    {
        QEventLoop loop;
        QObject::connect(&w.dataFiles(), &DataFileController::saveFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (w.dataFiles().busy())
            loop.exec();
    }
    prompter.files.push_back(ghf);
    w.Save1Click();

    prompter.files.push_back(txt);
    w.btnOpenClick();
    waitFor(w.dataFiles(), &DataFileController::fileOpened);
    settle(500);
    save(w.grab(), QStringLiteral("files_txt_view.png"));

    prompter.files.push_back(ghf);
    w.btnOpenClick();
    settle(500);
    save(w.grab(), QStringLiteral("files_ghf_view.png"));
    return 0;
}
