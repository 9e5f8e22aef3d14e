#include "core/app/AppFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString resolveProgramFolder()
{
    const QString exe = QCoreApplication::instance() ? AppFolders::executableFolder() : QString();
    if (AppFolders::isPortableFolder(exe))
        return QDir::cleanPath(exe);
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty())
        data = QDir::home().filePath(QStringLiteral(".kv518"));
    QDir().mkpath(data);
    return QDir::cleanPath(data);
}

QString resolveUserDataFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        return QString();
    const QString folder = QDir(docs).filePath(QStringLiteral("KV518")) + QLatin1Char('/');
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return folder;
    // Keep the separator, so that "temp" is joined below the documents folder.
    return QDir::cleanPath(docs) + QLatin1Char('/');
}

} // namespace

AppFolders::AppFolders(const QString &programFolder, const QString &userDataFolder)
    : m_programFolder(QDir::cleanPath(programFolder))
    , m_userDataFolder(userDataFolder)
{
}

QString AppFolders::programFolder() const
{
    if (!m_programFolder)
        m_programFolder = resolveProgramFolder();
    return *m_programFolder;
}

bool AppFolders::isPortableFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder);
    const QString path = QDir::cleanPath(info.canonicalFilePath());
    if (path.isEmpty() || !info.isDir())
        return false;
    // An installed program: its files are the system's, whoever runs it (root too).
    if (path == QLatin1String("/usr") || path.startsWith(QLatin1String("/usr/")))
        return false;
    // Only the folder's owner keeps the program's files there; asking creates nothing.
    return info.ownerId() == ::geteuid() && info.isWritable();
}

QString AppFolders::shippedFolder()
{
    const QString exe = executableFolder();
    const QString installed = QDir(exe).filePath(QStringLiteral("../share/kv518"));
    return QFileInfo(installed).isDir() ? QDir::cleanPath(installed) : exe;
}

QString AppFolders::executableFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

QString AppFolders::userDataFolder() const
{
    if (!m_userDataFolder)
        m_userDataFolder = resolveUserDataFolder();
    return *m_userDataFolder;
}
