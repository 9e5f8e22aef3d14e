#pragma once

#include <functional>

class QMdiArea;
class QWidget;

// The document window Print acts on: the active child when it is printable,
// else the first printable one met going from the back of the stacking order
// to the front; nullptr when none is.
QWidget *choosePrintWindow(const QMdiArea &area, const std::function<bool(QWidget *)> &printable);
