#include "gui/live/LcdArtwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmapCache>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <vector>

namespace {

// ---- Digit glyphs ---------------------------------------------------------

// Seven segments: a top, b upper right, c lower right, d bottom, e lower left,
// f upper left, g middle.
enum Segment : quint8 { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

constexpr std::array<quint8, LcdArtwork::kGlyphCount> kGlyphSegments{
    A | B | C | D | E | F,     // 0
    B | C,                     // 1
    A | B | D | E | G,         // 2
    A | B | C | D | G,         // 3
    B | C | F | G,             // 4
    A | C | D | F | G,         // 5
    A | C | D | E | F | G,     // 6
    A | B | C,                 // 7
    A | B | C | D | E | F | G, // 8
    A | B | C | D | F | G,     // 9
    G,                         // 10 minus
    0,                         // 11 blank
    0,                         // 12 blank
    D | E | F,                 // 13 "L"
    0,                         // 14 blank
    0,                         // 15 blank
};

// Outer edges of the figure inside the 34 x 62 glyph; the rightmost column
// stays blank because the digit windows are 33 pixels wide.
constexpr qreal kLeft = 3.0;
constexpr qreal kRight = 30.0;
constexpr qreal kTop = 1.0;
constexpr qreal kBottom = 61.0;
constexpr qreal kMiddle = (kTop + kBottom) / 2;
constexpr qreal kThick = 6.0;
constexpr qreal kGap = 0.9;
// The figures lean forwards like the meter's, by this many pixels per pixel of height.
constexpr qreal kSlant = 0.055;

QPointF slanted(qreal x, qreal y)
{
    return {x + kSlant * (kMiddle - y), y};
}

QPainterPath polygonPath(std::initializer_list<QPointF> points)
{
    QPolygonF polygon;
    for (const QPointF &p : points)
        polygon << slanted(p.x(), p.y());
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

QPainterPath segmentPath(Segment s)
{
    const qreal t = kThick, g = kGap, h = t / 2;
    const qreal l = kLeft, r = kRight, top = kTop, bot = kBottom, m = kMiddle;
    switch (s) {
    case A:
        return polygonPath({{l + g, top}, {r - g, top}, {r - t - g, top + t}, {l + t + g, top + t}});
    case D:
        return polygonPath({{l + t + g, bot - t}, {r - t - g, bot - t}, {r - g, bot}, {l + g, bot}});
    case G:
        return polygonPath({{l + h + g, m}, {l + t + g, m - h}, {r - t - g, m - h}, {r - h - g, m},
                            {r - t - g, m + h}, {l + t + g, m + h}});
    case F:
        return polygonPath({{l, top + g}, {l + t, top + t + g}, {l + t, m - h - g}, {l + h, m - g},
                            {l, m - h - g}});
    case E:
        return polygonPath({{l, m + h + g}, {l + h, m + g}, {l + t, m + h + g}, {l + t, bot - t - g},
                            {l, bot - g}});
    case B:
        return polygonPath({{r, top + g}, {r, m - h - g}, {r - h, m - g}, {r - t, m - h - g},
                            {r - t, top + t + g}});
    case C:
        return polygonPath({{r, m + h + g}, {r, bot - g}, {r - t, bot - t - g}, {r - t, m + h + g},
                            {r - h, m + g}});
    }
    return {};
}

// ---- Legends --------------------------------------------------------------

// A small stroke font for the printed legends, drawn on a grid 4 units wide
// and 6 units high; strokes are polylines.
struct StrokeGlyph
{
    QChar ch;
    qreal width;
    std::vector<std::vector<QPointF>> strokes;
};

const std::vector<StrokeGlyph> &strokeFont()
{
    static const std::vector<StrokeGlyph> font{
        {u'M', 4.4, {{{0, 6}, {0, 0}, {2.2, 3.6}, {4.4, 0}, {4.4, 6}}}},
        {u'E', 3.6, {{{3.6, 0}, {0, 0}, {0, 6}, {3.6, 6}}, {{0, 3}, {3.0, 3}}}},
        {u'R', 4, {{{0, 6}, {0, 0}, {3, 0}, {4, 0.9}, {4, 2.1}, {3, 3}, {0, 3}}, {{2.2, 3}, {4, 6}}}},
        {u'S', 4, {{{4, 0.9}, {3, 0}, {1, 0}, {0, 0.9}, {0, 2.1}, {1, 3}, {3, 3}, {4, 3.9}, {4, 5.1},
                    {3, 6}, {1, 6}, {0, 5.1}}}},
        {u'2', 4, {{{0, 0.9}, {1, 0}, {3, 0}, {4, 0.9}, {4, 2.2}, {0, 6}, {4, 6}}}},
        {u'3', 4, {{{0, 0.9}, {1, 0}, {3, 0}, {4, 0.9}, {4, 2.1}, {3, 3}, {1.6, 3}},
                   {{3, 3}, {4, 3.9}, {4, 5.1}, {3, 6}, {1, 6}, {0, 5.1}}}},
        {u'-', 2.6, {{{0, 3.2}, {2.6, 3.2}}}},
        {u'I', 0, {{{0, 0}, {0, 6}}}},
        {u'N', 4, {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}}},
        {u'T', 4, {{{0, 0}, {4, 0}}, {{2, 0}, {2, 6}}}},
        {u'V', 4, {{{0, 0}, {2, 6}, {4, 0}}}},
        {u'C', 4, {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}}}},
        {u'F', 3.6, {{{3.6, 0}, {0, 0}, {0, 6}}, {{0, 2.9}, {3.0, 2.9}}}},
        {u'H', 4, {{{0, 0}, {0, 6}}, {{4, 0}, {4, 6}}, {{0, 3}, {4, 3}}}},
    };
    return font;
}

