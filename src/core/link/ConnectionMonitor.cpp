#include "core/link/ConnectionMonitor.h"

#include "core/link/Delay.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>

#include <memory>

ConnectionMonitor::ConnectionMonitor(const PortFactory &ports, QObject *parent)
    : QObject(parent)
    , m_ports(ports)
{
    m_comm1.setPortFactory(&m_ports);
    m_mainTimer.setInterval(Meter::PollIntervalMs);
    connect(&m_mainTimer, &QTimer::timeout, this, &ConnectionMonitor::MainTimerTimer);
    connect(&m_comm1, &SerialPort::closedByError, this, &ConnectionMonitor::onComm1ClosedByError);
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

bool ConnectionMonitor::identifyOnComm1()
{
    QPointer<ConnectionMonitor> self(this);
    SendRequest(m_comm1, Meter::IDENTIFY_REQUEST);
    Delay(Meter::SearchReplyDelayMs);
    if (!self || m_comm1.bytesWaiting() < Meter::IdentifyReplyLength)
        return false;
    return Meter::isIdentifyReply(m_comm1.read(Meter::IdentifyReplyLength));
}

void ConnectionMonitor::searchMeter()
{
    QPointer<ConnectionMonitor> self(this);
    Q_EMIT splashText(QStringLiteral("Initializing COM Port ..."));
    bool found = false;
    for (int i = 0; i < m_portNames.size(); ++i) {
        Q_EMIT entrySelected(i);
        m_comm1.close();
        m_comm1.setDeviceName(devicePathFor(m_portNames.at(i)));
        detachReceiveHandler();
        Q_EMIT splashText(QStringLiteral("Search Logger On ") + QDir::toNativeSeparators(m_comm1.deviceName()));
        if (m_comm1.open())
            m_comm1.clearInput();
        if (m_comm1.isOpen()) {
            const bool isMeter = identifyOnComm1();
            if (!self)
                return;
            if (isMeter) {
                m_connected = true;
                m_portIndex = i;
                found = true;
                break;
            }
        }
        m_comm1.close();
    }

    if (found) {
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
    Q_EMIT statusChanged(m_comm1.deviceName(), found);

    m_comm1.close();
    attachReceiveHandler();
    Delay(500);
    if (!self)
        return;
    m_comm1.open();
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

    // A device that went away and came back (a replugged adapter, a restarted
    // simulator) is taken up again; a port that never opened stays closed.
    if (!m_comm1.isOpen() && m_reopenAfterError && !m_suspended) {
        if (m_comm1.open()) {
            m_reopenAfterError = false;
            m_comm1.clearInput();
        }
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
        m_reopenAfterError = false;
        m_comm1.open();
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
    m_comm1.open();
    if (clearInput)
        m_comm1.clearInput();
    m_mainTimer.start();
}

void ConnectionMonitor::onComm1ClosedByError()
{
    m_reopenAfterError = true;
}
