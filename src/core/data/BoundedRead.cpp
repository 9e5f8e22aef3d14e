#include "core/data/BoundedRead.h"

#include <QFile>
#include <QIODevice>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray readAtMost(QIODevice &device, qint64 limit)
{
    constexpr qint64 Chunk = 1 << 20;
    const qint64 wanted = limit + 1;
    QByteArray bytes;
    // A regular file announces its size; reserving it avoids regrowing.
    if (!device.isSequential())
        bytes.reserve(qsizetype(qBound<qint64>(0, device.size() - device.pos(), wanted)));
    while (bytes.size() < wanted) {
        const qsizetype have = bytes.size();
        const qint64 step = qMin(Chunk, wanted - have);
        bytes.resize(have + qsizetype(step));
        const qint64 got = device.read(bytes.data() + have, step);
        if (got <= 0) {
            bytes.resize(have);
            break;
        }
        bytes.resize(have + qsizetype(got));
    }
    return bytes;
}

Result<> openForReading(QFile &file, int waitMs)
{
    const QByteArray name = QFile::encodeName(file.fileName());
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(ErrorCode::Unreadable, qt_error_string(errno));
    const auto refuse = [fd](const QString &reason) {
        ::close(fd);
        return fail(ErrorCode::Unreadable, reason);
    };
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return refuse(qt_error_string(errno));
    if (S_ISDIR(st.st_mode))
        return refuse(qt_error_string(EISDIR));
    // A regular file opens by its name, which QFile then keeps for messages.
    if (S_ISREG(st.st_mode)) {
        ::close(fd);
        if (!file.open(QIODevice::ReadOnly))
            return fail(ErrorCode::Unreadable, file.errorString());
        return {};
    }
    // A FIFO, pipe or device: its first bytes or its end, within the limit.
    pollfd p = {fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&p, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return refuse(QStringLiteral("Nothing arrived within %1 s").arg(waitMs / 1000.0));
    // Reads may block from here on, as they do on any file.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return refuse(file.errorString());
    return {};
}
