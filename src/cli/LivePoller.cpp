#include "cli/LivePoller.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

namespace {
// After this many polls without an answer the meter may have gone to sleep:
// a wake byte goes before the next request again, as at the start.
constexpr int WakeAfterUnansweredPolls = 3;
} // namespace

LivePoller::LivePoller(ComPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{
    m_poll.setInterval(Meter::PollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &LivePoller::tick);
    connect(&m_port, &SerialPort::received, this, &LivePoller::readLive);
}

void LivePoller::start()
{
    m_unansweredPolls = WakeAfterUnansweredPolls;
    tick();
    m_poll.start();
}

void LivePoller::stop()
{
    m_poll.stop();
}

void LivePoller::tick()
{
    if (!m_answered)
        ++m_unansweredPolls;
    if (m_unansweredPolls < WakeAfterUnansweredPolls) {
        m_answered = false;
        SendRequest(m_port, Meter::LIVE_REQUEST);
    } else {
        SendRequest(m_port, Meter::WAKE_BYTE);
        QTimer::singleShot(Meter::WakeDelayMs, this, [this] {
            m_answered = false;
            SendRequest(m_port, Meter::LIVE_REQUEST);
        });
    }
    Q_EMIT polled();
}

void LivePoller::readLive()
{
    m_readScheduled = false;
    // A flood (line noise) is dropped but for the newest bytes, which can
    // hold the answer to the latest poll: the input stays bounded.
    const qint64 backlog = m_port.bytesWaiting() - Meter::LiveReadCap;
    if (backlog > 0) {
        m_port.read(backlog);
        m_buffer.clear();
    }
    // As in the program, any traffic after a first reading means the meter
    // is still there.
    if (ReadWaiting(m_port, m_buffer, Meter::LiveReadCap) > 0 && m_readings > 0)
        Q_EMIT traffic();
    ExtractFrames(m_buffer, Meter::LiveFrameLength, [&](const QByteArray &frame) {
        // A frame the meter cannot show is noise that looks like one, and a
        // second frame in one poll is no answer to it.
        if (m_answered || !Meter::isPlausibleLiveFrame(frame))
            return;
        m_answered = true;
        m_unansweredPolls = 0;
        m_state = decodeLiveFrame(frame, m_state);
        ++m_readings;
        Q_EMIT reading(readLiveFrame(frame), lcdText(m_state));
    });
    // Bytes the cap left behind are read without waiting for the port to
    // announce them again.
    if (m_port.bytesWaiting() > 0 && !m_readScheduled) {
        m_readScheduled = true;
        QTimer::singleShot(0, this, &LivePoller::readLive);
    }
}
