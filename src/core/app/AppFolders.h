#pragma once

#include <QString>

#include <optional>

// Where the program keeps its files. Each folder is resolved on first use and
// then kept for the life of the object; tests and tools fix them instead.
class AppFolders
{
public:
    // Folders resolved from the system on first use.
    AppFolders() = default;
    // Folders fixed by the caller (tests, tools); an empty user data folder
    // stays empty.
    AppFolders(const QString &programFolder, const QString &userDataFolder);

    // The program data folder holding "ini/", "template/", "lcdtag.txt" and,
    // when the user data folder is empty, "temp/": the executable's folder
    // when it is a portable program folder (below), otherwise the per-user
    // application data folder. Ends without a separator.
    QString programFolder() const;

    // Whether the program keeps its files in this folder beside the
    // executable: a folder outside /usr that the running user owns and may
    // write. An installed program (under /usr, or in a folder of another
    // user) writes nothing beside itself, also when run as root. Creates nothing.
    static bool isPortableFolder(const QString &folder);

    // The folder of the executable.
    static QString executableFolder();
    // Where the files shipped with the program (the help page, the graph
    // template) are: "share/kv518" beside the "bin" folder of an installed
    // program, otherwise the executable's folder (a build tree).
    static QString shippedFolder();

    // The user's documents folder + "/KV518/" (created when missing; the
    // documents folder itself, with its trailing "/", when that fails), or
    // empty when the system has no documents folder.
    QString userDataFolder() const;

private:
    mutable std::optional<QString> m_programFolder;
    mutable std::optional<QString> m_userDataFolder;
};
