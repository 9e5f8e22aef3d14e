#pragma once

#include <QtGlobal>

// Settings of the chart component. The numeric values are part of the stored
// chart state (graph files and the template), so never renumber them; add new
// values at the end and raise the matching *Last constant.

enum class ScaleControl : qint32 { sgAutoScale, sgManualMin, sgManualMax, sgManualMinAndMax };
enum class PlottingMethod : qint32 { sgLine, sgSpline, sgPoint, sgPointsPlusLine };
enum class DateTimeMode : qint32 { sgNoDateTime, sgVBDateTime };
enum class ZoomMode : qint32 { sgNoZooming, sgHorzZooming, sgVertZooming, sgHorzPlusVertZooming };
enum class MultiAxesSeparator : qint32 { sgNoSeparator, sgThinLine, sgMediumLine, sgThickLine };
enum class BorderType : qint32 { sgNoBorder, sgSingleLine, sgDropShadow, sgInset };
enum class DeskGradientStyle : qint32 { sgNoGradient, sgVerticalGradient, sgHorizontalGradient };
enum class QuickStyle : qint32 {
    sgLightInset, sgLightShadow, sgLightLine, sgLightNoBorder,
    sgMediumInset, sgMediumShadow, sgMediumLine, sgMediumNoBorder,
    sgDarkInset, sgDarkShadow, sgDarkLine, sgDarkNoBorder
};
enum class GridStyle : qint32 { sgThinSolid, sgThick, sgDot, sgDash, sgOnePixel };
enum class GridLines : qint32 { sgGridBoth, sgGridY, sgGridX, sgNoGrid };
enum class RenderEngine : qint32 { sgGdi, sgGdiPlus, sgDirect2D };
enum class DataLabels : qint32 { sgNoDataLabels, sgDataValues, sgPointLabels };
enum class PrintStyle : qint32 { sgPrintCurrentStyle, sgPrintDefaultMono, sgPrintDefaultColor };
enum class ViewingStyle : qint32 { sgColor, sgMonochrome };
enum class FontSize : qint32 { sgSmall, sgMedium, sgLarge };
// Mouse cursor over the plot: 1 arrow, 2 I-beam, or the program's "CROSS" cursor.
enum class ArrowCursor : qint32 { sgArrow = 1, sgIBeam = 2, sgCrossResource = 3 };

// Largest valid value of each enumeration, for validating stored states.
template <typename E> constexpr E enumLast();
template <> constexpr ScaleControl enumLast() { return ScaleControl::sgManualMinAndMax; }
template <> constexpr PlottingMethod enumLast() { return PlottingMethod::sgPointsPlusLine; }
template <> constexpr DateTimeMode enumLast() { return DateTimeMode::sgVBDateTime; }
template <> constexpr ZoomMode enumLast() { return ZoomMode::sgHorzPlusVertZooming; }
template <> constexpr MultiAxesSeparator enumLast() { return MultiAxesSeparator::sgThickLine; }
template <> constexpr BorderType enumLast() { return BorderType::sgInset; }
template <> constexpr DeskGradientStyle enumLast() { return DeskGradientStyle::sgHorizontalGradient; }
template <> constexpr QuickStyle enumLast() { return QuickStyle::sgDarkNoBorder; }
template <> constexpr GridStyle enumLast() { return GridStyle::sgOnePixel; }
template <> constexpr GridLines enumLast() { return GridLines::sgNoGrid; }
template <> constexpr RenderEngine enumLast() { return RenderEngine::sgDirect2D; }
template <> constexpr DataLabels enumLast() { return DataLabels::sgPointLabels; }
template <> constexpr PrintStyle enumLast() { return PrintStyle::sgPrintDefaultColor; }
template <> constexpr ViewingStyle enumLast() { return ViewingStyle::sgMonochrome; }
template <> constexpr FontSize enumLast() { return FontSize::sgLarge; }
template <> constexpr ArrowCursor enumLast() { return ArrowCursor::sgCrossResource; }

template <typename E> constexpr E enumFirst() { return E(0); }
template <> constexpr ArrowCursor enumFirst() { return ArrowCursor::sgArrow; }

// Subset line types. 9 is the 2 px solid line the program uses for its data.
namespace LineType {
constexpr int ThinSolid = 0;
constexpr int Dash = 1;
constexpr int Dot = 2;
constexpr int DashDot = 3;
constexpr int DashDotDot = 4;
constexpr int MediumSolid = 9;
constexpr int MediumDash = 10;
constexpr int MediumDot = 11;
constexpr int ThickSolid = 12;
constexpr int Last = ThickSolid;
} // namespace LineType

// Graph annotation types: 0 text only, 2 a cross mark centred on the point.
namespace AnnotationType {
constexpr int Text = 0;
constexpr int Cross = 2;
constexpr int Last = 2;
} // namespace AnnotationType

// Vertical line annotation types: 0 solid 1 px, 5 dashed 1 px; the text stands
// at the top of the plot.
namespace VertLineType {
constexpr int Solid = 0;
constexpr int Dashed = 5;
constexpr int Last = 5;
} // namespace VertLineType

// The program's colours are ARGB values (alpha in the top byte).
constexpr quint32 PEargb(int a, int r, int g, int b)
{
    return (quint32(a & 0xff) << 24) | (quint32(r & 0xff) << 16) | (quint32(g & 0xff) << 8)
        | quint32(b & 0xff);
}
