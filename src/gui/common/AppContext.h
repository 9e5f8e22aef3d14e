#pragma once

#include "core/app/AppFolders.h"
#include "core/app/Settings.h"
#include "core/archive/Signatures.h"
#include "core/chart/AnnotationModes.h"
#include "core/link/PortFactory.h"
#include "gui/common/SharedAlarmLimits.h"

class Prompter;

// What the windows and the flows behind them need from the program around
// them, passed down instead of kept in globals: the prompt interface, the
// program's folders, the settings of this run (the data views read the
// auto-scale choice from them), the port factory that the demo meter's line
// is added to, and the state every data view shares (the click mode, the
// note counter, the alarm limits and the signing session). main() makes one; each
// test makes its own, so two tests never see each other's state.
class AppContext
{
public:
    explicit AppContext(Prompter &prompter, AppFolders folders = {});
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    Prompter &prompter() const { return m_prompter; }
    const AppFolders &folders() const { return m_folders; }
    PortFactory &ports() { return m_ports; }
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }
    // The click mode and note counter that every data view shares.
    AnnotationModes &annotations() { return m_annotations; }
    // The alarm limits every data view shows (read at start with the settings).
    SharedAlarmLimits &alarmLimits() { return m_alarmLimits; }
    // The signing session of this run: the user name is asked at its first
    // signing, later ones ask for the password alone.
    SigningSession &signing() { return m_signing; }

    // A chart template folder that cannot be written is reported once per
    // run: true the first time it is asked, false after.
    bool takeTemplateFailureNotice();

private:
    Prompter &m_prompter;
    AppFolders m_folders;
    PortFactory m_ports;
    Settings m_settings;
    AnnotationModes m_annotations;
    SharedAlarmLimits m_alarmLimits;
    SigningSession m_signing;
    bool m_templateFailureShown = false;
};
