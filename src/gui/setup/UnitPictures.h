#pragma once

#include <QPixmap>

// The pictures that label the unit radio buttons: a thermometer and the unit
// sign, drawn at run time.
namespace UnitPictures {

QPixmap celsius();
QPixmap fahrenheit();

} // namespace UnitPictures
