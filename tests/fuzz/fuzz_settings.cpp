// The settings file "ini/KV518.ini", read at start and written at the close.
// Whatever it holds, reading it gives values that are written and read back
// unchanged (the written file is stable); a file that gives no line leaves
// the values as they were.
#include "FuzzCheck.h"

#include "core/app/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString folder = dir.path();
    Settings settings(folder);
    FUZZ_CHECK(QDir().mkpath(settings.folderPath()));
    QFile f(settings.filePath());
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(reinterpret_cast<const char *>(data), qint64(size));
    f.close();

    settings.PortIndex = 7;
    settings.AutoScaleSetting = 0;
    settings.LoadSettings();
    FUZZ_CHECK(settings.AutoScaleSetting == 0 || settings.AutoScaleSetting == 1);
    if (size == 0)
        FUZZ_CHECK(settings.PortIndex == 7 && settings.AutoScaleSetting == 0);

    FUZZ_CHECK(settings.SaveSettings());
    const QByteArray written = contents(settings.filePath());
    Settings reread(folder);
    reread.LoadSettings();
    FUZZ_CHECK(reread.PortIndex == settings.PortIndex);
    FUZZ_CHECK(reread.AutoScaleSetting == settings.AutoScaleSetting);
    FUZZ_CHECK(reread.SaveSettings());
    FUZZ_CHECK(contents(settings.filePath()) == written);
    return 0;
}
