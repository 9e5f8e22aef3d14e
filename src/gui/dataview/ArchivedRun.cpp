#include "gui/dataview/ArchivedRun.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/RunReport.h"
#include "gui/common/AppContext.h"
#include "gui/common/GuiLog.h"
#include "gui/common/Prompter.h"

namespace ArchivedRun {

QString archivePath(const AppContext &ctx)
{
    return Archive::defaultPath(ctx.folders().programFolder());
}

std::optional<ReportData> shownBy(AppContext &ctx, QWidget *parent, const ReportData &shown,
                                  const QString &unknownText)
{
    Result<std::optional<ReportData>> run = RunReport::matching(archivePath(ctx), shown);
    if (!run) {
        qCInfo(lcGui).noquote() << "archived run not told:" << run.message();
        ctx.prompter().notice(parent, unknownText.arg(run.message()));
        return std::nullopt;
    }
    return std::move(run).value();
}

void record(AppContext &ctx, QWidget *parent, const QString &kind, const ReportProvenance &run,
            const QString &value)
{
    if (const Result<> recorded = AuditTrail::appendIfArchived(archivePath(ctx), RunReport::entry(kind, run, value));
        !recorded)
        ctx.prompter().notice(parent, QStringLiteral("The %1 is not recorded in the audit trail: %2")
                                          .arg(kind, recorded.message()));
}

} // namespace ArchivedRun
