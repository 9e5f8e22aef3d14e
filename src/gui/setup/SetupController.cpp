#include "gui/setup/SetupController.h"

#include "core/link/ConnectionMonitor.h"
#include "gui/common/GuiLog.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/setup/TfrmSetup.h"

#include <QScopeGuard>

SetupController::SetupController(AppContext &ctx, ConnectionMonitor &monitor, std::function<bool()> unitIsCelsius,
                                 QWidget *window, QObject *parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_monitor(monitor)
    , m_unitIsCelsius(std::move(unitIsCelsius))
    , m_window(window)
{
    setObjectName(QStringLiteral("SetupController"));
}

SetupController::~SetupController() = default;

TfrmSetup *SetupController::setupWindow() const
{
    return m_setup;
}

bool SetupController::refused()
{
    if (m_running)
        return true;
    if (!m_monitor.isConnected()) {
        m_ctx.prompter().notice(m_window, QStringLiteral("There is no connection with Logger !"));
        return true;
    }
    if (m_monitor.loggerRecording()) {
        m_ctx.prompter().notice(m_window,
                                QStringLiteral("The Logger is recording , please stop recording before setup."));
        return true;
    }
    return false;
}

void SetupController::btnSetupClick()
{
    if (refused())
        return;
    setRunning(true);
    m_hourglass = std::make_unique<WaitCursor>();
    // A poll or a live receive may be half done beneath this click; the
    // device changes hands once both have ended.
    m_monitor.runWhenQuiet(this, [this] {
        m_monitor.suspend();
        m_hourglass.reset();
        showSetupWindow();
    });
}

void SetupController::showSetupWindow()
{
    // However the window ends (its Exit, closed from outside, an exception
    // out of its event loop), the device goes back to the live port.
    const auto handBackAnyway = qScopeGuard([this] {
        delete m_setup.data();
        handBack();
    });
    auto *setup = new TfrmSetup(m_ctx, m_monitor.comm1().deviceName(), m_unitIsCelsius(), m_clockStream, m_window);
    m_setup = setup;
    m_ctx.prompter().exec(*setup);
}

void SetupController::handBack()
{
    m_monitor.handBack(this, ConnectionMonitor::Settle::Yes, [this] {
        setRunning(false);
        Q_EMIT finished();
    });
}

void SetupController::setRunning(bool running)
{
    m_running = running;
    Q_EMIT runningChanged(running);
}
