#pragma once

#include <QIcon>

// Icons of the tool bar and the program. The desktop's icon theme supplies them
// when it has every one of them (so the set stays alike); otherwise the
// program draws its own, so a button is never blank.
namespace ToolIcons {

QIcon open();
QIcon save();
QIcon print();
QIcon download();
QIcon setup();
QIcon help();
// The archive of every download.
QIcon archive();
// The program's own icon (a meter with its LCD), always drawn.
QIcon program();

} // namespace ToolIcons
