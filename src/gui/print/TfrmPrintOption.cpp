#include "gui/print/TfrmPrintOption.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int PictureSize = 72;

QPixmap picture(const std::function<void(QPainter &)> &draw, qreal dpr)
{
    QPixmap pm(QSize(PictureSize, PictureSize) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(QRectF(0.5, 0.5, PictureSize - 1, PictureSize - 1));
    draw(p);
    return pm;
}

// A small chart: axes and two curves.
void drawGraph(QPainter &p)
{
    p.drawLine(QPointF(10, 8), QPointF(10, 62));
    p.drawLine(QPointF(10, 62), QPointF(64, 62));
    QPainterPath humidity(QPointF(12, 40));
    humidity.cubicTo(QPointF(24, 10), QPointF(38, 10), QPointF(62, 30));
    QPainterPath temperature(QPointF(12, 54));
    temperature.cubicTo(QPointF(28, 58), QPointF(40, 30), QPointF(62, 46));
    p.setPen(QPen(Qt::red, 2));
    p.drawPath(humidity);
    p.setPen(QPen(Qt::blue, 2));
    p.drawPath(temperature);
}

// A page of text lines.
void drawText(QPainter &p)
{
    p.setPen(QPen(Qt::black, 2));
    for (int i = 0; i < 8; ++i) {
        const qreal y = 12 + i * 7;
        p.drawLine(QPointF(10, y), QPointF(i % 3 == 2 ? 44 : 62, y));
    }
}

} // namespace

TfrmPrintOption::TfrmPrintOption(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmPrintOption"));
    setWindowTitle(QStringLiteral("Print Option"));
    setModal(true);

    const qreal dpr = parent ? parent->devicePixelRatioF() : qApp->devicePixelRatio();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(picture(drawGraph, dpr));
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(picture(drawText, dpr));

    const auto button = [this](const char *name, const QString &caption, int result) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        return b;
    };
    Button1 = button("Button1", QStringLiteral("Print Graph"), PrintGraph);
    Button2 = button("Button2", QStringLiteral("Print Text"), PrintText);
    Button3 = button("Button3", QStringLiteral("Cancel"), Cancel);
    Button1->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(24);
    grid->addWidget(Image1, 0, 0, Qt::AlignHCenter);
    grid->addWidget(Image2, 0, 1, Qt::AlignHCenter);
    grid->addWidget(Button1, 1, 0);
    grid->addWidget(Button2, 1, 1);
    grid->addWidget(Button3, 1, 2, Qt::AlignBottom);
    setFixedSize(sizeHint());
}

void TfrmPrintOption::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
