#pragma once

#include "core/base/Result.h"

#include <QString>

// The two values that survive from one run to the next, kept in
// "ini/KV518.ini" under the program folder as four lines read by position:
// "[COM PORT]", PortIndex, "[AutoScale]", AutoScaleSetting.
class Settings
{
public:
    // The settings of the program data folder programFolder.
    explicit Settings(const QString &programFolder);

    // Index of the port box entry used when the start-up search finds no meter;
    // -1 when the box's text was typed and names no entry.
    int PortIndex = 0;
    // 1: the data view scales its value axis itself, 0: it uses the user's limits.
    int AutoScaleSetting = 1;

    // The folder ("<program folder>/ini/", with the trailing "/") and the file.
    QString folderPath() const;
    QString filePath() const;

    // Reads the file; a missing or unreadable file keeps the defaults, a line
    // that is no number gives that value's fallback (0 and 1). Reading stops at
    // the first line longer than 80 characters.
    void LoadSettings();

    // Writes the file anew (atomically). When the folder cannot be created or
    // the file cannot be written, nothing changes on disk and the failure's
    // message is "Cannot create <folder> directory.", as for the folder.
    Result<> SaveSettings() const;

    // A PortIndex that names no entry of a box with count entries becomes 0.
    static int validPortIndex(int index, int count);

    static constexpr int MaxLineLength = 80;

private:
    QString m_programFolder;
};
