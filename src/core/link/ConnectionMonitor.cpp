#include "core/link/ConnectionMonitor.h"

#include "core/base/Log.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QDir>

ConnectionMonitor::ConnectionMonitor(const PortFactory &ports, QObject *parent)
    : ConnectionMonitor(ports, MonotonicClock::system(), parent)
{
}

ConnectionMonitor::ConnectionMonitor(const PortFactory &ports, const MonotonicClock &clock, QObject *parent)
    : QObject(parent)
    , m_ports(ports)
    , m_clock(clock)
    , m_mainTimer(clock)
{
    m_comm1.setPortFactory(&m_ports);
    m_mainTimer.setInterval(Meter::PollIntervalMs);
    connect(&m_mainTimer, &ClockTimer::timeout, this, &ConnectionMonitor::MainTimerTimer);
}

ConnectionMonitor::~ConnectionMonitor() = default;

void ConnectionMonitor::setPortNames(const QStringList &names)
{
    m_portNames = names;
    // A port that appears after a start that found none is the one polled;
    // with no device named the poll would never open anything.
    if (m_searchDone && !m_searching && m_comm1.deviceName().isEmpty() && !names.isEmpty()) {
        m_portIndex = 0;
        m_comm1.setDeviceName(devicePathFor(names.first()));
        qCInfo(lcLink).noquote() << "polling" << m_comm1.deviceName() << "now that it is listed";
        Q_EMIT entrySelected(0);
        Q_EMIT statusChanged(m_comm1.deviceName(), m_connected);
    }
}

void ConnectionMonitor::attachReceiveHandler()
{
    if (!m_rxConnection)
        m_rxConnection = connect(&m_comm1, &SerialPort::received, this, &ConnectionMonitor::Comm1RxChar);
}

void ConnectionMonitor::detachReceiveHandler()
{
    disconnect(m_rxConnection);
    m_rxConnection = {};
}

void ConnectionMonitor::searchMeter()
{
    if (m_searching)
        return;
    m_searching = true;
    ++m_searchGeneration;
    Q_EMIT splashText(QStringLiteral("Initializing COM Port ..."));
    m_comm1.close();
    detachReceiveHandler();
    askEveryPort();
}

void ConnectionMonitor::searchStepAfter(qint64 ms, void (ConnectionMonitor::*step)())
{
    m_clock.callAfter(ms, this, [this, step, generation = m_searchGeneration] {
        if (m_searching && generation == m_searchGeneration)
            (this->*step)();
    });
}

void ConnectionMonitor::askEveryPort()
{
    QStringList shown;
    for (const QString &name : std::as_const(m_portNames))
        shown << QDir::toNativeSeparators(devicePathFor(name));
    if (!shown.isEmpty())
        Q_EMIT splashText(QStringLiteral("Search Logger On ") + shown.join(QStringLiteral(", ")));

    // Every port is asked at once and the answers are read after one pause, so
    // silent ports cost no time of their own; the list order still decides.
    m_probes.clear();
    bool anyOpen = false;
    for (const QString &name : std::as_const(m_portNames)) {
        auto probe = std::make_unique<ComPort>();
        probe->setPortFactory(&m_ports);
        probe->setDeviceName(devicePathFor(name));
        if (probe->open()) {
            probe->clearInput();
            SendRequest(*probe, Meter::IDENTIFY_REQUEST);
            anyOpen = true;
        }
        m_probes.push_back(std::move(probe));
    }
    searchStepAfter(anyOpen ? Meter::SearchReplyDelayMs : 0, &ConnectionMonitor::takeSearchAnswer);
}

int ConnectionMonitor::firstIdentified() const
{
    for (int i = 0; i < int(m_probes.size()); ++i) {
        ComPort &probe = *m_probes[size_t(i)];
        if (probe.isOpen() && probe.bytesWaiting() >= Meter::IdentifyReplyLength
            && Meter::isIdentifyReply(probe.read(Meter::IdentifyReplyLength)))
            return i;
    }
    return -1;
}

