#include "core/data/AtomicFile.h"

#include "core/base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether path names something that exists and is not a regular file
// (symbolic links followed).
bool existsAsNonRegular(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

} // namespace

AtomicFile::AtomicFile(const QString &path)
    : m_path(path)
{
}

AtomicFile::~AtomicFile()
{
    cancel();
}

Result<> AtomicFile::write(const QString &path, QByteArrayView bytes)
{
    AtomicFile file(path);
    if (Result<> opened = file.open(); !opened)
        return opened;
    file.write(bytes);
    return file.commit();
}

Result<> AtomicFile::open()
{
    cancel();
    m_writeFailed = false;
    if (existsAsNonRegular(m_path))
        return openInPlace();
    auto file = std::make_unique<QSaveFile>(m_path);
    if (!file->open(QIODevice::WriteOnly)) {
        qCInfo(lcFiles).noquote() << "cannot create" << m_path << "-" << file->errorString();
        return fail(ErrorCode::WriteFailed, cannotCreateText(m_path));
    }
    m_file = std::move(file);
    return {};
}

Result<> AtomicFile::openInPlace()
{
    // Non-blocking, so that a FIFO nobody reads fails instead of waiting.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        qCInfo(lcFiles).noquote() << "cannot create" << m_path << "-" << std::strerror(errno);
        return fail(ErrorCode::WriteFailed, cannotCreateText(m_path));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(ErrorCode::WriteFailed, cannotCreateText(m_path));
    }
    qCDebug(lcFiles).noquote() << "writing in place to" << m_path << "(not a regular file)";
    m_file = std::move(file);
    m_inPlace = true;
    return {};
}

QIODevice &AtomicFile::device()
{
    static QFile closed;
    return m_file ? static_cast<QIODevice &>(*m_file) : closed;
}

bool AtomicFile::writeAll(QIODevice &device, QByteArrayView bytes)
{
    // A disk that fills up takes part of a write and reports nothing; only
    // the next write fails with the reason, so write until all is taken or
    // the device says why not.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = device.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += qsizetype(n);
    }
    return true;
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (!m_file || !writeAll(*m_file, bytes))
        m_writeFailed = true;
    return !m_writeFailed;
}

Result<> AtomicFile::commit()
{
    if (!m_file)
        return fail(ErrorCode::WriteFailed, cannotCreateText(m_path));
    bool done = false;
    QString reason;
    if (m_inPlace) {
        done = !m_writeFailed && m_file->flush() && m_file->error() == QFileDevice::NoError;
        reason = m_file->errorString();
        m_file->close();
    } else {
        auto *save = static_cast<QSaveFile *>(m_file.get());
        // What is still buffered is written here, not left to commit(): a
        // write failing while the file closes does not make commit() fail,
        // and a cut file would replace the target. A flush cut short gives
        // no reason; the second one learns it.
        if (!m_writeFailed && !save->flush()) {
            save->flush();
            m_writeFailed = true;
        }
        if (m_writeFailed) {
            // The reason of the failed write, before the cancel replaces it.
            reason = save->errorString();
            save->cancelWriting();
            save->commit();
        } else {
            done = save->commit();
            reason = save->errorString();
        }
    }
    m_file.reset();
    m_inPlace = false;
    if (!done) {
        qCInfo(lcFiles).noquote() << "cannot write" << m_path << "-" << reason;
        return fail(ErrorCode::WriteFailed, cannotWriteText(m_path, reason));
    }
    qCDebug(lcFiles).noquote() << "wrote" << m_path;
    return {};
}

void AtomicFile::cancel()
{
    if (!m_file)
        return;
    if (!m_inPlace)
        static_cast<QSaveFile *>(m_file.get())->cancelWriting();
    m_file.reset();
    m_inPlace = false;
    qCDebug(lcFiles).noquote() << "dropped" << m_path;
}

QString AtomicFile::cannotCreateText(const QString &path)
{
    return QStringLiteral("Cannot create file \"%1\"").arg(QDir::toNativeSeparators(path));
}

QString AtomicFile::cannotWriteText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write file \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}
