#include "gui/common/AppContext.h"

#include <utility>

AppContext::AppContext(Prompter &prompter, AppFolders folders)
    : m_prompter(prompter)
    , m_folders(std::move(folders))
    , m_settings(m_folders.programFolder())
    , m_alarmLimits(m_folders.programFolder())
{
}

bool AppContext::takeTemplateFailureNotice()
{
    return !std::exchange(m_templateFailureShown, true);
}
