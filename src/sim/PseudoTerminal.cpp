#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

bool PseudoTerminal::open()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios tio {};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::onWritable);
    return true;
}

void PseudoTerminal::onReadable()
{
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n > 0)
        Q_EMIT received(QByteArray(buf, qsizetype(n)));
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    m_pending += bytes;
    onWritable();
}

void PseudoTerminal::onWritable()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n <= 0)
            break;
        m_pending.remove(0, qsizetype(n));
    }
    // The program is not reading fast enough: go on when the line has room.
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

void PseudoTerminal::hangUp()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    m_pending.clear();
}
