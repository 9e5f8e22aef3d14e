#include "gui/dataview/ValueBox.h"

#include <QLineEdit>

QLineEdit *valueBox(const char *name, QWidget *parent, int width, const QColor &colour)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFixedWidth(width);
    if (colour.isValid()) {
        QPalette p = box->palette();
        p.setColor(QPalette::Text, colour);
        box->setPalette(p);
    }
    return box;
}
