#include "link/ConnectionMonitor.h"

#include "link/MemoryLine.h"

#include <QDir>

// Interim implementation: selects the port and reports "not connected"; the
// search, the poll and the receive handler come with the meter link.

ConnectionMonitor::ConnectionMonitor(QObject *parent)
    : QObject(parent)
{
    m_mainTimer.setInterval(500);
}

ConnectionMonitor::~ConnectionMonitor() = default;

void ConnectionMonitor::setPortNames(const QStringList &names)
{
    m_portNames = names;
}

QString ConnectionMonitor::devicePathFor(const QString &entryText)
{
    if (entryText.isEmpty() || entryText.contains(QLatin1Char('/')))
        return entryText;
    if (MemoryLine::find(entryText))
        return entryText;
    return QStringLiteral("/dev/") + entryText;
}

void ConnectionMonitor::searchMeter()
{
    if (m_portIndex < 0 || m_portIndex >= m_portNames.size())
        m_portIndex = 0;
    if (!m_portNames.isEmpty()) {
        Q_EMIT entrySelected(m_portIndex);
        m_comm1.setDeviceName(devicePathFor(m_portNames.at(m_portIndex)));
    }
    Q_EMIT rs232Visible(false);
    Q_EMIT statusChanged(m_comm1.deviceName(), false);
}

void ConnectionMonitor::changePort(const QString &text, int index)
{
    m_comm1.close();
    m_comm1.setDeviceName(devicePathFor(text));
    m_comm1.open();
    m_portIndex = index;
}

void ConnectionMonitor::runWhenQuiet(QObject *context, std::function<void()> f)
{
    QTimer::singleShot(0, context, std::move(f));
}

void ConnectionMonitor::suspend()
{
    m_mainTimer.stop();
    m_comm1.close();
}

void ConnectionMonitor::resume(bool clearInput)
{
    m_comm1.open();
    if (clearInput)
        m_comm1.clearInput();
    m_mainTimer.start();
}
