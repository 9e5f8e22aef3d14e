#include "gui/shell/ToolIcons.h"

#include "gui/common/DialogParts.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter &)>;

// Drawn on a 32 x 32 canvas.
QIcon drawn(const Drawing &draw)
{
    return DialogParts::drawnIcon(32, {16, 24, 32, 48, 64}, draw);
}

const QColor outline(40, 40, 40);

void drawFolder(QPainter &p)
{
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(232, 184, 60));
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(14, 11);
    back.lineTo(27, 11);
    back.lineTo(27, 26);
    back.lineTo(3, 26);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 214, 110));
    QPainterPath front;
    front.moveTo(3, 26);
    front.lineTo(8, 15);
    front.lineTo(30, 15);
    front.lineTo(27, 26);
    front.closeSubpath();
    p.drawPath(front);
}

void drawFloppy(QPainter &p)
{
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    p.setBrush(QColor(50, 90, 170));
    QPainterPath body;
    body.moveTo(4, 4);
    body.lineTo(25, 4);
    body.lineTo(28, 7);
    body.lineTo(28, 28);
    body.lineTo(4, 28);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(50, 90, 170));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(18, 5.5, 3, 6));
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 17, 16, 11));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.drawLine(QPointF(10, 21), QPointF(22, 21));
    p.drawLine(QPointF(10, 24), QPointF(22, 24));
}

void drawPrinter(QPainter &p)
{
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(170, 170, 175));
    p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
    p.setBrush(QColor(90, 200, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(23, 15, 3, 3));
    p.setPen(QPen(outline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 19, 16, 10));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(10, 23), QPointF(22, 23));
    p.drawLine(QPointF(10, 26), QPointF(20, 26));
}

void drawMeter(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(outline, 1.2));
    p.setBrush(QColor(235, 235, 225));
    p.drawRoundedRect(r, 3, 3);
    const QRectF lcd(r.left() + 2.5, r.top() + 3, r.width() - 5, r.height() * 0.42);
    p.setBrush(QColor(170, 200, 150));
    p.drawRect(lcd);
    p.setPen(QPen(QColor(30, 50, 30), 1.4));
    const qreal y = lcd.center().y();
    for (int i = 0; i < 3; ++i) {
        const qreal x = lcd.left() + 2 + i * (lcd.width() - 4) / 3.0;
        p.drawLine(QPointF(x + 0.5, y), QPointF(x + (lcd.width() - 4) / 3.0 - 1, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 60, 50));
    p.drawEllipse(QRectF(r.center().x() - 2.5, r.bottom() - r.height() * 0.35, 5, 5));
}

void drawDownload(QPainter &p)
{
    drawMeter(p, QRectF(2, 3, 15, 25));
    p.setPen(QPen(QColor(20, 110, 30), 1.2));
    p.setBrush(QColor(60, 180, 70));
    QPainterPath arrow;
    arrow.moveTo(22, 4);
    arrow.lineTo(27, 4);
    arrow.lineTo(27, 17);
    arrow.lineTo(31, 17);
    arrow.lineTo(24.5, 26);
    arrow.lineTo(18, 17);
    arrow.lineTo(22, 17);
    arrow.closeSubpath();
    p.drawPath(arrow);
    p.setPen(QPen(outline, 1.6));
    p.drawLine(QPointF(18, 29), QPointF(31, 29));
}

void drawGear(QPainter &p)
{
    const QPointF c(16, 16);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const double r = (i % 4 < 2) ? 14.0 : 10.5;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 4.5, 4.5);
    p.setPen(QPen(QColor(50, 60, 80), 1.2));
    p.setBrush(QColor(120, 135, 160));
    p.drawPath(gear.subtracted(hole));
}

void drawHelp(QPainter &p)
{
    p.setPen(QPen(QColor(20, 60, 140), 1.2));
    p.setBrush(QColor(50, 110, 210));
    p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    QFont font(QStringLiteral("Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(21);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2.5, 2.5, 27, 27), Qt::AlignCenter, QStringLiteral("?"));
}

// A filing cabinet: two drawers, each with its handle and label.
void drawCabinet(QPainter &p)
{
    p.setPen(QPen(QColor(70, 55, 30), 1.2));
    p.setBrush(QColor(190, 150, 90));
    p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
    for (const qreal top : {5.5, 17.0}) {
        p.setPen(QPen(QColor(70, 55, 30), 1.2));
        p.setBrush(QColor(222, 190, 130));
        p.drawRect(QRectF(7.5, top, 17, 9.5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(12.5, top + 1.5, 7, 3));
        p.setPen(QPen(QColor(60, 60, 60), 1.6));
        p.drawLine(QPointF(13.5, top + 7), QPointF(18.5, top + 7));
    }
}

void drawProgram(QPainter &p)
{
    drawMeter(p, QRectF(6, 2, 20, 28));
}

struct ThemedIcon
{
    const char *name;
    Drawing draw;
};

const ThemedIcon &entry(int i)
{
    static const ThemedIcon table[] = {
        {"document-open", drawFolder},      {"document-save", drawFloppy},
        {"document-print", drawPrinter},    {"document-import", drawDownload},
        {"preferences-system", drawGear},   {"help-contents", drawHelp},
        {"drive-harddisk", drawCabinet},
    };
    return table[i];
}

constexpr int IconCount = 7;

bool themeHasAll()
{
    static const bool all = [] {
        for (int i = 0; i < IconCount; ++i) {
            if (!QIcon::hasThemeIcon(QString::fromLatin1(entry(i).name)))
                return false;
        }
        return true;
    }();
    return all;
}

QIcon icon(int i)
{
    if (themeHasAll())
        return QIcon::fromTheme(QString::fromLatin1(entry(i).name));
    return drawn(entry(i).draw);
}

} // namespace

namespace ToolIcons {

QIcon open() { return icon(0); }
QIcon save() { return icon(1); }
QIcon print() { return icon(2); }
QIcon download() { return icon(3); }
QIcon setup() { return icon(4); }
QIcon help() { return icon(5); }
QIcon archive() { return icon(6); }
QIcon program() { return drawn(drawProgram); }

} // namespace ToolIcons
