#pragma once

#include "core/live/LiveDecoder.h"
#include "gui/live/TfrmLCD.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

// Keeps the display state of the latest live frame and the flags other
// commands consult (LoggerRecording, UnitIsCelsius), and mirrors each frame
// and the RS-232 indication on the LCD mirror while that window exists.
class LiveReadings : public QObject
{
    Q_OBJECT
public:
    explicit LiveReadings(QObject *parent = nullptr);

    // The mirror to update; it may be closed (and freed) at any time.
    void setMirror(TfrmLCD *mirror);
    TfrmLCD *mirror() const { return m_mirror; }

    const LiveDisplayState &state() const { return m_state; }
    const LiveReading &reading() const { return m_reading; }
    bool loggerRecording() const { return m_state.LoggerRecording; }
    bool unitIsCelsius() const { return m_state.UnitIsCelsius; }

public Q_SLOTS:
    // One good LIVE_FRAME (10 bytes) from the live receive handler.
    void onLiveFrame(const QByteArray &frame);
    void onRs232Visible(bool visible);
    // "On Connection" / "Off Connection": off, the mirror's reading is stale.
    void onConnected(bool connected);

Q_SIGNALS:
    void frameDecoded();

private:
    QPointer<TfrmLCD> m_mirror;
    LiveDisplayState m_state;
    LiveReading m_reading;
    bool m_rs232Visible = false;
    bool m_connected = false;
    bool m_frameSeen = false;
};
