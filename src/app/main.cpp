#include "core/app/MainOptions.h"
#include "core/base/Log.h"
#include "core/sim/DemoMeter.h"
#include "gui/common/AppContext.h"
#include "gui/shell/Kv518Application.h"
#include "gui/shell/TfrmAbout.h"
#include "gui/shell/TfrmMain.h"

#include <QPointer>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Help and version need no display, so they are answered before the
    // windowing system starts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(qPrintable(mainOptionsUsage()), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("kv518 %s\n", KV518_VERSION);
            return 0;
        }
    }
    Kv518Application app(argc, argv);

    Result<MainOptions> parsed = parseMainOptions(QCoreApplication::arguments());
    if (!parsed) {
        std::fputs(qPrintable(parsed.message() + QLatin1Char('\n')), stderr);
        return 2;
    }
    MainOptions options = std::move(parsed).value();
    if (options.verbose)
        enableVerboseLogging();
    // Everything the windows need from the program around them, handed down.
    AppContext ctx(app.prompter());
    // The demo meter registers its in-memory line before the port box is filled.
    options.startDemoMeter = [&ctx](QObject *owner) { new DemoMeter(ctx.ports(), owner); };

    QPointer<TfrmAbout> splash = TfrmAbout::createSplash();
    splash->show();

    TfrmMain frmMain(ctx, options);
    frmMain.setSplash(splash);
    frmMain.showMaximized();
    const int result = QCoreApplication::exec();
    delete splash;
    return result;
}
