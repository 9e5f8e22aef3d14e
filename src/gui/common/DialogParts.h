#pragma once

#include <QIcon>

#include <functional>

class QBoxLayout;
class QDialog;
class QPainter;
class QPushButton;

// Small pieces several windows share.
namespace DialogParts {

// An icon drawn on a canvas x canvas square, rendered at each of the given
// pixel sizes so that every size stays sharp.
QIcon drawnIcon(int canvas, std::initializer_list<int> sizes,
                const std::function<void(QPainter &)> &draw);

// The OK (BitBtn1, default) and Cancel (BitBtn2) buttons at the right of a
// dialog, accepting and rejecting it.
void addOkCancel(QDialog *dialog, QBoxLayout *layout, QPushButton **ok, QPushButton **cancel);

} // namespace DialogParts
