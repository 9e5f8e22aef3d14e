#pragma once

#include "core/base/Result.h"

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <memory>

// The program's one way to write a file: the new content goes to a temporary
// file beside the target, which replaces the target only when it is complete
// and flushed, so a crash, a full disk or a cancel leaves the earlier file as
// it was. Every failure is logged with its reason (kv518.files) and returned
// with the message the user is shown:
//   Cannot create file "PATH"              the file cannot be made at all
//   Cannot write file "PATH": REASON       it was made, but writing it failed
//
// A target that exists and is no regular file (a device such as /dev/null, a
// FIFO) is written in place instead: replacing it would put a regular file
// where the device was. A FIFO without a reader fails at once, never waits.
//
// For a whole buffer, AtomicFile::write(path, bytes). For content written in
// steps: open(), write() or device(), then commit(); a file destroyed or
// cancel()ed before its commit is dropped.
class AtomicFile
{
public:
    explicit AtomicFile(const QString &path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    static Result<> write(const QString &path, QByteArrayView bytes);

    Result<> open();
    // The device to write to between open() and commit(); a failed write on
    // it is remembered and makes commit() fail.
    QIODevice &device();
    // Appends bytes; false once a write has failed.
    bool write(QByteArrayView bytes);
    // Writes all of bytes to device, or fails with the device's reason set
    // (a short write, as on a disk that fills up, is retried to learn it).
    static bool writeAll(QIODevice &device, QByteArrayView bytes);
    // Replaces the target with what was written.
    Result<> commit();
    // Drops what was written; the target stays as it was.
    void cancel();

    const QString &path() const { return m_path; }

    // The messages, for a caller that fails before it has a file.
    static QString cannotCreateText(const QString &path);
    static QString cannotWriteText(const QString &path, const QString &reason);

private:
    Result<> openInPlace();

    QString m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_inPlace = false;
    bool m_writeFailed = false;
};
