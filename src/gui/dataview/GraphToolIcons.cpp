#include "gui/dataview/GraphToolIcons.h"

#include "gui/common/DialogParts.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

// Drawn on a 16 x 16 canvas.
QIcon drawn(const std::function<void(QPainter &)> &draw)
{
    return DialogParts::drawnIcon(16, {16, 32}, draw);
}

// A small table: the strip (one row of boxes) or the statistics (a grid).
void drawTable(QPainter &p, int rows)
{
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setBrush(QColor(70, 110, 190));
    p.drawRect(QRectF(1.5, 2.5, 13, 3));
    const double h = 8.0 / rows;
    for (int r = 1; r < rows; ++r)
        p.drawLine(QPointF(1.5, 5.5 + r * h), QPointF(14.5, 5.5 + r * h));
    p.drawLine(QPointF(6.5, 5.5), QPointF(6.5, 13.5));
}

} // namespace

namespace GraphToolIcons {

QIcon statistic1()
{
    return drawn([](QPainter &p) { drawTable(p, 1); });
}

QIcon statistic2()
{
    return drawn([](QPainter &p) { drawTable(p, 3); });
}

QIcon normalCursor()
{
    return drawn([](QPainter &p) {
        QPainterPath arrow;
        arrow.moveTo(4, 1.5);
        arrow.lineTo(4, 13);
        arrow.lineTo(6.8, 10.4);
        arrow.lineTo(9, 15);
        arrow.lineTo(10.8, 14.2);
        arrow.lineTo(8.7, 9.8);
        arrow.lineTo(12.3, 9.6);
        arrow.closeSubpath();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    });
}

QIcon cross()
{
    return drawn([](QPainter &p) {
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
    });
}

QIcon text()
{
    return drawn([](QPainter &p) {
        QFont f(QStringLiteral("Times New Roman"));
        f.setStyleHint(QFont::Serif);
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
    });
}

} // namespace GraphToolIcons
