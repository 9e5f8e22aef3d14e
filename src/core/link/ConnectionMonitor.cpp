#include "core/link/ConnectionMonitor.h"

#include "core/link/Delay.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>

#include <memory>
#include <vector>

ConnectionMonitor::ConnectionMonitor(const PortFactory &ports, QObject *parent)
    : QObject(parent)
    , m_ports(ports)
{
    m_comm1.setPortFactory(&m_ports);
    m_mainTimer.setInterval(Meter::PollIntervalMs);
    connect(&m_mainTimer, &QTimer::timeout, this, &ConnectionMonitor::MainTimerTimer);
}

ConnectionMonitor::~ConnectionMonitor() = default;

void ConnectionMonitor::setPortNames(const QStringList &names)
{
    m_portNames = names;
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
    QPointer<ConnectionMonitor> self(this);
    Q_EMIT splashText(QStringLiteral("Initializing COM Port ..."));
    m_comm1.close();
    detachReceiveHandler();
    const int found = identifyAll();
    if (!self)
        return;

    if (found >= 0) {
        m_connected = true;
        m_portIndex = found;
        Q_EMIT entrySelected(found);
        m_comm1.setDeviceName(devicePathFor(m_portNames.at(found)));
        Q_EMIT rs232Visible(true);
    } else {
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
    Delay(500);
    if (!self)
        return;
    openComm1();
    Delay(200);
    if (!self)
        return;
    m_comm1.clearInput();
    Delay(200);
    if (!self)
        return;
    if (m_comm1.isOpen())
        SendFramed(m_comm1, Meter::LIVE_REQUEST);
    m_mainTimer.start();
}

int ConnectionMonitor::identifyAll()
{
    QStringList paths;
    for (const QString &name : std::as_const(m_portNames))
        paths << devicePathFor(name);
    QStringList shown;
    for (const QString &path : std::as_const(paths))
        shown << QDir::toNativeSeparators(path);
    if (!paths.isEmpty())
        Q_EMIT splashText(QStringLiteral("Search Logger On ") + shown.join(QStringLiteral(", ")));

    // Every port is asked at once and the answers are read after one pause, so
    // silent ports cost no time of their own; the list order still decides.
    std::vector<std::unique_ptr<ComPort>> probes;
    bool anyOpen = false;
    for (const QString &path : std::as_const(paths)) {
        auto probe = std::make_unique<ComPort>();
        probe->setPortFactory(&m_ports);
        probe->setDeviceName(path);
        if (probe->open()) {
            probe->clearInput();
            SendRequest(*probe, Meter::IDENTIFY_REQUEST);
            anyOpen = true;
        }
        probes.push_back(std::move(probe));
    }
    QPointer<ConnectionMonitor> self(this);
    if (anyOpen)
        Delay(Meter::SearchReplyDelayMs);
    if (!self)
        return -1;

    int found = -1;
    for (int i = 0; i < int(probes.size()) && found < 0; ++i) {
        ComPort &probe = *probes[size_t(i)];
        if (probe.isOpen() && probe.bytesWaiting() >= Meter::IdentifyReplyLength
            && Meter::isIdentifyReply(probe.read(Meter::IdentifyReplyLength)))
            found = i;
    }
    for (auto &probe : probes)
        probe->close();
    return found;
}

bool ConnectionMonitor::openComm1()
{
    const bool opened = m_comm1.open();
    const bool denied = !opened && m_comm1.openError() == SerialPort::OpenError::PermissionDenied;
    if (denied != m_permissionDenied) {
        m_permissionDenied = denied;
        Q_EMIT permissionDeniedChanged(denied);
    }
    return opened;
}

void ConnectionMonitor::MainTimerTimer()
{
    if (m_pollBusy)
        return;
    QPointer<ConnectionMonitor> self(this);
    m_pollBusy = true;
    auto clearBusy = qScopeGuard([self] {
        if (self)
            self->m_pollBusy = false;
    });

    if (m_dataSeen) {
        m_dataSeen = false;
        m_missedPolls = 0;
    } else if (++m_missedPolls >= Meter::MissedPollLimit) {
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
    if (!m_connected) {
        SendRequest(m_comm1, Meter::WAKE_BYTE);
        Delay(Meter::WakeDelayMs);
        if (!self)
            return;
    }
    SendRequest(m_comm1, Meter::LIVE_REQUEST);
}

void ConnectionMonitor::Comm1RxChar()
{
    if (m_receiveBusy) {
        // Bytes arrived during our own pause; read them once this run is over.
        m_receivePending = true;
        return;
    }
    QPointer<ConnectionMonitor> self(this);
    m_receiveBusy = true;
    auto clearBusy = qScopeGuard([self] {
        if (!self)
            return;
        self->m_receiveBusy = false;
        if (self->m_receivePending) {
            self->m_receivePending = false;
            QMetaObject::invokeMethod(self, &ConnectionMonitor::Comm1RxChar, Qt::QueuedConnection);
        }
    });

    Delay(Meter::ReceiveSettleMs);
    if (!self)
        return;
    if (ReadWaiting(m_comm1, m_liveBuffer, Meter::LiveReadCap) > 0)
        m_dataSeen = true;

    // Frames are cut first and handed on afterwards, so a receiver that pauses
    // cannot see the buffer change under the extraction.
    QList<QByteArray> frames;
    ExtractFrames(m_liveBuffer, Meter::LiveFrameLength,
                  [&frames](const QByteArray &frame) { frames.append(frame); });
    for (const QByteArray &frame : std::as_const(frames)) {
        m_dataSeen = true;
        if (!m_connected)
            ConnectionGained();
        Q_EMIT liveFrame(frame);
        if (!self)
            return;
    }
}

void ConnectionMonitor::ConnectionGained()
{
    Q_EMIT connectionGained();
    Q_EMIT statusChanged(m_comm1.deviceName(), true);
    Q_EMIT rs232Visible(true);
    m_connected = true;
}

void ConnectionMonitor::changePort(const QString &text, int index)
{
    runWhenQuiet(this, [this, text, index] {
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
    QElapsedTimer waited;
    waited.start();
    QPointer<QObject> guard(context);
    // Re-posted from the event loop: the busy handler sits beneath us on this
    // one thread and can only finish once we return.
    auto shared = std::make_shared<std::function<void()>>();
    *shared = [this, guard, waited, f = std::move(f), weak = std::weak_ptr(shared)]() {
        if (!guard)
            return;
        if ((m_pollBusy || m_receiveBusy) && waited.elapsed() < Meter::QuietWaitMs) {
            if (auto again = weak.lock())
                QTimer::singleShot(10, guard.data(), [again] { (*again)(); });
            return;
        }
        f();
    };
    (*shared)();
}

void ConnectionMonitor::suspend()
{
    m_mainTimer.stop();
    m_suspended = true;
    m_comm1.close();
}

void ConnectionMonitor::resume(bool clearInput)
{
    m_suspended = false;
    openComm1();
    if (clearInput)
        m_comm1.clearInput();
    m_mainTimer.start();
}
