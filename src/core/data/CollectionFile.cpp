#include "core/data/CollectionFile.h"

#include "core/base/LargeArray.h"
#include "core/base/Log.h"
#include "core/data/AtomicFile.h"
#include "core/data/BoundedRead.h"
#include "core/data/LoggerImage.h"
#include "core/link/MeterMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace CollectionFile {

QString tempFolder(const QString &userDataFolder, const QString &programFolder)
{
    const QString base = userDataFolder.isEmpty() ? programFolder : userDataFolder;
    return QDir(base).filePath(QStringLiteral("temp"));
}

QString tempImagePath(const QString &userDataFolder, const QString &programFolder)
{
    return QDir(tempFolder(userDataFolder, programFolder)).filePath(QStringLiteral("DataSetsTemp.tmp"));
}

Result<> writeTempImage(const QByteArray &image, const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        qCInfo(lcData).noquote() << "cannot create the temporary image folder" << folder;
        return fail(ErrorCode::NotFound, QDir::toNativeSeparators(folder));
    }
    return writeImage(QDir(folder).filePath(QStringLiteral("DataSetsTemp.tmp")), image);
}

Result<QByteArray> readImage(const QString &path, qint64 *fileSize)
{
    QFile file(path);
    if (Result<> opened = openForReading(file); !opened) {
        qCInfo(lcData).noquote() << "cannot read" << path << "-" << opened.message();
        return fail(ErrorCode::Unreadable, cannotReadText(path));
    }
    if (file.isSequential()) {
        // A pipe or a device has no size to check first: what it gives is
        // its size, and more than any logger image is refused.
        QByteArray bytes = readAtMost(file, Meter::MaxImageBytes);
        if (fileSize)
            *fileSize = bytes.size();
        if (bytes.size() > Meter::MaxImageBytes) {
            qCInfo(lcData).noquote() << "refused" << path << "- more than any logger image";
            return fail(ErrorCode::TooLarge, tooLargeText(path));
        }
        return bytes;
    }
    const qint64 size = file.size();
    if (fileSize)
        *fileSize = size;
    if (size > Meter::MaxImageBytes) {
        qCInfo(lcData).noquote() << "refused" << path << "-" << size << "bytes, more than any logger image";
        return fail(ErrorCode::TooLarge, tooLargeText(path));
    }
    // Read no further than announced: a file that grows meanwhile stays
    // bounded. A failed read gives no bytes, a short one what it read.
    QByteArray bytes(size, Qt::Uninitialized);
    adviseHugePages(bytes.data(), size_t(size));
    bytes.resize(std::max<qint64>(file.read(bytes.data(), size), 0));
    return bytes;
}

QString cannotReadText(const QString &path)
{
    return QStringLiteral("Cannot read \"%1\".").arg(QDir::toNativeSeparators(path));
}

QString tooLargeText(const QString &path)
{
    return QStringLiteral("\"%1\" is larger than 16 MiB and cannot be a logger image.")
        .arg(QDir::toNativeSeparators(path));
}

Result<> writeImage(const QString &path, const QByteArray &bytes)
{
    return AtomicFile::write(path, bytes);
}

} // namespace CollectionFile
