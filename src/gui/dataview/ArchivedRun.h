#pragma once

#include "core/report/ReportData.h"

#include <QString>

#include <optional>

class AppContext;
class QWidget;

// Whether a data view shows a run of the archive, and the audit entries of
// what is done with one (reports, prints, exports). Both tell the user, with
// the consequence, when the archive cannot be read or written.
namespace ArchivedRun {

// The archive of this installation.
QString archivePath(const AppContext &ctx);

// The run whose samples are exactly those shown (with its provenance), or
// none. When the archive cannot be read, says so with unknownText, which
// takes the reason as %1, and gives none.
std::optional<ReportData> shownBy(AppContext &ctx, QWidget *parent, const ReportData &shown,
                                  const QString &unknownText);

// Records kind ("report", "print", "export") on run, value the file or
// printer; says so when it cannot be recorded.
void record(AppContext &ctx, QWidget *parent, const QString &kind, const ReportProvenance &run,
            const QString &value);

} // namespace ArchivedRun
