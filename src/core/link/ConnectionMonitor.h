#pragma once

#include "core/link/ClockTimer.h"
#include "core/link/ComPort.h"
#include "core/link/MonotonicClock.h"
#include "core/link/PortFactory.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Finds the meter at start, polls it every 500 ms on the live port Comm1 and
// decides from the traffic whether a meter is connected. Owns Comm1, MainTimer
// and the connection flags; the main window shows what it signals (status bar
// panels, splash line, RS-232 symbol, the download commands' enabled state).
// Everything runs on the user-interface thread, from its event loop: a pause
// is a call the clock makes later, never a wait, so no handler runs inside
// another. PollBusy and ReceiveBusy say a poll or a receive is half done (its
// pause pending); the commands that take the port wait for both to end.
class ConnectionMonitor : public QObject
{
    Q_OBJECT
public:
    // ports makes Comm1's backends and names the in-memory lines; it must
    // outlive the monitor.
    explicit ConnectionMonitor(const PortFactory &ports, QObject *parent = nullptr);
    // Every pause and MainTimer run on clock, which must outlive the monitor.
    ConnectionMonitor(const PortFactory &ports, const MonotonicClock &clock, QObject *parent = nullptr);
    ~ConnectionMonitor() override;

    ComPort &comm1() { return m_comm1; }
    ClockTimer &mainTimer() { return m_mainTimer; }

    // The entries of the port box (port names such as "ttyUSB0", typed paths,
    // "DEMO"), and the device path of an entry: "/dev/" + name, a text holding
    // "/" as it stands, a registered in-memory line by its name.
    void setPortNames(const QStringList &names);
    QStringList portNames() const { return m_portNames; }
    QString devicePathFor(const QString &entryText) const { return m_ports.devicePathFor(entryText); }

    // PortIndex: the chosen entry, stored in the settings file.
    int portIndex() const { return m_portIndex; }
    void setPortIndex(int index) { m_portIndex = index; }
    QString devicePath() const { return m_comm1.deviceName(); }

    bool isConnected() const { return m_connected; }
    bool dataSeen() const { return m_dataSeen; }
    int missedPolls() const { return m_missedPolls; }
    bool pollBusy() const { return m_pollBusy; }
    bool receiveBusy() const { return m_receiveBusy; }
    bool isSuspended() const { return m_suspended; }
    // The last open of Comm1 failed because the user may not use the device.
    bool permissionDenied() const { return m_permissionDenied; }
    // "P is watched by kv518-cli watch (pid N)." while a watch holds the port, else empty.
    QString watchedText() const { return m_watchedText; }
    // LoggerRecording: kept here for the download and setup commands; the live
    // decoder sets it from every frame.
    bool loggerRecording() const { return m_loggerRecording; }
    void setLoggerRecording(bool on) { m_loggerRecording = on; }
    QByteArray liveBuffer() const { return m_liveBuffer; }

    // The start-up search: asks every entry at once, then starts polling on the
    // first that answered (or the saved entry). Returns at once; searchFinished
    // follows when polling has begun (the caller then closes the splash).
    void searchMeter();
    bool searching() const { return m_searching; }
    bool searchDone() const { return m_searchDone; }
    // The port box handler: the user chose entry index (or typed text, index -1).
    // Waits for a quiet moment (runWhenQuiet) before it reopens Comm1.
    void changePort(const QString &text, int index);

    // Runs f once neither a poll nor a receive is half done: at once when both
    // are idle, otherwise looked at again every 10 ms, and at most 3 s after
    // the call whatever the flags say. Dropped when context is destroyed first.
    void runWhenQuiet(QObject *context, std::function<void()> f);
    // Hands the device over: stops MainTimer, ends a running search and closes
    // Comm1 (resume reverses it).
    void suspend();
    void resume(bool clearInput = false);
    // The hand-overs on the monitor's clock. handOver suspends, and runs then
    // HandOverCloseMs + HandOverOpenMs later, when the other port may open.
    // handBack opens Comm1 HandBackMs after the call; with settle, its input
    // is cleared and MainTimer starts HandBackSettleMs after that (the setup
    // window's way), otherwise at once (the download's). done follows.
    // Both are dropped when context is destroyed first.
    enum class Settle { No, Yes };
    void handOver(QObject *context, std::function<void()> then);
    void handBack(QObject *context, Settle settle, std::function<void()> done);
    const MonotonicClock &clock() const { return m_clock; }

    // The handlers, public so that tests and benchmarks can drive them.
    // MainTimer's tick: loss detection, WAKE_BYTE while not connected, LIVE_REQUEST.
    void MainTimerTimer();
    // Comm1's receive handler: lets the bytes settle for 10 ms, then collects
    // them and cuts live frames.
    void Comm1RxChar();
    // A good live frame arrived while not connected.
    void ConnectionGained();

Q_SIGNALS:
    void splashText(const QString &text);
    // The search has ended and MainTimer runs.
    void searchFinished();
    void entrySelected(int index);
    // Panel 0 (device path, shown with native separators) and panel 1.
    void statusChanged(const QString &devicePath, bool connected);
    // ConnectionGained enables both download commands; a loss disables the menu entry only.
    void connectionGained();
    void connectionLost();
    void rs232Visible(bool visible);
    // Panel 0 says "permission denied" after the device path while set (or,
    // also through this signal, that kv518-cli watch holds the port).
    void permissionDeniedChanged(bool denied);
    // Every good live frame (10 bytes), in order, after ConnectionGained.
    void liveFrame(const QByteArray &frame);

private:
    void attachReceiveHandler();
    void detachReceiveHandler();
    // The search's steps, each a clock call after the one before.
    void askEveryPort();
    void takeSearchAnswer();
    void openFoundPort();
    void startPolling();
    // Calls step after ms unless the search was ended meanwhile.
    void searchStepAfter(qint64 ms, void (ConnectionMonitor::*step)());
    // The first probe in list order that answered as the meter (-1: none).
    int firstIdentified() const;
    void readLiveBytes();
    // Opens Comm1 and keeps permissionDenied() up to date.
    bool openComm1();

    const PortFactory &m_ports;
    const MonotonicClock &m_clock;
    ComPort m_comm1;
    ClockTimer m_mainTimer;
    std::vector<std::unique_ptr<ComPort>> m_probes;
    bool m_searching = false;
    bool m_searchDone = false;
    quint64 m_searchGeneration = 0;
    QStringList m_portNames;
    int m_portIndex = 0;
    bool m_connected = false;
    bool m_dataSeen = false;
    int m_missedPolls = 0;
    bool m_pollBusy = false;
    bool m_receiveBusy = false;
    bool m_receivePending = false;
    bool m_loggerRecording = false;
    bool m_suspended = false;
    bool m_permissionDenied = false;
    QString m_watchedText;
    QByteArray m_liveBuffer;
    QMetaObject::Connection m_rxConnection;
};
