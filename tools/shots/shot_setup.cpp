// Opens the logger setup window from the real main window against kv518-sim
// and saves it once its start has ended and the clock poll runs.
#include "core/app/MainOptions.h"
#include "Harness.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/setup/SetupController.h"
#include "gui/setup/TfrmSetup.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmMain.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

using Shots::save;
using Shots::settle;

class SetupPrompter : public WidgetPrompter
{
public:
    int exec(QDialog &dialog) override
    {
        auto *setup = qobject_cast<TfrmSetup *>(&dialog);
        if (!setup)
            return QDialog::Rejected;
        dialog.show();
        for (int i = 0; i < 100 && !setup->idle(); ++i)
            settle(100);
        settle(1500);
        save(dialog.grab(), QStringLiteral("setup.png"));
        shown = setup->idle();
        // A command's outcome on the status line.
        setup->RadioF->click();
        setup->btnSetUnitClick();
        for (int i = 0; i < 100 && !setup->idle(); ++i)
            settle(100);
        settle(300);
        save(dialog.grab(), QStringLiteral("setup_unit_set.png"));
        dialog.hide();
        return QDialog::Rejected;
    }
    bool shown = false;
};

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    Harness::TestContext folder(Harness::ProgramFolder::Subfolder);
    const QString link = folder.filePath(QStringLiteral("kv518"));
    QProcess sim;
    sim.start(QStringLiteral(KV518_SIM_PATH), {"--link", link, "--sets", "4", "--samples", "300", "--seed", "518"});
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    if (sim.readLine().trimmed().isEmpty()) {
        std::fprintf(stderr, "kv518-sim did not start\n");
        return 1;
    }

    SetupPrompter prompter;
    folder.setPrompter(prompter);
    AppContext &ctx = folder.ctx();
    MainOptions options = Harness::testMainOptions();
    options.extraPorts = {link};
    auto main = Harness::startMainWindow(ctx, options, QSize(1200, 800), 20000);
    TfrmMain &w = *main;
    settle(1500);
    QEventLoop done;
    QObject::connect(&w.setupCommand(), &SetupController::finished, &done, &QEventLoop::quit);
    QTimer::singleShot(0, w.btnSetup, &QToolButton::click);
    QTimer::singleShot(30000, &done, &QEventLoop::quit);
    done.exec();
    sim.terminate();
    sim.waitForFinished(5000);
    if (!prompter.shown) {
        std::fprintf(stderr, "the setup window did not come up\n");
        return 1;
    }
    return 0;
}
