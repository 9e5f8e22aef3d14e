// The files under "ini/": the settings file "KV518.ini", read at start and
// written at the close, and the alarm limits' "limits.ini". Whatever they
// hold, reading gives values that are written and read back unchanged (the
// written file is stable); a settings file that gives no line leaves the
// values as they were; limits read are finite, low never above high, and the
// activation energy is one the mean kinetic temperature takes.
#include "FuzzCheck.h"

#include "core/app/AlarmSettings.h"
#include "core/app/Settings.h"

#include <cmath>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const uint8_t *data, size_t size)
{
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(reinterpret_cast<const char *>(data), qint64(size));
}

void limitsFile(const QString &folder, const uint8_t *data, size_t size)
{
    AlarmSettings limits(folder);
    write(limits.filePath(), data, size);
    limits.load();
    for (const ChannelLimits &l : limits.limits) {
        FUZZ_CHECK(!l.low || std::isfinite(*l.low));
        FUZZ_CHECK(!l.high || std::isfinite(*l.high));
        FUZZ_CHECK(!(l.low && l.high) || *l.low <= *l.high);
    }
    FUZZ_CHECK(KineticTemperature::isValidActivationEnergy(limits.activationEnergy));
    FUZZ_CHECK(limits.save());
    const QByteArray written = contents(limits.filePath());
    AlarmSettings reread(folder);
    reread.load();
    FUZZ_CHECK(reread == limits);
    FUZZ_CHECK(reread.save());
    FUZZ_CHECK(contents(limits.filePath()) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString folder = dir.path();
    Settings settings(folder);
    FUZZ_CHECK(QDir().mkpath(settings.folderPath()));
    write(settings.filePath(), data, size);

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

    limitsFile(folder, data, size);
    return 0;
}
