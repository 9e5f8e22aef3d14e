#include "core/app/AlarmSettings.h"

#include "core/base/Log.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <cmath>

namespace {

// No file of ours comes near this; a bigger one is not read at all.
constexpr qint64 MaxFileSize = 64 * 1024;

const char *const Groups[2] = {"Humidity", "Temperature"};

std::optional<double> read(const QSettings &file, const QString &key)
{
    bool ok = false;
    const double v = file.value(key).toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString number(std::optional<double> v)
{
    return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
}

} // namespace

AlarmSettings::AlarmSettings(const QString &programFolder)
    : m_programFolder(programFolder)
{
}

ChannelLimits AlarmSettings::limitsFor(int channel, std::optional<TemperatureUnit> setUnit) const
{
    if (channel < 0 || channel > 1)
        return {};
    if (channel == 0 || !setUnit)
        return limits[channel];
    return AlarmLimits::converted(limits[1], temperatureUnit, *setUnit);
}

CalibrationOffsets AlarmSettings::offsetsFor(std::optional<TemperatureUnit> setUnit) const
{
    return setUnit ? offsets.in(*setUnit) : offsets;
}

void AlarmSettings::setLimits(int channel, const ChannelLimits &entered, std::optional<TemperatureUnit> unit)
{
    if (channel < 0 || channel > 1)
        return;
    limits[channel] = entered;
    if (channel == 1 && unit)
        temperatureUnit = *unit;
}

QString AlarmSettings::filePath() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("ini/limits.ini"));
}

void AlarmSettings::load()
{
    const QFileInfo info(filePath());
    if (!info.exists())
        return;
    if (!info.isFile() || info.size() > MaxFileSize) {
        qCInfo(lcApp).noquote() << "limits file not read:" << filePath() << "is no regular file of at most"
                                << MaxFileSize << "bytes";
        return;
    }
    const QSettings file(filePath(), QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        qCInfo(lcApp).noquote() << "limits file not read:" << filePath() << "cannot be parsed";
        return;
    }
    for (int c = 0; c < 2; ++c) {
        const QString group = QLatin1String(Groups[c]) + u'/';
        ChannelLimits l{read(file, group + QStringLiteral("Low")), read(file, group + QStringLiteral("High"))};
        if (l.low && l.high && *l.low > *l.high) {
            l.low.reset();
            l.high.reset();
        }
        l.warningLow = read(file, group + QStringLiteral("WarningLow"));
        l.warningHigh = read(file, group + QStringLiteral("WarningHigh"));
        if (l.warningLow && l.warningHigh && *l.warningLow > *l.warningHigh)
            l.warningLow = l.warningHigh = std::nullopt;
        const std::optional<double> delay = read(file, group + QStringLiteral("DelayMinutes"));
        l.delayMinutes = delay && *delay >= 0.0 && *delay <= 1e6 ? qint64(*delay) : 0;
        l.delay = file.value(group + QStringLiteral("Delay")).toString().trimmed().compare(u"total", Qt::CaseInsensitive) == 0
            ? AlarmDelay::Total
            : AlarmDelay::Consecutive;
        limits[c] = l;
    }
    temperatureUnit = file.value(QStringLiteral("Temperature/Unit")).toString().trimmed().compare(u"F", Qt::CaseInsensitive) == 0
        ? TemperatureUnit::Fahrenheit
        : TemperatureUnit::Celsius;
    const auto energy = read(file, QStringLiteral("MeanKineticTemperature/ActivationEnergy"));
    activationEnergy = energy && KineticTemperature::isValidActivationEnergy(*energy)
        ? *energy
        : KineticTemperature::DefaultActivationEnergy;
    const auto offset = [&](const char *key) {
        const std::optional<double> v = read(file, QStringLiteral("Calibration/") + QLatin1String(key));
        return v && Calibration::isValidOffset(*v) ? *v : 0.0;
    };
    offsets.humidity = offset("Humidity");
    offsets.temperature = offset("Temperature");
    offsets.unit = file.value(QStringLiteral("Calibration/Unit")).toString().trimmed().compare(u"F", Qt::CaseInsensitive) == 0
        ? TemperatureUnit::Fahrenheit
        : TemperatureUnit::Celsius;
}

Result<> AlarmSettings::save() const
{
    // Written as text through the atomic writer rather than by QSettings, which keeps
    // away from a file it could not parse: a damaged file would then block
    // every later save.
    const QString folder = QFileInfo(filePath()).absolutePath();
    if (!QDir().mkpath(folder)) {
        qCInfo(lcApp).noquote() << "cannot create the limits folder" << folder;
        return fail(ErrorCode::WriteFailed,
                    QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder) + QStringLiteral(" directory."));
    }
    QString text;
    for (int c = 0; c < 2; ++c) {
        const ChannelLimits &l = limits[c];
        text += QStringLiteral("[%1]\nLow=%2\nHigh=%3\n").arg(QLatin1String(Groups[c]), number(l.low), number(l.high));
        if (l.warningLow)
            text += QStringLiteral("WarningLow=%1\n").arg(number(l.warningLow));
        if (l.warningHigh)
            text += QStringLiteral("WarningHigh=%1\n").arg(number(l.warningHigh));
        if (l.delayMinutes > 0)
            text += QStringLiteral("DelayMinutes=%1\nDelay=%2\n")
                        .arg(l.delayMinutes)
                        .arg(l.delay == AlarmDelay::Total ? QStringLiteral("total") : QStringLiteral("consecutive"));
        if (c == 1)
            text += temperatureUnit == TemperatureUnit::Fahrenheit ? QStringLiteral("Unit=F\n")
                                                                   : QStringLiteral("Unit=C\n");
        text += u'\n';
    }
    text += QStringLiteral("[MeanKineticTemperature]\nActivationEnergy=%1\n").arg(number(activationEnergy));
    if (offsets.any())
        text += QStringLiteral("\n[Calibration]\nHumidity=%1\nTemperature=%2\nUnit=%3\n")
                    .arg(number(offsets.humidity), number(offsets.temperature),
                         offsets.unit == TemperatureUnit::Fahrenheit ? QStringLiteral("F") : QStringLiteral("C"));
    return AtomicFile::write(filePath(), text.toUtf8());
}
