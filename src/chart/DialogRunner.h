#pragma once

#include <QDialog>

#include <functional>

// How the chart shows its modal dialogs (customization, colour choice, print).
// The program hands in its prompt interface so that tests can answer them;
// without one a dialog runs with QDialog::exec().
using DialogRunner = std::function<int(QDialog &)>;

inline int runDialog(const DialogRunner &runner, QDialog &dialog)
{
    return runner ? runner(dialog) : dialog.exec();
}
