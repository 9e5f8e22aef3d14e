#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

// Every question the program puts to the user goes through one Prompter:
// message boxes, modal windows and file dialogs. The program hands the windows
// one that shows real dialogs (through AppContext); tests hand them a
// ScriptedPrompter (tests/support) that answers from a script and records what
// was asked.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // A message box with the application name as title and the given buttons
    // (QMessageBox::Ok for a notice). Returns the button chosen.
    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons) = 0;

    // Shows a modal window and returns its result code (QDialog::exec()).
    virtual int exec(QDialog &dialog) = 0;

    // Shows a prepared file dialog. Returns the chosen path, or empty on cancel.
    virtual QString chooseFile(QFileDialog &dialog) = 0;

    // Shorthands: a notice with OK, and a question with the given buttons.
    void notice(QWidget *parent, const QString &text);
    QMessageBox::StandardButton ask(QWidget *parent, const QString &text,
                                    QMessageBox::StandardButtons buttons);
};

// Shows real Qt dialogs.
class WidgetPrompter : public Prompter
{
public:
    QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon,
                                        const QString &text,
                                        QMessageBox::StandardButtons buttons) override;
    int exec(QDialog &dialog) override;
    QString chooseFile(QFileDialog &dialog) override;
};
