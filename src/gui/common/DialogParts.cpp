#include "gui/common/DialogParts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace DialogParts {

QIcon drawnIcon(int canvas, std::initializer_list<int> sizes,
                const std::function<void(QPainter &)> &draw)
{
    QIcon icon;
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(qreal(size) / canvas, qreal(size) / canvas);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void addOkCancel(QDialog *dialog, QBoxLayout *layout, QPushButton **ok, QPushButton **cancel)
{
    auto *buttons = new QHBoxLayout;
    *ok = new QPushButton(QDialog::tr("OK"), dialog);
    (*ok)->setObjectName(QStringLiteral("BitBtn1"));
    (*ok)->setDefault(true);
    *cancel = new QPushButton(QDialog::tr("Cancel"), dialog);
    (*cancel)->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addStretch(1);
    buttons->addWidget(*ok);
    buttons->addWidget(*cancel);
    layout->addLayout(buttons);
    QObject::connect(*ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

} // namespace DialogParts
