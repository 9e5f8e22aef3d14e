#include "gui/common/GuiLog.h"

Q_LOGGING_CATEGORY(lcGui, "kv518.gui", QtWarningMsg)
