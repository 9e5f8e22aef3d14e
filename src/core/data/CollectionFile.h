#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QString>

// Data set collection files ("*.518") and the temporary image file: both hold
// the logger's memory image byte for byte, with no header and no checksum.
namespace CollectionFile {

// "<user data folder>/temp", or "<program folder>/temp" when the user data
// folder is unknown (empty).
QString tempFolder(const QString &userDataFolder, const QString &programFolder);
QString tempImagePath(const QString &userDataFolder, const QString &programFolder);

// Writes image as folder + "/DataSetsTemp.tmp", creating the folder. A
// folder that neither exists nor can be created fails with the folder's path
// as its message (ErrorCode::NotFound); a file that cannot be written fails
// with the writer's message, and an older one stays as it was.
Result<> writeTempImage(const QByteArray &image, const QString &folder);

// Reads a whole collection file. Fails when it cannot be opened
// (Unreadable) or is larger than any logger image (TooLarge; a regular file
// is refused before anything is read, a pipe or device once more than that
// has come); fileSize is the size the file announced, or for a pipe or
// device the bytes it gave.
Result<QByteArray> readImage(const QString &path, qint64 *fileSize = nullptr);

// The messages of a collection file that cannot be read.
QString cannotReadText(const QString &path);
QString tooLargeText(const QString &path);

// Writes bytes to path atomically: an existing file is replaced only once the
// new one is complete.
Result<> writeImage(const QString &path, const QByteArray &bytes);

} // namespace CollectionFile
