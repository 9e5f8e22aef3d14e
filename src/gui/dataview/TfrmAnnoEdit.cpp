#include "gui/common/DialogParts.h"
#include "gui/dataview/TfrmAnnoEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAnnoEdit::TfrmAnnoEdit(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAnnoEdit"));
    auto *layout = new QVBoxLayout(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(240);
    layout->addWidget(Edit1);
    DialogParts::addOkCancel(this, layout, &BitBtn1, &BitBtn2);
}

QString TfrmAnnoEdit::text() const
{
    return Edit1->text();
}
