#pragma once

#include <QColor>

class QLineEdit;
class QWidget;

// A value box of the data view: it shows a text; the user can neither edit
// nor focus it. An invalid colour keeps the palette's text colour.
QLineEdit *valueBox(const char *name, QWidget *parent, int width, const QColor &colour = QColor());
