#include "FakeSerialPort.h"

FakeSerialPort::FakeSerialPort(FakeClock &clock, QObject *parent)
    : SerialPort(parent)
    , m_clock(clock)
{
}

void FakeSerialPort::arriveIn(qint64 delayMs, const QByteArray &bytes)
{
    if (delayMs <= 0) {
        if (m_open) {
            m_input += bytes;
            Q_EMIT received();
        }
        return;
    }
    m_clock.callAfter(delayMs, this, [this, bytes] {
        if (!m_open)
            return;
        m_input += bytes;
        Q_EMIT received();
    });
}

void FakeSerialPort::fail()
{
    m_open = false;
    Q_EMIT closedByError();
}

bool FakeSerialPort::open()
{
    m_open = true;
    return true;
}

void FakeSerialPort::close()
{
    m_open = false;
}

qint64 FakeSerialPort::bytesWaiting()
{
    if (!m_open)
        return 0;
    return m_input.size();
}

QByteArray FakeSerialPort::read(qint64 n)
{
    if (!m_open)
        return {};
    const QByteArray out = m_input.left(n);
    m_input.remove(0, out.size());
    return out;
}

qint64 FakeSerialPort::write(const QByteArray &bytes)
{
    if (!m_open)
        return 0;
    m_written += bytes;
    m_writes.append(bytes);
    if (onWrite)
        onWrite(bytes);
    return bytes.size();
}

void FakeSerialPort::clearInput()
{
    m_input.clear();
}
