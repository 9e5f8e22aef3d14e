#pragma once

#include "gui/common/Prompter.h"

#include <QApplication>

// The program's application object. Its event dispatch is the last barrier for
// C++ exceptions: one that escapes a handler is shown as a critical message
// with its text and the program goes on.
class Kv518Application : public QApplication
{
    Q_OBJECT
public:
    Kv518Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The prompter that shows real dialogs, for the program's AppContext.
    Prompter &prompter() { return m_widgetPrompter; }
    // Tests: where an escaped exception is reported instead (nullptr: the real one).
    void setPrompter(Prompter *prompter) { m_prompter = prompter ? prompter : &m_widgetPrompter; }

    // Name, version and default font of the program; the tests and screenshot
    // programs call it too, so that they see the program's look.
    static void applyIdentity();

private:
    WidgetPrompter m_widgetPrompter;
    Prompter *m_prompter = &m_widgetPrompter;
};
