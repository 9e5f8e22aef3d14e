#pragma once

#include "core/archive/AuditTrail.h"
#include "core/base/Result.h"

#include <QFuture>
#include <QString>
#include <QStringList>

class Archive;

// What a verify of the archive found: every image, run, record and audit
// entry against its hash. Each verify is itself an entry of the audit trail.
struct ArchiveVerdict
{
    QStringList problems; // one line per thing that does not match; none: sound
    qint64 downloads = 0;
    bool sound() const { return problems.isEmpty(); }
};

namespace ArchiveVerify {

// The audit entry of a verify that found problems (none: "sound").
AuditEntry entry(const QStringList &problems);

// Verifies archive and records the verdict in its audit trail. Fails when
// the archive cannot be read, or the verdict cannot be recorded.
Result<ArchiveVerdict> verify(Archive &archive);

// The same on a worker thread with a connection of its own, for a window
// that must not wait; the archive at path must exist.
QFuture<Result<ArchiveVerdict>> start(const QString &path);

// The closing sentence: "The archive is sound: N download(s), ..." or "The
// archive "P" does not match its hashes in N place(s)."
QString verdictText(const ArchiveVerdict &verdict, const QString &path);

} // namespace ArchiveVerify
