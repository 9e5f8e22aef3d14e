#include "MainWindowFixture.h"

#include <QSignalSpy>

MainOptions testMainOptions(const QStringList &extraPorts)
{
    MainOptions options;
    options.listSystemPorts = false;
    options.extraPorts = extraPorts;
    return options;
}

std::unique_ptr<TfrmMain> startMainWindow(const MainOptions &options, QSize size, int waitMs)
{
    auto w = std::make_unique<TfrmMain>(options);
    QSignalSpy searched(w.get(), &TfrmMain::searchFinished);
    if (size.isValid())
        w->resize(size);
    w->show();
    if (!searched.wait(waitMs))
        qWarning("the start-up search did not end");
    return w;
}
