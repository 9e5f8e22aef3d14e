#include "core/app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <optional>

namespace {

std::optional<QString> g_programFolder;
std::optional<QString> g_userDataFolder;

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
    const QString exe = AppPaths::executableFolder();
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

namespace AppPaths {

QString programFolder()
{
    if (!g_programFolder)
        g_programFolder = resolveProgramFolder();
    return *g_programFolder;
}

QString executableFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

QString userDataFolder()
{
    if (!g_userDataFolder)
        g_userDataFolder = resolveUserDataFolder();
    return *g_userDataFolder;
}

void setProgramFolder(const QString &folder)
{
    g_programFolder = QDir::cleanPath(folder);
}

void setUserDataFolder(const QString &folder)
{
    g_userDataFolder = folder;
}

} // namespace AppPaths
