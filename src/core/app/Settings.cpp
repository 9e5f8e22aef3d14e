#include "core/app/Settings.h"

#include "core/base/Log.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// One line without its line end (CR LF or LF); false at the end of the file or
// when the line does not fit the 80-character buffer.
bool readLine(QFile &file, QString *line)
{
    // Anything past the first kilobyte belongs to a line that is too long anyway.
    const QByteArray raw = file.readLine(1024);
    if (raw.isEmpty())
        return false;
    QByteArray text = raw;
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    if (text.size() > Settings::MaxLineLength)
        return false;
    *line = QString::fromLocal8Bit(text);
    return true;
}

int toInt(const QString &text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

Settings::Settings(const QString &programFolder)
    : m_programFolder(programFolder)
{
}

QString Settings::folderPath() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("ini")) + QLatin1Char('/');
}

QString Settings::filePath() const
{
    return QDir(folderPath()).filePath(QStringLiteral("KV518.ini"));
}

void Settings::LoadSettings()
{
    QFile file(filePath());
    if (!file.exists())
        return;
    // A FIFO or a device in its place would hold the start for good.
    if (!QFileInfo(filePath()).isFile()) {
        qCInfo(lcApp).noquote() << "settings file not read:" << filePath() << "is no regular file";
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qCInfo(lcApp).noquote() << "settings file not read:" << filePath() << "-" << file.errorString();
        return;
    }
    QString line;
    for (int n = 1; n <= 4; ++n) {
        if (!readLine(file, &line))
            break;
        if (n == 2)
            PortIndex = toInt(line, 0);
        else if (n == 4)
            AutoScaleSetting = toInt(line, 1);
    }
    if (AutoScaleSetting != 0 && AutoScaleSetting != 1)
        AutoScaleSetting = 1;
}

Result<> Settings::SaveSettings() const
{
    const QString folder = folderPath();
    // A file that cannot be written is told as its folder is: the user can
    // do the same about either.
    const Failure failed{ErrorCode::WriteFailed,
                         QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder)
                             + QStringLiteral(" directory.")};
    if (!QDir().mkpath(folder)) {
        qCInfo(lcApp).noquote() << "cannot create the settings folder" << folder;
        return failed;
    }
    const QByteArray text = QByteArrayLiteral("[COM PORT]\r\n") + QByteArray::number(PortIndex)
        + QByteArrayLiteral("\r\n[AutoScale]\r\n") + QByteArray::number(AutoScaleSetting)
        + QByteArrayLiteral("\r\n");
    if (!AtomicFile::write(filePath(), text))
        return failed;
    return {};
}

int Settings::validPortIndex(int index, int count)
{
    return index < 0 || index >= count ? 0 : index;
}
