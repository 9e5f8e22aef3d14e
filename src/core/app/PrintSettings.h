#pragma once

#include "core/base/Result.h"

#include <QString>

#include <optional>

// The page orientations the two kinds of printing keep from one run to the
// next, each as the user last chose it: "ini/Print.ini" beside the settings
// file, three lines read by position: "[Print]", the graph's and the text
// listing's orientation ("Landscape" or "Portrait"). A line missing or
// unreadable leaves that kind unchosen.
class PrintSettings
{
public:
    explicit PrintSettings(const QString &programFolder);

    // Empty: never chosen (the graph then takes its chart's stored
    // orientation, landscape unless changed; the text listing portrait).
    std::optional<bool> graphLandscape;
    std::optional<bool> textLandscape;

    QString filePath() const;
    void load();
    // Writes the file anew (atomically), creating its folder.
    Result<> save() const;

private:
    QString m_programFolder;
};
