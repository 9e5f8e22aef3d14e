#include "gui/live/LcdImage.h"

#include <QPainter>
#include <QPaintEngine>

LcdImage::LcdImage(QWidget *parent, const QString &name, const QRect &geometry,
                   std::optional<LcdSymbol> symbol, int tag)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_tag(tag)
{
    setObjectName(name);
    setGeometry(geometry);
    if (m_symbol && LcdArtwork::symbolIsOpaque(*m_symbol))
        setAttribute(Qt::WA_OpaquePaintEvent);
}

void LcdImage::setGlyph(int index)
{
    const bool changed = index != m_glyph;
    m_glyph = index;
    if (changed)
        update();
    Q_EMIT pictureSet();
}

void LcdImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The real target's ratio: a window's backing store, or a high-DPI pixmap
    // the window is rendered into (the widget itself reports its screen's).
    const QPaintDevice *target = painter.paintEngine() ? painter.paintEngine()->paintDevice() : this;
    const qreal dpr = target ? target->devicePixelRatioF() : devicePixelRatioF();
    painter.drawPixmap(0, 0, m_symbol ? LcdArtwork::symbol(*m_symbol, dpr)
                                      : LcdArtwork::glyph(m_glyph, dpr));
}