void ConnectionMonitor::takeSearchAnswer()
{
    const int found = firstIdentified();
    m_probes.clear();

    if (found >= 0) {
        qCInfo(lcLink).noquote() << "meter found on" << devicePathFor(m_portNames.at(found));
        m_connected = true;
        m_portIndex = found;
        Q_EMIT entrySelected(found);
        m_comm1.setDeviceName(devicePathFor(m_portNames.at(found)));
        Q_EMIT rs232Visible(true);
    } else {
        qCInfo(lcLink) << "no meter answered on" << m_portNames.size() << "port(s)";
        if (m_portIndex < 0 || m_portIndex >= m_portNames.size())
            m_portIndex = 0;
        if (m_portNames.isEmpty()) {
            m_comm1.setDeviceName(QString());
        } else {
            Q_EMIT entrySelected(m_portIndex);
            m_comm1.setDeviceName(devicePathFor(m_portNames.at(m_portIndex)));
        }
        Q_EMIT rs232Visible(false);
    }
    Q_EMIT statusChanged(m_comm1.deviceName(), found >= 0);

    attachReceiveHandler();
    searchStepAfter(500, &ConnectionMonitor::openFoundPort);
}

void ConnectionMonitor::openFoundPort()
{
    openComm1();
    searchStepAfter(200, &ConnectionMonitor::startPolling);
}

void ConnectionMonitor::startPolling()
{
    m_comm1.clearInput();
    m_clock.callAfter(200, this, [this, generation = m_searchGeneration] {
        if (!m_searching || generation != m_searchGeneration)
            return;
        if (m_comm1.isOpen())
            SendFramed(m_comm1, Meter::LIVE_REQUEST);
        m_mainTimer.start();
        m_searching = false;
        m_searchDone = true;
        Q_EMIT searchFinished();
    });
}

bool ConnectionMonitor::openComm1()
{
    const bool opened = m_comm1.open();
    const bool denied = !opened && m_comm1.openError() == SerialPort::OpenError::PermissionDenied;
    // A port kv518-cli watch holds is not fought for: panel 0 says who has it.
    const QString watched = !opened && m_comm1.openError() == SerialPort::OpenError::Watched ? m_comm1.lastError()
                                                                                            : QString();
    if (denied != m_permissionDenied || watched != m_watchedText) {
        m_permissionDenied = denied;
        m_watchedText = watched;
        Q_EMIT permissionDeniedChanged(denied);
    }
    return opened;
}

void ConnectionMonitor::MainTimerTimer()
{
    if (m_pollBusy)
        return;

    if (m_dataSeen) {
        m_dataSeen = false;
        m_missedPolls = 0;
    } else if (++m_missedPolls >= Meter::MissedPollLimit) {
        if (m_connected)
            qCInfo(lcLink).noquote() << "meter lost on" << m_comm1.deviceName() << "- no answer to"
                                     << Meter::MissedPollLimit << "polls";
        Q_EMIT connectionLost();
        Q_EMIT statusChanged(m_comm1.deviceName(), false);
        Q_EMIT rs232Visible(false);
        if (m_connected)
            m_liveBuffer.clear();
        m_connected = false;
        m_missedPolls = 0;
    }

    // A device that was missing, went away or came back (a meter plugged in
    // after start, a replugged adapter, a restarted simulator) is taken up
    // again without a word; its first good frame connects.
    if (!m_comm1.isOpen() && !m_suspended && !m_comm1.deviceName().isEmpty()) {
        if (openComm1())
            m_comm1.clearInput();
    }

    if (!m_comm1.isOpen())
        return;
    if (m_connected) {
        SendRequest(m_comm1, Meter::LIVE_REQUEST);
        return;
    }
    // A sleeping meter needs the wake byte and a moment before the request.
    m_pollBusy = true;
    SendRequest(m_comm1, Meter::WAKE_BYTE);
    m_clock.callAfter(Meter::WakeDelayMs, this, [this] {
        m_pollBusy = false;
        if (!m_suspended)
            SendRequest(m_comm1, Meter::LIVE_REQUEST);
    });
}

void ConnectionMonitor::Comm1RxChar()
{
    if (m_receiveBusy) {
        // More bytes during the settling pause: read once it is over.
        m_receivePending = true;
        return;
    }
    m_receiveBusy = true;
    m_clock.callAfter(Meter::ReceiveSettleMs, this, [this] {
        readLiveBytes();
        m_receiveBusy = false;
        m_receivePending = false;
        // Bytes left behind by the read cap get their own pause and read,
        // whether or not the port announced them again.
        if (m_comm1.bytesWaiting() > 0)
            Comm1RxChar();
    });
}

