// Renders the main window after a start with no meter, the splash, the About
// window and the menus.
#include "gui/common/AppContext.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmAbout.h"
#include "gui/shell/TfrmMain.h"
#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace {

using Shots::save;
using Shots::settle;

void shootMenu(TfrmMain &w, QMenu *menu, const QString &name)
{
    w.menuBar()->setActiveAction(menu->menuAction());
    settle();
    save(menu->grab(), name + QStringLiteral(".png"));
    // The window with the menu dropped down, as the user sees it.
    const QRect area = w.frameGeometry().united(menu->geometry());
    save(w.screen()->grabWindow(0, area.x(), area.y(), qMin(area.width(), 700), qMin(area.height(), 400)),
         name + QStringLiteral("_open.png"));
    menu->hide();
    settle(100);
}

} // namespace

int main(int argc, char *argv[])
{
    Kv518Application app(argc, argv);
    if (!Shots::takeOutputFolder(argc, argv))
        return 2;
    QTemporaryDir programFolder;
    AppContext ctx(app.prompter(), AppFolders(programFolder.path(), QString()));

    QPointer<TfrmAbout> splash = TfrmAbout::createSplash();
    splash->show();
    splash->setStatusLine(QStringLiteral("Search Logger On /dev/ttyS0"));
    settle();
    save(splash->grab(), QStringLiteral("splash.png"));

    TfrmMain w(ctx);
    w.setSplash(splash);
    w.showMaximized();
    if (!w.searchDone()) {
        QEventLoop loop;
        QObject::connect(&w, &TfrmMain::searchFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    settle(500);
    save(w.grab(), QStringLiteral("mainwindow.png"));
    save(w.Panel1->grab(), QStringLiteral("toolbar.png"));

    shootMenu(w, w.File1, QStringLiteral("menu_file"));
    shootMenu(w, w.View1, QStringLiteral("menu_view"));
    shootMenu(w, w.Window1, QStringLiteral("menu_window"));
    shootMenu(w, w.Help1, QStringLiteral("menu_help"));

    TfrmAbout about(&w);
    about.show();
    settle();
    save(about.grab(), QStringLiteral("about.png"));
    about.close();
    return 0;
}
