#include "FakeSerialPort.h"

#include <algorithm>

FakeSerialPort::FakeSerialPort(FakeClock &clock, QObject *parent)
    : SerialPort(parent)
    , m_clock(clock)
{
}

void FakeSerialPort::arriveIn(qint64 delayMs, const QByteArray &bytes)
{
    const Arrival a{m_clock.nowMs() + delayMs, bytes};
    const auto at = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), a.at,
                                     [](qint64 t, const Arrival &x) { return t < x.at; });
    m_arrivals.insert(at, a);
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

void FakeSerialPort::deliverDue()
{
    while (!m_arrivals.isEmpty() && m_arrivals.first().at <= m_clock.nowMs())
        m_input += m_arrivals.takeFirst().bytes;
}

qint64 FakeSerialPort::bytesWaiting()
{
    if (!m_open)
        return 0;
    deliverDue();
    return m_input.size();
}

QByteArray FakeSerialPort::read(qint64 n)
{
    if (!m_open)
        return {};
    deliverDue();
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
    deliverDue();
    m_input.clear();
}

bool FakeSerialPort::waitForBytes(int msecs)
{
    if (!m_open)
        return false;
    const qint64 deadline = m_clock.nowMs() + std::max(0, msecs);
    if (!m_arrivals.isEmpty() && m_arrivals.first().at <= deadline) {
        m_clock.set(std::max(m_clock.nowMs(), m_arrivals.first().at));
        deliverDue();
        return true;
    }
    m_clock.set(deadline);
    return false;
}
