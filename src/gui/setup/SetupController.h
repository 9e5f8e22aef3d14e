#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class AppContext;
class ConnectionMonitor;
class QWidget;
class TfrmSetup;
class WaitCursor;

// The main window's "Logger Setup" command: the refusals, the hand-over of
// the device from the live port to the setup window's own port and back, and
// live polling resumed afterwards in every case. The hand-over's pauses are
// clock calls; the window itself is modal (through the prompter).
class SetupController : public QObject
{
    Q_OBJECT
public:
    // unitIsCelsius reads the unit the live readings last showed.
    SetupController(AppContext &ctx, ConnectionMonitor &monitor, std::function<bool()> unitIsCelsius,
                    QWidget *window, QObject *parent = nullptr);
    ~SetupController() override;

    void btnSetupClick();
    // From the click that passed the refusals to live polling resumed: the
    // commands that would disturb it refuse meanwhile.
    bool running() const { return m_running; }
    // The open setup window, or nullptr.
    TfrmSetup *setupWindow() const;

Q_SIGNALS:
    void runningChanged(bool running);
    // The command has ended and live polling runs again.
    void finished();

private:
    bool refused();
    void showSetupWindow();
    void handBack();
    void setRunning(bool running);

    AppContext &m_ctx;
    ConnectionMonitor &m_monitor;
    std::function<bool()> m_unitIsCelsius;
    QWidget *m_window;
    bool m_running = false;
    std::unique_ptr<WaitCursor> m_hourglass;
    QPointer<TfrmSetup> m_setup;
    // The clock receive handler's stream buffer, kept for the whole run.
    QByteArray m_clockStream;
};
