#pragma once

#include <QIcon>

// Icons of a data view's tool bar, drawn by the program.
namespace GraphToolIcons {

QIcon statistic1();
QIcon statistic2();
QIcon normalCursor();
QIcon cross();
QIcon text();

} // namespace GraphToolIcons
