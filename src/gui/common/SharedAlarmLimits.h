#pragma once

#include "core/app/AlarmSettings.h"

#include <QObject>

// The alarm limits of this run, one copy for every data view. A view that
// changes them tells the others through changed(), so each one shows the new
// figures and lines without knowing of the rest.
class SharedAlarmLimits : public QObject
{
    Q_OBJECT
public:
    explicit SharedAlarmLimits(const QString &programFolder);

    const AlarmSettings &settings() const { return m_settings; }

    // Reads the limits file of the program folder.
    void load();
    // Takes edited limits for every view at once and writes the file. When
    // the file cannot be written the limits still hold for this run; false is
    // returned with the message for the user in errorText.
    Result<> apply(const AlarmSettings &edited);

Q_SIGNALS:
    void changed();

private:
    AlarmSettings m_settings;
};
