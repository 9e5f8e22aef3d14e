#include "core/archive/SiteRuns.h"

#include "core/base/Log.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QPromise>
#include <QRegularExpression>
#include <QThreadPool>

#include <memory>

namespace SiteRuns {

namespace {

// The site at text, connected on this thread, its schema this program's.
Result<std::unique_ptr<SiteArchive>> connectTo(const QString &text)
{
    Result<SiteUrl> url = SiteUrl::parse(text);
    if (!url)
        return url.failure();
    Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*url);
    if (!site)
        return site;
    if (Result<> schema = (*site)->requireSchema(); !schema)
        return schema.failure();
    return site;
}

// Runs work on a thread of the global pool; its one result goes to the future.
template<typename T, typename Work>
QFuture<T> onWorker(Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

Listing listNow(const QString &text)
{
    Listing out;
    Result<std::unique_ptr<SiteArchive>> site = connectTo(text);
    if (!site) {
        out.failure = site.message();
        return out;
    }
    Result<QList<SiteRunInfo>> runs = (*site)->runs();
    if (runs)
        out.runs = std::move(*runs);
    else
        out.failure = runs.message();
    return out;
}

} // namespace

QFuture<Listing> list(const QString &url)
{
    return onWorker<Listing>([url] {
        Listing listing = listNow(url);
        if (!listing.failure.isEmpty())
            qCInfo(lcData).noquote() << "site archive not listed:" << listing.failure;
        return listing;
    });
}

QFuture<Opened> open(const QString &url, qint64 runId, const QString &samplesSha256)
{
    return onWorker<Opened>([url, runId, samplesSha256] {
        Opened out;
        Result<std::unique_ptr<SiteArchive>> site = connectTo(url);
        Result<SiteRunCopy> copy = site ? (*site)->runCopy(runId, samplesSha256) : Result<SiteRunCopy>(site.failure());
        if (copy)
            out.copy = std::move(*copy);
        else
            out.failure = copy.message();
        if (!out.failure.isEmpty())
            qCInfo(lcData).noquote() << "site run" << runId << "not opened:" << out.failure;
        return out;
    });
}

Result<> setConfiguredUrl(const QString &programFolder, const QString &url)
{
    const QString trimmed = url.trimmed();
    if (!trimmed.isEmpty())
        if (Result<SiteUrl> parsed = SiteUrl::parse(trimmed); !parsed)
            return parsed.failure();
    const QString folder = QDir(programFolder).filePath(QStringLiteral("ini"));
    const QString path = QDir(folder).filePath(QStringLiteral("archive.ini"));
    QStringList lines;
    if (QFile file(path); file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(ErrorCode::Unreadable, QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString()));
        lines = QString::fromUtf8(file.readAll()).split(u'\n');
        if (!lines.isEmpty() && lines.constLast().isEmpty())
            lines.removeLast();
    }
    // The url line of [site] is replaced (or added to the section, or the
    // section added); the rest stays as written.
    static const QRegularExpression section(QStringLiteral("^\\s*\\[(.*)\\]\\s*$"));
    static const QRegularExpression urlKey(QStringLiteral("^\\s*url\\s*="));
    const QString line = QStringLiteral("url=") + trimmed;
    int inSite = -1; // the line after [site]'s heading, while in it
    bool done = false;
    for (int i = 0; i < lines.size() && !done; ++i) {
        const QRegularExpressionMatch m = section.match(lines[i]);
        if (m.hasMatch()) {
            if (inSite >= 0) {
                lines.insert(i, line);
                done = true;
            } else if (m.captured(1).trimmed().compare(u"site", Qt::CaseInsensitive) == 0) {
                inSite = i + 1;
            }
        } else if (inSite >= 0 && urlKey.match(lines[i]).hasMatch()) {
            lines[i] = line;
            done = true;
        }
    }
    if (!done) {
        if (inSite < 0)
            lines << QStringLiteral("[site]");
        lines << line;
    }
    if (!QDir().mkpath(folder))
        return fail(ErrorCode::WriteFailed, AtomicFile::cannotCreateText(path));
    return AtomicFile::write(path, (lines.join(u'\n') + u'\n').toUtf8());
}

} // namespace SiteRuns
