#include "live/LcdImage.h"

#include <QPainter>

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
    const qreal dpr = devicePixelRatioF();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_symbol ? LcdArtwork::symbol(*m_symbol, dpr)
                                      : LcdArtwork::glyph(m_glyph, dpr));
}
