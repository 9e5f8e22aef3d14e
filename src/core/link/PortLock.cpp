#include "core/link/PortLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>

namespace PortLock {

QString folder()
{
    const QString given = qEnvironmentVariable("KV518_LOCK_DIR");
    if (!given.isEmpty())
        return given;
    const QFileInfo runLock(QStringLiteral("/run/lock"));
    if (runLock.isDir() && runLock.isWritable())
        return runLock.filePath();
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString pathFor(const QString &device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QString name = canonical.isEmpty() ? device : canonical;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(u'/', u'_');
    return QDir(folder()).filePath(QStringLiteral("kv518-watch-%1.lock").arg(name));
}

std::optional<Holder> holder(const QString &device)
{
    const QString path = pathFor(device);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QLockFile lock(path);
    qint64 pid = 0;
    QString host;
    QString program;
    if (!lock.getLockInfo(&pid, &host, &program) || pid <= 0)
        return std::nullopt;
    // A lock left by a process that ended is no lock; a process of another
    // user (the service) answers EPERM but runs.
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return std::nullopt;
    return Holder{pid, program};
}

QString watchedText(const QString &device, const Holder &h)
{
    return QStringLiteral("%1 is watched by kv518-cli watch (pid %2).").arg(device).arg(h.pid);
}

Result<std::unique_ptr<QLockFile>> acquire(const QString &device)
{
    QDir().mkpath(folder());
    auto lock = std::make_unique<QLockFile>(pathFor(device));
    lock->setStaleLockTime(0); // stale only when its process is gone
    if (lock->tryLock(0))
        return lock;
    if (const std::optional<Holder> h = holder(device))
        return fail(ErrorCode::Refused, watchedText(device, *h));
    return fail(ErrorCode::WriteFailed,
                QStringLiteral("Cannot lock %1 in %2.").arg(device, QDir::toNativeSeparators(folder())));
}

} // namespace PortLock
