#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Data set collection files ("*.518") and the temporary image file: both hold
// the logger's memory image byte for byte, with no header and no checksum.
namespace CollectionFile {

// "<user data folder>/temp", or "<program folder>/temp" when the user data
// folder is unknown (empty).
QString tempFolder(const QString &userDataFolder, const QString &programFolder);
QString tempImagePath(const QString &userDataFolder, const QString &programFolder);

enum class TempImageStatus {
    Written,
    FolderFailed,   // the folder neither exists nor can be created
    FileFailed,     // the file could not be written; an older one stays as it was
};

// Writes image as folder + "/DataSetsTemp.tmp", creating the folder.
TempImageStatus writeTempImage(const QByteArray &image, const QString &folder);

// Reads a whole collection file. Empty when it cannot be opened or is larger
// than any logger image (a regular file is refused before anything is read, a
// pipe or device once more than that has come); fileSize is the size the file
// announced, or for a pipe or device the bytes it gave.
std::optional<QByteArray> readImage(const QString &path, qint64 *fileSize = nullptr);

// Writes bytes to path atomically: an existing file is replaced only once the
// new one is complete.
bool writeImage(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace CollectionFile
