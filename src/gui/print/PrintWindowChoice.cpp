#include "gui/print/PrintWindowChoice.h"

#include <QMdiArea>
#include <QMdiSubWindow>

QWidget *choosePrintWindow(const QMdiArea &area, const std::function<bool(QWidget *)> &printable)
{
    // currentSubWindow() still answers while the program is not the active one.
    if (QMdiSubWindow *current = area.currentSubWindow()) {
        if (current->widget() && printable(current->widget()))
            return current->widget();
    }
    const QList<QMdiSubWindow *> windows = area.subWindowList(QMdiArea::StackingOrder);
    for (QMdiSubWindow *w : windows) {
        if (w->widget() && printable(w->widget()))
            return w->widget();
    }
    return nullptr;
}
