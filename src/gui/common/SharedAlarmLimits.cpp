#include "gui/common/SharedAlarmLimits.h"

SharedAlarmLimits::SharedAlarmLimits(const QString &programFolder)
    : m_settings(programFolder)
{
}

void SharedAlarmLimits::load()
{
    m_settings.load();
    Q_EMIT changed();
}

Result<> SharedAlarmLimits::apply(const AlarmSettings &edited)
{
    m_settings.limits[0] = edited.limits[0];
    m_settings.limits[1] = edited.limits[1];
    m_settings.temperatureUnit = edited.temperatureUnit;
    m_settings.activationEnergy = edited.activationEnergy;
    Q_EMIT changed();
    return m_settings.save();
}
