#pragma once

#include "core/base/Result.h"

#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>

// The lock `kv518-cli watch` holds on its port while it watches, so the
// program (and another watch) can say who holds the port instead of fighting
// for it. One QLockFile per device in /run/lock (shared by every user, as the
// service runs as a user of its own), or the folder KV518_LOCK_DIR names.
namespace PortLock {

QString folder();
// The lock file of a device (its canonical path, so a link and its target share it).
QString pathFor(const QString &device);

struct Holder
{
    qint64 pid = 0;
    QString program;
};
// Who holds the device's lock, when a running process does.
std::optional<Holder> holder(const QString &device);
// "/dev/ttyUSB0 is watched by kv518-cli watch (pid 1234)."
QString watchedText(const QString &device, const Holder &holder);

// Takes the device's lock for this process; fails with the holder's
// sentence when another process holds it.
Result<std::unique_ptr<QLockFile>> acquire(const QString &device);

} // namespace PortLock
