#pragma once

#include <QString>

// Where the program keeps its files.
namespace AppPaths {

// The program data folder holding "ini/", "template/" and, when the user data
// folder is empty, "temp/": the executable's folder when a subfolder can be
// created and written there, otherwise the per-user application data folder.
// Resolved once; ends without a separator.
QString programFolder();

// The folder of the executable (read-only installs still ship the help page and
// a template there).
QString executableFolder();

// The user's documents folder + "/KV518/" (created when missing; the documents
// folder itself, with its trailing "/", when that fails), or empty when the
// system has no documents folder. Resolved once.
QString userDataFolder();

// For tests and for the command line: fix the folders instead of resolving them.
void setProgramFolder(const QString &folder);
void setUserDataFolder(const QString &folder);

} // namespace AppPaths
