#include "gui/setup/UnitPictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

namespace UnitPictures {

namespace {

constexpr int Width = 44;
constexpr int Height = 28;

QPixmap picture(const QString &sign)
{
    const qreal dpr = qMax<qreal>(1.0, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
    QPixmap pixmap(QSize(Width, Height) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // A small thermometer: a tube with a red bulb and column.
    const QColor red(200, 30, 30);
    p.setPen(QPen(Qt::darkGray, 1.2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(5.5, 3.5, 5, 17), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawRect(QRectF(7, 10, 2, 11));
    p.setPen(QPen(Qt::darkGray, 1.2));
    p.drawEllipse(QPointF(8, 22), 4, 4);

    // The unit sign.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(17);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 0, 160));
    p.drawText(QRectF(14, 0, Width - 14, Height), Qt::AlignCenter, sign);
    return pixmap;
}

} // namespace

QPixmap celsius()
{
    return picture(QStringLiteral("\u00B0C"));
}

QPixmap fahrenheit()
{
    return picture(QStringLiteral("\u00B0F"));
}

} // namespace UnitPictures
