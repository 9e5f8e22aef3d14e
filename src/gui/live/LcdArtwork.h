#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPainter;

// The symbols of the mirror other than the digits.
enum class LcdSymbol {
    DecimalPoint,
    Minus,
    Celsius,
    Fahrenheit,
    Humidity,
    Memory,
    MemoryBar,
    Rs232,
    Interval,
    Recording,
    BatteryOutline,
    BatteryBar,
};

// The pictures of the LCD mirror: dark segments on the light-grey ground of a
// reflective liquid-crystal display. Everything is drawn as vector shapes, so
// the pixmaps are rendered for the screen's device pixel ratio and stay crisp
// on high-DPI screens. Glyph index n is the picture "LCD<n>".
class LcdArtwork
{
public:
    static constexpr int kGlyphCount = 16;
    static constexpr QSize kGlyphSize{34, 62};

    static QColor groundColor();
    static QColor segmentColor();

    static QSize symbolSize(LcdSymbol symbol);
    // Opaque symbols fill their whole rectangle with the ground colour.
    static bool symbolIsOpaque(LcdSymbol symbol);

    // Paint in logical pixels, the picture's top-left corner at (0, 0).
    static void paintGlyph(QPainter &painter, int index);
    static void paintSymbol(QPainter &painter, LcdSymbol symbol);

    // Cached renderings at the given device pixel ratio; an index outside
    // 0..15 gives the blank glyph.
    static QPixmap glyph(int index, qreal devicePixelRatio = 1.0);
    static QPixmap symbol(LcdSymbol symbol, qreal devicePixelRatio = 1.0);
};
