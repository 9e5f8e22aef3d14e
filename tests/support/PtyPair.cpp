#include "PtyPair.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        closeMaster();
        return;
    }
    char name[256] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // The master side passes bytes through unchanged.
    termios tio {};
    if (tcgetattr(m_master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_master, TCSANOW, &tio);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

qint64 PtyPair::writeMaster(const QByteArray &bytes)
{
    if (m_master < 0)
        return -1;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                pollfd p {m_master, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            break;
        }
        done += n;
    }
    return done;
}

QByteArray PtyPair::readMaster(int n, int timeoutMs)
{
    QByteArray got;
    if (m_master < 0)
        return got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < n) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p {m_master, POLLIN, 0};
        if (::poll(&p, 1, int(left)) <= 0)
            continue;
        char buffer[512];
        const ssize_t r = ::read(m_master, buffer, sizeof buffer);
        if (r > 0)
            got.append(buffer, r);
        else if (r < 0 && errno != EAGAIN && errno != EINTR)
            break;
        else if (r == 0)
            break;
    }
    return got;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
