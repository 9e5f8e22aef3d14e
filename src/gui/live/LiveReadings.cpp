#include "gui/live/LiveReadings.h"
#include "core/link/MeterMessages.h"

LiveReadings::LiveReadings(QObject *parent)
    : QObject(parent)
{
}

void LiveReadings::setMirror(TfrmLCD *mirror)
{
    m_mirror = mirror;
    if (!m_mirror)
        return;
    // Before the first frame the mirror keeps its start-up look.
    if (m_frameSeen)
        m_mirror->UpdateLcd(m_state);
    m_mirror->setRs232Visible(m_rs232Visible);
    m_mirror->setStale(m_frameSeen && !m_connected);
}

void LiveReadings::onLiveFrame(const QByteArray &frame)
{
    if (frame.size() != Meter::LiveFrameLength)
        return;
    m_state = decodeLiveFrame(frame, m_state);
    m_reading = readLiveFrame(frame);
    m_frameSeen = true;
    if (m_mirror) {
        m_mirror->UpdateLcd(m_state);
        m_mirror->setStale(!m_connected);
    }
    Q_EMIT frameDecoded();
}

void LiveReadings::onRs232Visible(bool visible)
{
    m_rs232Visible = visible;
    if (m_mirror)
        m_mirror->setRs232Visible(visible);
}

void LiveReadings::onConnected(bool connected)
{
    m_connected = connected;
    if (m_mirror)
        m_mirror->setStale(m_frameSeen && !connected);
}
