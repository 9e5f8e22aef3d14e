#include "core/link/MemoryLine.h"

#include <QTimer>

MemoryLine::MemoryLine(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
{
}

MemoryLine::~MemoryLine()
{
    if (m_openPort)
        m_openPort->lose();
}

void MemoryLine::deliver(const QByteArray &bytes)
{
    if (m_openPort && !bytes.isEmpty())
        m_openPort->arrive(bytes);
}

void MemoryLine::setPresent(bool present)
{
    m_present = present;
    if (!present && m_openPort)
        m_openPort->lose();
}

MemoryPort::MemoryPort(MemoryLine *line, QObject *parent)
    : SerialPort(parent)
    , m_line(line)
{
}

MemoryPort::~MemoryPort()
{
    if (m_emitting > 0)
        qFatal("MemoryPort destroyed inside its own signal");
    close();
}

bool MemoryPort::open()
{
    if (m_open)
        return true;
    if (!m_line || !m_line->m_present) {
        setLastError(QStringLiteral("No such device"));
        setOpenError(OpenError::Other);
        return false;
    }
    if (m_line->m_openFailure != OpenError::None) {
        setLastError(m_line->m_openFailure == OpenError::PermissionDenied ? QStringLiteral("Permission denied")
                                                                          : QStringLiteral("Cannot open"));
        setOpenError(m_line->m_openFailure);
        return false;
    }
    if (m_line->m_openPort) {
        setLastError(QStringLiteral("Device is busy"));
        setOpenError(OpenError::Other);
        return false;
    }
    setOpenError(OpenError::None);
    m_open = true;
    m_line->m_openPort = this;
    m_input.clear();
    m_inFlight.clear();
    if (m_line->onOpenChanged)
        m_line->onOpenChanged(true);
    return true;
}

void MemoryPort::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_input.clear();
    m_inFlight.clear();
    if (m_line && m_line->m_openPort == this) {
        m_line->m_openPort = nullptr;
        if (m_line->onOpenChanged)
            m_line->onOpenChanged(false);
    }
}

bool MemoryPort::isOpen() const
{
    return m_open;
}

qint64 MemoryPort::bytesWaiting()
{
    return m_open ? m_input.size() : 0;
}

QByteArray MemoryPort::read(qint64 n)
{
    if (!m_open || n <= 0)
        return {};
    const QByteArray out = m_input.left(n);
    m_input.remove(0, out.size());
    if (m_line && !m_line->m_flood.isEmpty() && m_input.isEmpty())
        m_input = m_line->m_flood;
    return out;
}

qint64 MemoryPort::write(const QByteArray &bytes)
{
    if (!m_open)
        return 0;
    if (m_line && m_line->onWrite)
        m_line->onWrite(bytes);
    return bytes.size();
}

void MemoryPort::clearInput()
{
    m_input.clear();
    m_inFlight.clear();
}

void MemoryPort::clearOutput()
{
}

void MemoryPort::arrive(const QByteArray &bytes)
{
    m_inFlight += bytes;
    if (m_announcePending)
        return;
    m_announcePending = true;
    QTimer::singleShot(0, this, &MemoryPort::announce);
}

void MemoryPort::announce()
{
    m_announcePending = false;
    if (!m_open || m_inFlight.isEmpty())
        return;
    m_input += m_inFlight;
    m_inFlight.clear();
    emitReceived();
}

void MemoryPort::emitReceived()
{
    ++m_emitting;
    Q_EMIT received();
    --m_emitting;
}

void MemoryPort::emitClosedByError()
{
    ++m_emitting;
    Q_EMIT closedByError();
    --m_emitting;
}

void MemoryPort::lose()
{
    if (!m_open)
        return;
    close();
    setLastError(QStringLiteral("Device removed"));
    QTimer::singleShot(0, this, &MemoryPort::emitClosedByError);
}
