#include "core/data/CollectionFile.h"

#include "core/data/BoundedRead.h"
#include "core/data/LoggerImage.h"
#include "core/link/MeterMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

TempImageStatus writeTempImage(const QByteArray &image, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return TempImageStatus::FolderFailed;
    return writeImage(QDir(folder).filePath(QStringLiteral("DataSetsTemp.tmp")), image)
        ? TempImageStatus::Written
        : TempImageStatus::FileFailed;
}

std::optional<QByteArray> readImage(const QString &path, qint64 *fileSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.isSequential()) {
        // A pipe or a device has no size to check first: what it gives is
        // its size, and more than any logger image is refused.
        QByteArray bytes = readAtMost(file, Meter::MaxImageBytes);
        if (fileSize)
            *fileSize = bytes.size();
        if (bytes.size() > Meter::MaxImageBytes)
            return std::nullopt;
        return bytes;
    }
    const qint64 size = file.size();
    if (fileSize)
        *fileSize = size;
    if (size > Meter::MaxImageBytes)
        return std::nullopt;
    // Read no further than announced: a file that grows meanwhile stays bounded.
    QByteArray bytes = file.read(size);
    return bytes;
}

bool writeImage(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace CollectionFile
