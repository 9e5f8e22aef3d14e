#pragma once

// Looks and geometry constants shared by the parts of ChartWidget. Internal to
// the chart library.

#include "core/chart/ChartState.h"

#include <QColor>
#include <QLocale>
#include <QPair>
#include <QPen>
#include <QString>

namespace ChartPaint {

constexpr int kScrollTotal = 10000;
constexpr int kHotSpotRadius = 6;
constexpr int kLineHotSpot = 3;

inline QColor argbColor(quint32 argb)
{
    return QColor::fromRgba(argb);
}

inline QPair<double, double> ordered(double a, double b)
{
    return a <= b ? qMakePair(a, b) : qMakePair(b, a);
}

inline Qt::PenStyle lineStyle(int lineType)
{
    switch (lineType) {
    case LineType::Dash:
    case LineType::MediumDash:
        return Qt::DashLine;
    case LineType::Dot:
    case LineType::MediumDot:
        return Qt::DotLine;
    case LineType::DashDot:
        return Qt::DashDotLine;
    case LineType::DashDotDot:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

inline int lineWidth(int lineType)
{
    if (lineType == LineType::ThickSolid)
        return 3;
    return lineType >= LineType::MediumSolid ? 2 : 1;
}

inline QPen gridPen(GridStyle style, const QColor &color)
{
    switch (style) {
    case GridStyle::sgThick:
        return QPen(color, 2, Qt::SolidLine);
    case GridStyle::sgDot:
        return QPen(color, 1, Qt::DotLine);
    case GridStyle::sgDash:
        return QPen(color, 1, Qt::DashLine);
    case GridStyle::sgOnePixel:
    case GridStyle::sgThinSolid:
        break;
    }
    return QPen(color, 1, Qt::SolidLine);
}

struct Palette
{
    QColor deskTop, deskBottom, plotArea, text, grid;
};

inline Palette paletteFor(QuickStyle style, bool mono)
{
    if (mono)
        return {Qt::white, Qt::white, Qt::white, Qt::black, QColor(160, 160, 160)};
    const int shade = int(style) / 4; // light, medium, dark
    if (shade == 0)
        return {QColor(255, 255, 255), QColor(214, 220, 232), Qt::white, Qt::black, QColor(170, 170, 170)};
    if (shade == 1)
        return {QColor(200, 204, 212), QColor(150, 156, 168), QColor(244, 244, 244), Qt::black, QColor(150, 150, 150)};
    return {QColor(64, 64, 72), QColor(24, 24, 28), QColor(40, 40, 44), QColor(235, 235, 235), QColor(110, 110, 110)};
}

// The PC's short date with a four-digit year, and a 24-hour time.
inline QString tickFormat()
{
    QString date = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QStringLiteral("hh:mm:ss\n") + date;
}

} // namespace ChartPaint