const StrokeGlyph *strokeGlyph(QChar ch)
{
    for (const StrokeGlyph &g : strokeFont()) {
        if (g.ch == ch)
            return &g;
    }
    return nullptr;
}

QPainterPath strokeOf(const QPainterPath &centreLine, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::SquareCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(1.6);
    return stroker.createStroke(centreLine).simplified();
}

// The legend text as a filled shape, as large as fits in box (keeping the
// font's proportions), centred, with strokes of the given width.
QPainterPath legend(const QString &text, const QRectF &box, qreal strokeWidth)
{
    constexpr qreal kSpacing = 1.6;
    constexpr qreal kHeight = 6.0;
    qreal width = 0;
    for (QChar ch : text) {
        if (const StrokeGlyph *g = strokeGlyph(ch))
            width += g->width + kSpacing;
    }
    width -= kSpacing;
    const QRectF inner = box.adjusted(strokeWidth / 2, strokeWidth / 2, -strokeWidth / 2,
                                      -strokeWidth / 2);
    const qreal scale = std::min(inner.width() / width, inner.height() / kHeight);
    const QPointF origin(inner.center().x() - width * scale / 2,
                         inner.center().y() - kHeight * scale / 2);

    QPainterPath centreLine;
    qreal x = 0;
    for (QChar ch : text) {
        const StrokeGlyph *g = strokeGlyph(ch);
        if (!g)
            continue;
        for (const auto &stroke : g->strokes) {
            QPolygonF line;
            for (const QPointF &p : stroke)
                line << origin + QPointF((x + p.x()) * scale, p.y() * scale);
            centreLine.addPolygon(line);
        }
        x += g->width + kSpacing;
    }
    return strokeOf(centreLine, strokeWidth);
}

QPainterPath ring(QPointF centre, qreal radius, qreal width)
{
    QPainterPath path;
    path.addEllipse(centre, radius + width / 2, radius + width / 2);
    QPainterPath hole;
    hole.addEllipse(centre, radius - width / 2, radius - width / 2);
    return path.subtracted(hole);
}

QPainterPath rect(qreal x, qreal y, qreal w, qreal h, qreal radius = 0.6)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

QPainterPath symbolShape(LcdSymbol symbol)
{
    switch (symbol) {
    case LcdSymbol::DecimalPoint:
        return rect(1.5, 6.0, 5.5, 5.5, 1.0);
    case LcdSymbol::Minus: {
        // The middle segment of a figure, without the slant.
        const qreal h = kThick / 2, y = 4.5;
        QPainterPath path;
        path.addPolygon(QPolygonF{{{0.5, y}, {0.5 + h, y - h}, {15.5 - h, y - h}, {15.5, y},
                                   {15.5 - h, y + h}, {0.5 + h, y + h}}});
        path.closeSubpath();
        return path;
    }
    case LcdSymbol::Celsius:
        return ring({3.2, 3.4}, 1.9, 1.3).united(legend(QStringLiteral("C"), {6.5, 1, 10, 13}, 2.1));
    case LcdSymbol::Fahrenheit:
        return ring({3.2, 3.9}, 1.9, 1.3).united(legend(QStringLiteral("F"), {6.5, 1.5, 9, 13}, 2.1));
    case LcdSymbol::Humidity: {
        QPainterPath percent = ring({6.0, 4.3}, 2.8, 1.6).united(ring({16.0, 11.7}, 2.8, 1.6));
        QPainterPath slash;
        slash.moveTo(18.2, 1.0);
        slash.lineTo(3.8, 15.0);
        percent = percent.united(strokeOf(slash, 1.7));
        return percent.united(legend(QStringLiteral("RH"), {0.5, 16.2, 21, 10.8}, 1.8));
    }
    case LcdSymbol::Memory:
        return legend(QStringLiteral("MEM"), {0, 2, 15, 8}, 1.15);
    case LcdSymbol::MemoryBar:
        return rect(0.5, 0.5, 15, 6);
    case LcdSymbol::Rs232:
        return legend(QStringLiteral("RS-232"), {1, 2, 53, 12}, 1.8);
    case LcdSymbol::Interval:
        return legend(QStringLiteral("INTV"), {1, 2, 36, 13}, 1.9);
    case LcdSymbol::Recording:
        return legend(QStringLiteral("REC"), {1, 1.5, 25, 12}, 1.8);
    case LcdSymbol::BatteryOutline: {
        QPainterPath body = rect(6.0, 1.0, 48.5, 15.0, 1.5);
        body = body.subtracted(rect(7.7, 2.7, 45.1, 11.6, 0.6));
        return body.united(rect(1.5, 5.0, 4.5, 7.0, 0.8));
    }
    case LcdSymbol::BatteryBar:
        return rect(0.5, 0.5, 6, 8);
    }
    return {};
}

