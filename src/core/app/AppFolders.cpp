#include "core/app/AppFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

bool canWriteBelow(const QString &folder)
{
    const QString probeDir = QDir(folder).filePath(QStringLiteral("ini"));
    if (!QDir().mkpath(probeDir))
        return false;
    QTemporaryFile probe(QDir(probeDir).filePath(QStringLiteral("probe-XXXXXX")));
    return probe.open();
}

QString resolveProgramFolder()
{
    const QString exe = AppFolders::executableFolder();
    if (!exe.isEmpty() && canWriteBelow(exe))
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
