#include "core/app/PrintSettings.h"

#include "core/app/Settings.h"
#include "core/base/Log.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr qint64 MaxFileBytes = 1024;

std::optional<bool> landscapeOf(const QByteArray &line)
{
    const QByteArray word = line.trimmed();
    if (word == "Landscape")
        return true;
    if (word == "Portrait")
        return false;
    return std::nullopt;
}

QByteArray wordOf(const std::optional<bool> &landscape)
{
    if (!landscape)
        return QByteArray();
    return *landscape ? QByteArrayLiteral("Landscape") : QByteArrayLiteral("Portrait");
}
} // namespace

PrintSettings::PrintSettings(const QString &programFolder)
    : m_programFolder(programFolder)
{
}

QString PrintSettings::filePath() const
{
    return QDir(Settings(m_programFolder).folderPath()).filePath(QStringLiteral("Print.ini"));
}

void PrintSettings::load()
{
    const QString path = filePath();
    // A FIFO or a device in its place would hold the start for good.
    if (!QFileInfo(path).isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCInfo(lcApp).noquote() << "print settings not read:" << path << "-" << file.errorString();
        return;
    }
    const QList<QByteArray> lines = file.read(MaxFileBytes).split('\n');
    if (lines.size() > 1)
        graphLandscape = landscapeOf(lines.at(1));
    if (lines.size() > 2)
        textLandscape = landscapeOf(lines.at(2));
}

Result<> PrintSettings::save() const
{
    const QString folder = QFileInfo(filePath()).absolutePath();
    const Failure failed{ErrorCode::WriteFailed, QStringLiteral("Cannot create file \"%1\"").arg(filePath())};
    if (!QDir().mkpath(folder))
        return failed;
    const QByteArray text = QByteArrayLiteral("[Print]\r\n") + wordOf(graphLandscape) + QByteArrayLiteral("\r\n")
        + wordOf(textLandscape) + QByteArrayLiteral("\r\n");
    return AtomicFile::write(filePath(), text);
}
