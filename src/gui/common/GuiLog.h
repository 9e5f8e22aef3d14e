#pragma once

#include <QLoggingCategory>

// kv518.gui: the windows and the flows behind them (what the user was told,
// and why a command did nothing). Off by default, as the core's categories.
Q_DECLARE_LOGGING_CATEGORY(lcGui)
