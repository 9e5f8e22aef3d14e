#include "core/archive/ArchiveVerify.h"

#include "core/archive/Archive.h"
#include "core/base/Log.h"

#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace ArchiveVerify {

AuditEntry entry(const QStringList &problems)
{
    AuditEntry e = AuditEntry::here(QStringLiteral("verify"));
    e.newValue = problems.isEmpty() ? QStringLiteral("sound")
                                    : QStringLiteral("%1 problem(s): %2").arg(problems.size()).arg(problems.first());
    return e;
}

Result<ArchiveVerdict> verify(Archive &archive)
{
    Result<QStringList> problems = archive.verify();
    if (!problems)
        return problems.failure();
    if (Result<qint64> id = AuditTrail::append(archive, entry(*problems)); !id)
        return fail(id.code(), QStringLiteral("The verify is not recorded in the audit trail: %1").arg(id.message()));
    ArchiveVerdict v;
    v.problems = std::move(*problems);
    if (Result<qint64> downloads = archive.downloadCount(); downloads)
        v.downloads = *downloads;
    return v;
}

QFuture<Result<ArchiveVerdict>> start(const QString &path)
{
    auto promise = std::make_shared<QPromise<Result<ArchiveVerdict>>>();
    QFuture<Result<ArchiveVerdict>> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        Result<std::unique_ptr<Archive>> archive = Archive::open(path);
        Result<ArchiveVerdict> verdict = archive ? verify(**archive) : Result<ArchiveVerdict>(archive.failure());
        if (!verdict)
            qCInfo(lcData).noquote() << "archive not verified:" << verdict.message();
        promise->addResult(std::move(verdict));
        promise->finish();
    });
    return future;
}

QString verdictText(const ArchiveVerdict &verdict, const QString &path)
{
    if (!verdict.sound())
        return QStringLiteral("The archive \"%1\" does not match its hashes in %2 place(s).")
            .arg(path)
            .arg(verdict.problems.size());
    return QStringLiteral("The archive is sound: %1 download(s), every image, run and record matches its hash.")
        .arg(verdict.downloads);
}

} // namespace ArchiveVerify