// A reflective LCD throws a faint shadow of every dark segment onto its
// backplane, slightly down and to the right.
void paintShape(QPainter &painter, const QPainterPath &shape)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor shadow = LcdArtwork::segmentColor();
    shadow.setAlpha(38);
    painter.setBrush(shadow);
    painter.drawPath(shape.translated(0.8, 1.0));
    painter.setBrush(LcdArtwork::segmentColor());
    painter.drawPath(shape);
}

QPixmap render(QSize size, qreal dpr, bool opaque, const std::function<void(QPainter &)> &paint)
{
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(opaque ? LcdArtwork::groundColor() : Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter);
    return pixmap;
}

QString cacheKey(const QString &name, qreal dpr)
{
    return QStringLiteral("kv518-lcd/%1@%2").arg(name).arg(dpr);
}

} // namespace

QColor LcdArtwork::groundColor()
{
    return QColor(0xE4, 0xE4, 0xE4);
}

QColor LcdArtwork::segmentColor()
{
    return QColor(0x24, 0x27, 0x30);
}

QSize LcdArtwork::symbolSize(LcdSymbol symbol)
{
    switch (symbol) {
    case LcdSymbol::DecimalPoint:
        return {10, 13};
    case LcdSymbol::Minus:
        return {16, 9};
    case LcdSymbol::Celsius:
        return {17, 15};
    case LcdSymbol::Fahrenheit:
        return {16, 16};
    case LcdSymbol::Humidity:
        return {22, 27};
    case LcdSymbol::Memory:
        return {15, 12};
    case LcdSymbol::MemoryBar:
        return {16, 7};
    case LcdSymbol::Rs232:
        return {55, 16};
    case LcdSymbol::Interval:
        return {38, 17};
    case LcdSymbol::Recording:
        return {27, 15};
    case LcdSymbol::BatteryOutline:
        return {55, 17};
    case LcdSymbol::BatteryBar:
        return {7, 9};
    }
    return {};
}

bool LcdArtwork::symbolIsOpaque(LcdSymbol symbol)
{
    return symbol == LcdSymbol::Memory || symbol == LcdSymbol::MemoryBar
           || symbol == LcdSymbol::BatteryBar;
}

void LcdArtwork::paintGlyph(QPainter &painter, int index)
{
    const quint8 segments = index >= 0 && index < kGlyphCount ? kGlyphSegments[index] : 0;
    QPainterPath shape;
    for (quint8 bit = A; bit <= G; bit <<= 1) {
        if (segments & bit)
            shape.addPath(segmentPath(static_cast<Segment>(bit)));
    }
    if (!shape.isEmpty())
        paintShape(painter, shape);
}

void LcdArtwork::paintSymbol(QPainter &painter, LcdSymbol symbol)
{
    if (symbolIsOpaque(symbol))
        painter.fillRect(QRect(QPoint(0, 0), symbolSize(symbol)), groundColor());
    paintShape(painter, symbolShape(symbol));
}

QPixmap LcdArtwork::glyph(int index, qreal devicePixelRatio)
{
    if (index < 0 || index >= kGlyphCount)
        index = 11;
    const QString key = cacheKey(QStringLiteral("LCD%1").arg(index), devicePixelRatio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = render(kGlyphSize, devicePixelRatio, false,
                        [index](QPainter &p) { paintGlyph(p, index); });
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

QPixmap LcdArtwork::symbol(LcdSymbol symbol, qreal devicePixelRatio)
{
    const QString key = cacheKey(QStringLiteral("symbol%1").arg(static_cast<int>(symbol)),
                                 devicePixelRatio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = render(symbolSize(symbol), devicePixelRatio, symbolIsOpaque(symbol),
                        [symbol](QPainter &p) { paintSymbol(p, symbol); });
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}
