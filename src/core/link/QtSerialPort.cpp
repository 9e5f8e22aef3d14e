#include "core/link/QtSerialPort.h"

#include <QFile>
#include <QMetaObject>

#include <cerrno>
#include <unistd.h>

namespace {
// QSerialPort reports a busy or locked device as a permission error too; only
// a device the user may not read and write is "permission denied".
bool accessDenied(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
}
} // namespace

QtSerialPort::QtSerialPort(const QString &devicePath, qint32 baudRate, QObject *parent)
    : SerialPort(parent)
    , m_path(devicePath)
    , m_baudRate(baudRate)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::received);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    m_port.close();
}

bool QtSerialPort::open()
{
    if (isOpen())
        return true;
    m_port.close();
    if (m_path.isEmpty()) {
        setLastError(QStringLiteral("No device"));
        setOpenError(OpenError::Other);
        return false;
    }
    // A path containing "/" is used as it stands (pseudo-terminals, typed paths).
    m_port.setPortName(m_path);
    m_port.setBaudRate(m_baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(4096);
    m_failed = false;
    ++m_openCount;
    if (!m_port.open(QIODevice::ReadWrite)) {
        setLastError(m_port.errorString());
        setOpenError(m_port.error() == QSerialPort::PermissionError && accessDenied(m_path)
                         ? OpenError::PermissionDenied
                         : OpenError::Other);
        return false;
    }
    setOpenError(OpenError::None);
    m_port.clear(QSerialPort::AllDirections);
    return true;
}

void QtSerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen() && !m_failed;
}

qint64 QtSerialPort::bytesWaiting()
{
    return isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray QtSerialPort::read(qint64 n)
{
    if (!isOpen() || n <= 0)
        return {};
    const QByteArray bytes = m_port.read(n);
    // A full read buffer stops QSerialPort reading the device, and a read the
    // buffer can serve does not start it again: the port would fall silent
    // for good after a burst. Setting the size again resumes reading.
    m_port.setReadBufferSize(m_port.readBufferSize());
    return bytes;
}

qint64 QtSerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return 0;
    const qint64 n = m_port.write(bytes);
    // QSerialPort only queues; hand the bytes to the device now, without
    // waiting: what the line does not take at once goes out from the event loop.
    m_port.flush();
    return n < 0 ? 0 : n;
}

void QtSerialPort::clearInput()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

void QtSerialPort::clearOutput()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Output);
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        // Reported by open(), which fails and leaves the port closed.
        setLastError(m_port.errorString());
        return;
    default:
        break;
    }
    setLastError(m_port.errorString());
    if (!m_port.isOpen() || m_failed)
        return;
    m_failed = true;
    // A vanished device reports errors over and over: close on the first one,
    // from the event loop, since QSerialPort is inside its own handler here.
    QMetaObject::invokeMethod(this, [this, openCount = m_openCount] {
        if (openCount == m_openCount && m_port.isOpen()) {
            m_port.close();
            Q_EMIT closedByError();
        }
    }, Qt::QueuedConnection);
}
