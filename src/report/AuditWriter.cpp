#include "report/AuditWriter.h"

#include "core/data/AtomicFile.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <utility>

namespace {

constexpr int Dpi = 72;
constexpr double Margin = 36.0;

QFont auditFont(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// An entry's lines: what was done, why, and its place in the chain.
QStringList linesOf(const AuditEntry &e)
{
    QString what = QStringLiteral("%1  %2  %3 on %4  %5").arg(e.id).arg(AuditTrail::localTimeText(e),
                                                                      AuditTrail::actorText(e), e.host, e.kind);
    if (e.runId > 0)
        what += QStringLiteral("  run %1").arg(e.runId);
    if (!e.oldValue.isEmpty())
        what += QStringLiteral(": %1 ->").arg(e.oldValue);
    if (!e.newValue.isEmpty())
        what += (e.oldValue.isEmpty() ? QStringLiteral(": ") : QStringLiteral(" ")) + e.newValue;
    QStringList lines{what};
    if (!e.reason.isEmpty())
        lines << QStringLiteral("      Reason: ") + e.reason;
    QString chain = QStringLiteral("      Entry hash %1").arg(e.entryHash);
    if (!e.samplesSha256.isEmpty())
        chain += QStringLiteral("  samples %1").arg(e.samplesSha256);
    lines << chain;
    return lines;
}

// A line broken at spaces (or anywhere, for a word wider than the page) into
// lines no wider than width, the later ones indented: nothing is cut off.
QStringList wrapped(const QString &line, const QFontMetricsF &fm, double width)
{
    QStringList out;
    QString rest = line;
    const QString indent = QStringLiteral("        ");
    while (fm.horizontalAdvance(rest) > width) {
        qsizetype fits = 1;
        while (fits < rest.size() && fm.horizontalAdvance(rest.left(fits + 1)) <= width)
            ++fits;
        const qsizetype space = rest.lastIndexOf(u' ', fits);
        const qsizetype cut = space > indent.size() ? space : fits;
        out << rest.left(cut);
        rest = indent + rest.mid(cut).trimmed();
    }
    out << rest;
    return out;
}

} // namespace

namespace AuditWriter {

Result<int> write(const QList<AuditEntry> &entries, const QString &heading, const QString &path,
                  const QPageSize &pageSize)
{
    QStringList entryLines;
    for (const AuditEntry &e : entries)
        entryLines << linesOf(e);
    if (entries.isEmpty())
        entryLines << QStringLiteral("No audit entries.");

    AtomicFile file(path);
    if (Result<> opened = file.open(); !opened)
        return opened.failure();
    int pages = 0;
    {
        QPdfWriter pdf(&file.device());
        pdf.setResolution(Dpi);
        pdf.setPageLayout(QPageLayout(pageSize, QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
        pdf.setTitle(QStringLiteral("KV518 audit trail"));
        pdf.setCreator(QStringLiteral("Orvane KV518"));
        QPainter p;
        if (!p.begin(&pdf))
            return fail(ErrorCode::WriteFailed, AtomicFile::cannotWriteText(path, QStringLiteral("cannot paint")));
        const QRectF page(QPointF(0, 0), pdf.pageLayout().fullRectPoints().size());
        const QRectF body = page.adjusted(Margin, Margin, -Margin, -Margin);
        const QFont text = auditFont(7.5);
        const double lineHeight = QFontMetricsF(text).height() + 1.0;
        const double top = body.top() + 2 * QFontMetricsF(auditFont(10, true)).height();
        const int perPage = std::max(1, int((body.bottom() - top) / lineHeight));
        QStringList lines;
        for (const QString &line : std::as_const(entryLines))
            lines << wrapped(line, QFontMetricsF(text), body.width());
        pages = int((lines.size() + perPage - 1) / perPage);
        for (int k = 0; k < pages; ++k) {
            if (k > 0)
                pdf.newPage();
            p.setFont(auditFont(10, true));
            p.drawText(QPointF(body.left(), body.top() + QFontMetricsF(p.font()).ascent()), heading);
            p.setFont(text);
            const QFontMetricsF fm(text);
            double y = top;
            for (const QString &line : lines.mid(qsizetype(k) * perPage, perPage)) {
                y += lineHeight;
                p.drawText(QPointF(body.left(), y), line);
            }
            const QString number = QStringLiteral("Page %1 of %2").arg(k + 1).arg(pages);
            p.drawText(QPointF(body.right() - fm.horizontalAdvance(number), page.bottom() - Margin / 2.0), number);
        }
        p.end();
    }
    if (Result<> committed = file.commit(); !committed)
        return committed.failure();
    return pages;
}

} // namespace AuditWriter
