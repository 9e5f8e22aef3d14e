#include "cli/DataFileInput.h"

#include "core/data/CollectionFile.h"

namespace {

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

} // namespace

Result<> collectionFailure(const QString &path, const Result<> &loaded, int faultySet)
{
    if (loaded)
        return loaded;
    switch (loaded.code()) {
    case ErrorCode::NoData:
        return fail(ErrorCode::NoData, QStringLiteral("%1 holds no data set.").arg(quoted(path)));
    case ErrorCode::Damaged:
        return fail(ErrorCode::Damaged, QStringLiteral("%1 is damaged: data set %2 does not fit in the file.")
                                            .arg(quoted(path))
                                            .arg(faultySet + 1));
    default:
        return fail(ErrorCode::Damaged, QStringLiteral("%1 is damaged.").arg(quoted(path)));
    }
}

Result<> readCollectionFile(const QString &path, TDataSetStore &store)
{
    const Result<QByteArray> image = CollectionFile::readImage(path);
    if (!image)
        return image.failure();
    const Result<> loaded = store.load(*image, image->size());
    return collectionFailure(path, loaded, store.faultySet());
}

Result<> readDataFile(CliContext &ctx, const QString &path, QChar separator, TextFilePoints &points)
{
    TextFileExtent extent;
    const Result<> read = TextDataFile::read(path, separator, ctx.texts(), extent, points);
    if (!read && read.code() == ErrorCode::Unreadable)
        return fail(ErrorCode::Unreadable, QStringLiteral("Cannot read %1.").arg(quoted(path)));
    if (!read)
        return read;
    if (points.filled == 0)
        return fail(ErrorCode::NoData, QStringLiteral("%1 holds no data line.").arg(quoted(path)));
    // Statistics and reports of such a file would all start in 1899.
    if (points.undated == points.filled)
        return undatedLines(ctx, points.undated, points.filled);
    return {};
}

Failure undatedLines(const CliContext &ctx, qint64 undated, qint64 lines)
{
    return {ErrorCode::Damaged, QStringLiteral("%1 of %2 lines have a date that cannot be read with the regional "
                                               "format %3 (try --locale)")
                                    .arg(undated)
                                    .arg(lines)
                                    .arg(ctx.texts().locale().name())};
}
