#pragma once

// The process-wide scaling flag: 1 = the Y axes of a prepared chart scale
// themselves, 0 = they keep manual limits. The settings file stores it; the
// "Range" and "Auto Scale" buttons change it. Starts at 1.
namespace ScaleSettings {

int autoScaleSetting();
// A value other than 0 or 1 becomes 1.
void setAutoScaleSetting(int value);

} // namespace ScaleSettings
