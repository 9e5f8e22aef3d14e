#include "gui/common/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>

void Prompter::notice(QWidget *parent, const QString &text)
{
    message(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

QMessageBox::StandardButton Prompter::ask(QWidget *parent, const QString &text,
                                          QMessageBox::StandardButtons buttons)
{
    return message(parent, QMessageBox::Question, text, buttons);
}

QMessageBox::StandardButton WidgetPrompter::message(QWidget *parent, QMessageBox::Icon icon,
                                                    const QString &text,
                                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int WidgetPrompter::exec(QDialog &dialog)
{
    return dialog.exec();
}

QString WidgetPrompter::chooseFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
