#pragma once

#include <QPixmap>
#include <QString>

// What every screenshot program needs: the output folder (its first
// argument), a pause that lets windows paint, and saving a picture there.
namespace Shots {

void setOutputFolder(const QString &folder);
// Takes the output folder from the first argument; prints the usage and
// returns false when it is missing.
bool takeOutputFolder(int argc, char *argv[]);
// Lets the event loop run for ms so windows are laid out and painted.
void settle(int ms = 300);
// Saves the picture as name in the output folder; complains on stderr when it cannot.
void save(const QPixmap &pixmap, const QString &name);

} // namespace Shots
