#pragma once

#include "gui/common/Prompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QStringList>

#include <deque>
#include <functional>

// A Prompter for tests: answers each question from a queue and records every
// text asked. A question with no scripted answer fails the running test (the
// answer is then Cancel / rejected / no file), so unexpected dialogs are caught.
class ScriptedPrompter : public Prompter
{
public:

    // Answers for the next message boxes, in order.
    void answerMessage(QMessageBox::StandardButton b) { m_messages.push_back(b); }
    // Handlers for the next modal windows, in order: may fill the dialog's
    // fields; return the result code exec() would return.
    void answerDialog(std::function<int(QDialog &)> f) { m_dialogs.push_back(std::move(f)); }
    // Paths for the next file dialogs, in order (empty = cancel); filter, when
    // not -1, is the index of the name filter chosen in the dialog.
    void answerFile(const QString &path, int filter = -1) { m_files.push_back({path, filter}); }

    // What was asked: message texts, dialog window titles (or class names) and
    // file dialog name filters, in order.
    QStringList messages;
    QStringList dialogs;
    QStringList fileDialogs;
    // Buttons offered with each message box.
    QList<QMessageBox::StandardButtons> messageButtons;
    // Set when a question came with no scripted answer.
    QStringList unanswered;

    bool allAnswered() const { return m_messages.empty() && m_dialogs.empty() && m_files.empty(); }

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &text,
                                        QMessageBox::StandardButtons buttons) override;
    int exec(QDialog &dialog) override;
    QString chooseFile(QFileDialog &dialog) override;

private:
    std::deque<QMessageBox::StandardButton> m_messages;
    std::deque<std::function<int(QDialog &)>> m_dialogs;
    struct FileAnswer
    {
        QString path;
        int filter = -1;
    };
    std::deque<FileAnswer> m_files;
};
