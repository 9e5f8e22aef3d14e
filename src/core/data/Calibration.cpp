#include "core/data/Calibration.h"

#include "core/data/DateTimeText.h"

#include <QStringList>

#include <cmath>

CalibrationOffsets CalibrationOffsets::in(TemperatureUnit to) const
{
    CalibrationOffsets out = *this;
    out.unit = to;
    if (unit != to)
        out.temperature = to == TemperatureUnit::Fahrenheit ? temperature * 9.0 / 5.0 : temperature * 5.0 / 9.0;
    return out;
}

namespace Calibration {

bool isValidOffset(double offset)
{
    return std::isfinite(offset) && std::abs(offset) <= 100.0;
}

void apply(std::span<float> readings, double offset)
{
    if (offset == 0.0)
        return;
    for (float &v : readings)
        v = corrected(v, offset);
}

QString text(const CalibrationOffsets &offsets, const DateTimeText &texts)
{
    const auto signedText = [&](double v) { return (v > 0.0 ? QStringLiteral("+") : QString()) + texts.fixed(v, 2); };
    QStringList parts;
    if (offsets.temperature != 0.0)
        parts << QStringLiteral("temperature ") + signedText(offsets.temperature)
                + (offsets.unit == TemperatureUnit::Fahrenheit ? QStringLiteral(" F") : QStringLiteral(" C"));
    if (offsets.humidity != 0.0)
        parts << QStringLiteral("humidity ") + signedText(offsets.humidity) + QStringLiteral(" %RH");
    return parts.join(QStringLiteral(", "));
}

} // namespace Calibration
