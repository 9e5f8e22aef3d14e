#pragma once

#include "core/link/ComPort.h"
#include "core/link/PortFactory.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Finds the meter at start, polls it every 500 ms on the live port Comm1 and
// decides from the traffic whether a meter is connected. Owns Comm1, MainTimer
// and the connection flags; the main window shows what it signals (status bar
// panels, splash line, RS-232 symbol, the download commands' enabled state).
// Everything runs on the user-interface thread; the pauses (Delay) process
// events, so the handlers may run inside one another, and PollBusy and
// ReceiveBusy tell the commands that take the port when it is quiet.
class ConnectionMonitor : public QObject
{
    Q_OBJECT
public:
    // ports makes Comm1's backends and names the in-memory lines; it must
    // outlive the monitor.
    explicit ConnectionMonitor(const PortFactory &ports, QObject *parent = nullptr);
    ~ConnectionMonitor() override;

    ComPort &comm1() { return m_comm1; }
    QTimer &mainTimer() { return m_mainTimer; }

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
    // LoggerRecording: kept here for the download and setup commands; the live
    // decoder sets it from every frame.
    bool loggerRecording() const { return m_loggerRecording; }
    void setLoggerRecording(bool on) { m_loggerRecording = on; }
    QByteArray liveBuffer() const { return m_liveBuffer; }

    // The start-up search: asks every entry at once, then starts polling on the
    // first that answered (or the saved entry). Returns when the search is over
    // (the caller then closes the splash).
    void searchMeter();
    // The port box handler: the user chose entry index (or typed text, index -1).
    // Waits for a quiet moment (runWhenQuiet) before it reopens Comm1.
    void changePort(const QString &text, int index);

    // Runs f once neither the poll nor the receive handler is running: at once
    // when both are idle, otherwise re-posted from the event loop every 10 ms
    // (never waited for in a nested loop), and at most 3 s after the call
    // whatever the flags say. Dropped when context is destroyed first.
    void runWhenQuiet(QObject *context, std::function<void()> f);
    // Hands the device over: stops MainTimer and closes Comm1 (resume reverses it).
    void suspend();
    void resume(bool clearInput = false);

    // The handlers, public so that tests and benchmarks can drive them.
    // MainTimer's tick: loss detection, WAKE_BYTE while not connected, LIVE_REQUEST.
    void MainTimerTimer();
    // Comm1's receive handler: collects bytes and cuts live frames.
    void Comm1RxChar();
    // A good live frame arrived while not connected.
    void ConnectionGained();

Q_SIGNALS:
    void splashText(const QString &text);
    void entrySelected(int index);
    // Panel 0 (device path, shown with native separators) and panel 1.
    void statusChanged(const QString &devicePath, bool connected);
    // ConnectionGained enables both download commands; a loss disables the menu entry only.
    void connectionGained();
    void connectionLost();
    void rs232Visible(bool visible);
    // Panel 0 says "permission denied" after the device path while set.
    void permissionDeniedChanged(bool denied);
    // Every good live frame (10 bytes), in order, after ConnectionGained.
    void liveFrame(const QByteArray &frame);

private:
    void attachReceiveHandler();
    void detachReceiveHandler();
    // Sends IDENTIFY_REQUEST on every listed port, waits once and returns the
    // first entry in list order that answered as the meter (-1: none).
    int identifyAll();
    // Opens Comm1 and keeps permissionDenied() up to date.
    bool openComm1();

    const PortFactory &m_ports;
    ComPort m_comm1;
    QTimer m_mainTimer;
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
    QByteArray m_liveBuffer;
    QMetaObject::Connection m_rxConnection;
};
