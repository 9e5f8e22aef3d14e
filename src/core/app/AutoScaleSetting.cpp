#include "core/app/AutoScaleSetting.h"

namespace {
int g_autoScaleSetting = 1;
}

namespace ScaleSettings {

int autoScaleSetting()
{
    return g_autoScaleSetting;
}

void setAutoScaleSetting(int value)
{
    g_autoScaleSetting = (value == 0) ? 0 : 1;
}

} // namespace ScaleSettings
