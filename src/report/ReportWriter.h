#pragma once

#include "core/base/Result.h"

#include <QPageSize>
#include <QString>

#include <functional>

class QLocale;
class QPainter;
class ReportLayout;

// Draws a report (ReportLayout) into a PDF file: text stays text, the chart
// stays strokes. The file is written atomically: it appears, complete, only
// when every page was drawn and the data reached the disk; a failed or
// cancelled write leaves no file and an existing one untouched.
//
// Needs a QGuiApplication (fonts); runs on any one thread.
class ReportWriter
{
public:
    // After each page: (pages done, pages in all). Returning false cancels.
    using Progress = std::function<bool(int done, int pages)>;

    // A4, or Letter where the locale measures in US units.
    static QPageSize pageSizeFor(const QLocale &locale);

    // The pages written; a failure is ErrorCode::Cancelled (no message) or
    // the writer's WriteFailed.
    static ::Result<int> write(const ReportLayout &layout, const QString &path, const QPageSize &pageSize,
                               const Progress &progress = {});
};
