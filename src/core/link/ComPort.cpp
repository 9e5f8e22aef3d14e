#include "core/link/ComPort.h"

#include "core/link/PortFactory.h"
#include "core/link/QtSerialPort.h"

ComPort::ComPort(QObject *parent)
    : SerialPort(parent)
{
}

ComPort::~ComPort() = default;

bool ComPort::open()
{
    if (isOpen())
        return true;
    if (m_factory)
        m_backend = m_factory->create(m_deviceName, m_baudRate);
    else
        m_backend = std::make_unique<QtSerialPort>(m_deviceName, m_baudRate);
    connect(m_backend.get(), &SerialPort::received, this, &SerialPort::received);
    connect(m_backend.get(), &SerialPort::closedByError, this, &ComPort::onBackendClosedByError);
    if (m_backend->open())
        return true;
    setLastError(m_backend->lastError());
    m_backend.reset();
    return false;
}

void ComPort::close()
{
    if (m_backend)
        m_backend->close();
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
    return isOpen() ? m_backend->read(n) : QByteArray();
}

qint64 ComPort::write(const QByteArray &bytes)
{
    return isOpen() ? m_backend->write(bytes) : 0;
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

bool ComPort::waitForBytes(int msecs)
{
    return isOpen() && m_backend->waitForBytes(msecs);
}

void ComPort::onBackendClosedByError()
{
    if (m_backend)
        setLastError(m_backend->lastError());
    Q_EMIT closedByError();
}
