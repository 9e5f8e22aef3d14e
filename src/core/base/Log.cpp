#include "core/base/Log.h"

Q_LOGGING_CATEGORY(lcLink, "kv518.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcData, "kv518.data", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "kv518.files", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChart, "kv518.chart", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSetup, "kv518.setup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "kv518.app", QtWarningMsg)

void enableVerboseLogging()
{
    QLoggingCategory::setFilterRules(QStringLiteral("kv518.*.debug=true\nkv518.*.info=true"));
    qSetMessagePattern(QStringLiteral("%{time hh:mm:ss.zzz} %{category}: %{message}"));
}
