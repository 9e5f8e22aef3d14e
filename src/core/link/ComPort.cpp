#include "core/link/ComPort.h"

#include "core/base/Log.h"
#include "core/link/PortFactory.h"
#include "core/link/PortLock.h"

#include <QCoreApplication>

#include <QPointer>
#include <QScopeGuard>

#include <memory>
#include <utility>

ComPort::ComPort(QObject *parent)
    : SerialPort(parent)
{
}

// The backends are children and go with the port; the close is for its line
// in the log.
ComPort::~ComPort()
{
    close();
}

const PortFactory &ComPort::portFactory() const
{
    return m_factory ? *m_factory : PortFactory::standard();
}

bool ComPort::open()
{
    if (isOpen())
        return true;
    retireBackend();
    // A port kv518-cli watch holds is left to it, and the reason said.
    if (const std::optional<PortLock::Holder> watch = PortLock::holder(m_deviceName);
        watch && watch->pid != QCoreApplication::applicationPid()) {
        setLastError(PortLock::watchedText(m_deviceName, *watch));
        setOpenError(OpenError::Watched);
        openFailed(lastError());
        return false;
    }
    m_backend = portFactory().create(m_deviceName, m_baudRate).release();
    m_backend->setParent(this);
    connect(m_backend, &SerialPort::received, this, &ComPort::onBackendReceived);
    connect(m_backend, &SerialPort::closedByError, this, &ComPort::onBackendClosedByError);
    if (m_backend->open()) {
        setOpenError(OpenError::None);
        m_lastFailedDevice.clear();
        m_lastOpenFailure.clear();
        m_trace.reset();
        qCInfo(lcLink).noquote() << "opened" << m_deviceName;
        return true;
    }
    setLastError(m_backend->lastError());
    setOpenError(m_backend->openError() == OpenError::None ? OpenError::Other : m_backend->openError());
    openFailed(m_backend->lastError());
    retireBackend();
    return false;
}

void ComPort::openFailed(const QString &reason)
{
    if (m_deviceName == m_lastFailedDevice && reason == m_lastOpenFailure) {
        qCDebug(lcLink).noquote() << "cannot open" << m_deviceName << "-" << reason << "(again)";
        return;
    }
    m_lastFailedDevice = m_deviceName;
    m_lastOpenFailure = reason;
    qCInfo(lcLink).noquote() << "cannot open" << m_deviceName << "-" << reason;
}

void ComPort::close()
{
    if (!m_backend)
        return;
    // A failed backend counts as closed but may still hold the device.
    const bool wasOpen = m_backend->isOpen();
    m_backend->close();
    if (wasOpen)
        qCInfo(lcLink).noquote() << "closed" << m_deviceName;
}

bool ComPort::isOpen() const
{
    return m_backend && m_backend->isOpen();
}

qint64 ComPort::bytesWaiting()
{
    return isOpen() ? m_backend->bytesWaiting() : 0;
}

QByteArray ComPort::read(qint64 n)
{
    if (!isOpen())
        return {};
    const QByteArray bytes = m_backend->read(n);
    if (!bytes.isEmpty())
        m_trace.received(portFactory().transferLog(), m_deviceName, bytes);
    return bytes;
}

qint64 ComPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return 0;
    const qint64 n = m_backend->write(bytes);
    if (n > 0)
        m_trace.sent(portFactory().transferLog(), m_deviceName, QByteArrayView(bytes).first(qMin(n, bytes.size())));
    return n;
}

void ComPort::clearInput()
{
    if (isOpen())
        m_backend->clearInput();
}

void ComPort::clearOutput()
{
    if (isOpen())
        m_backend->clearOutput();
}

void ComPort::onBackendReceived()
{
    QPointer<ComPort> self(this);
    ++m_emitting;
    auto done = qScopeGuard([self] {
        if (self && --self->m_emitting == 0)
            self->disposeRetired();
    });
    Q_EMIT received();
}

void ComPort::onBackendClosedByError()
{
    QPointer<ComPort> self(this);
    ++m_emitting;
    auto done = qScopeGuard([self] {
        if (self && --self->m_emitting == 0)
            self->disposeRetired();
    });
    if (m_backend)
        setLastError(m_backend->lastError());
    qCInfo(lcLink).noquote() << m_deviceName << "failed and was closed -" << lastError();
    Q_EMIT closedByError();
}

void ComPort::retireBackend()
{
    SerialPort *old = std::exchange(m_backend, nullptr);
    if (!old)
        return;
    // Releases the device for the next backend and silences the old one.
    disconnect(old, nullptr, this, nullptr);
    old->close();
    m_retired.append(old);
    if (m_emitting == 0)
        disposeRetired();
}

void ComPort::disposeRetired()
{
    // deleteLater, not delete: the backend whose emission just ended may still
    // have its own code to run beneath this call.
    for (SerialPort *old : std::exchange(m_retired, {}))
        old->deleteLater();
}