void ConnectionMonitor::readLiveBytes()
{
    // More than a read takes is a flood (line noise): only the newest bytes
    // can hold the answer to the latest poll, so the rest is dropped unread
    // and the input stays drained and bounded.
    const qint64 backlog = m_comm1.bytesWaiting() - Meter::LiveReadCap;
    if (backlog > 0) {
        m_comm1.read(backlog);
        m_liveBuffer.clear();
        m_dataSeen = true;
    }
    if (ReadWaiting(m_comm1, m_liveBuffer, Meter::LiveReadCap) > 0)
        m_dataSeen = true;

    // Frames are cut first and handed on afterwards, so a receiver cannot see
    // the buffer change under the extraction.
    QList<QByteArray> frames;
    // A frame the meter cannot show is noise that looks like one.
    ExtractFrames(m_liveBuffer, Meter::LiveFrameLength, [&frames](const QByteArray &frame) {
        if (Meter::isPlausibleLiveFrame(frame))
            frames.append(frame);
    });
    for (const QByteArray &frame : std::as_const(frames)) {
        m_dataSeen = true;
        if (!m_connected)
            ConnectionGained();
        Q_EMIT liveFrame(frame);
    }
}

void ConnectionMonitor::ConnectionGained()
{
    qCInfo(lcLink).noquote() << "meter answers on" << m_comm1.deviceName();
    Q_EMIT connectionGained();
    Q_EMIT statusChanged(m_comm1.deviceName(), true);
    Q_EMIT rs232Visible(true);
    m_connected = true;
}

void ConnectionMonitor::changePort(const QString &text, int index)
{
    runWhenQuiet(this, [this, text, index] {
        // A download or the setup took the device while this waited: the
        // port it holds is not pulled from under it.
        if (m_suspended) {
            qCInfo(lcLink).noquote() << "port change to" << text << "dropped: the device is in use";
            Q_EMIT entrySelected(m_portIndex);
            return;
        }
        m_comm1.close();
        m_comm1.setDeviceName(devicePathFor(text));
        openComm1();
        m_portIndex = index;
    });
}

void ConnectionMonitor::runWhenQuiet(QObject *context, std::function<void()> f)
{
    if (!context)
        context = this;
    const qint64 since = m_clock.nowMs();
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [this, context, since, f = std::move(f), weak = std::weak_ptr(attempt)]() {
        if ((m_pollBusy || m_receiveBusy) && m_clock.nowMs() - since < Meter::QuietWaitMs) {
            if (auto again = weak.lock())
                m_clock.callAfter(Meter::QuietCheckMs, context, [again] { (*again)(); });
            return;
        }
        f();
    };
    (*attempt)();
}

void ConnectionMonitor::suspend()
{
    m_mainTimer.stop();
    if (m_searching) {
        m_searching = false;
        ++m_searchGeneration;
        m_probes.clear();
    }
    m_suspended = true;
    m_comm1.close();
}

void ConnectionMonitor::handOver(QObject *context, std::function<void()> then)
{
    suspend();
    m_clock.callAfter(Meter::HandOverCloseMs, context, [this, context, then = std::move(then)] {
        m_clock.callAfter(Meter::HandOverOpenMs, context, then);
    });
}

void ConnectionMonitor::handBack(QObject *context, Settle settle, std::function<void()> done)
{
    m_clock.callAfter(Meter::HandBackMs, context, [this, context, settle, done = std::move(done)] {
        if (settle == Settle::No) {
            resume();
            done();
            return;
        }
        m_suspended = false;
        openComm1();
        m_comm1.clearInput();
        m_clock.callAfter(Meter::HandBackSettleMs, context, [this, done] {
            m_mainTimer.start();
            done();
        });
    });
}

void ConnectionMonitor::resume(bool clearInput)
{
    m_suspended = false;
    openComm1();
    if (clearInput)
        m_comm1.clearInput();
    m_mainTimer.start();
}
