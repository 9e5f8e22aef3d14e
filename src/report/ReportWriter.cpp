#include "report/ReportWriter.h"

#include "core/data/AtomicFile.h"
#include "core/report/ReportLayout.h"
#include "report/ReportChart.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>

namespace {

// Page geometry in points (the writer runs at 72 dots per inch).
constexpr int Dpi = 72;
constexpr double Margin = 40.0;
constexpr double TableRowHeight = 12.5;
// Each signature line at the foot of an archived run's pages.
constexpr double SignatureLineHeight = 9.0;
constexpr double ColumnX[] = {0.0, 50.0, 150.0, 250.0, 340.0};

QFont reportFont(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

class PageSet
{
public:
    PageSet(QPainter &painter, const ReportLayout &layout, const QRectF &page)
        : m_p(painter)
        , m_layout(layout)
        , m_page(page)
        , m_signatures(layout.signatureLines())
        , m_body(page.adjusted(Margin, Margin, -Margin, -Margin - SignatureLineHeight * double(m_signatures.size())))
    {
    }

    void firstPage()
    {
        double y = m_body.top();
        m_p.setFont(reportFont(14, true));
        y += QFontMetricsF(m_p.font()).ascent();
        m_p.drawText(QPointF(m_body.left(), y), QStringLiteral("Orvane KV518"));
        y += 12.0;

        m_p.setFont(reportFont(9));
        const QFontMetricsF fm(m_p.font());
        const QList<ReportLayout::Field> fields = m_layout.headerFields();
        double labelWidth = 0;
        for (const auto &f : fields)
            labelWidth = std::max(labelWidth, fm.horizontalAdvance(f.label));
        for (const auto &f : fields) {
            y += fm.height() + 1.0;
            m_p.drawText(QPointF(m_body.left(), y), f.label);
            m_p.drawText(QPointF(m_body.left() + labelWidth + 12.0, y), f.value);
        }
        y += 14.0;

        // The table of extremes, a line for the mean kinetic temperature and
        // three for each channel with limits.
        int lines = 3 + ReportLayout::StatisticsRows + 1;
        for (int c = 0; c < 2; ++c)
            lines += (m_layout.hasLimits(c) ? 3 : 0) + (m_layout.breachesText(c).isEmpty() ? 0 : 1);
        const double statsHeight = lines * (fm.height() + 3.0) + 8.0;
        const double chartBottom = m_body.bottom() - statsHeight - 24.0;
        m_p.setFont(reportFont(7.5));
        const ChannelLimits limits[2] = {m_layout.limits(0), m_layout.limits(1)};
        ReportChart::paint(m_p, QRectF(m_body.left(), y, m_body.width(), chartBottom - y), m_layout.data(),
                           m_layout.texts(), limits);

        statistics(chartBottom + 12.0);
        footer(1);
    }

    void tablePage(int tablePage)
    {
        m_p.setFont(reportFont(9, true));
        QFontMetricsF fm(m_p.font());
        double y = m_body.top() + fm.ascent();
        m_p.drawText(QPointF(m_body.left(), y), m_layout.runningHeader());
        y += 6.0;
        m_p.setPen(QPen(Qt::black, 0.5));
        m_p.drawLine(QPointF(m_body.left(), y), QPointF(m_body.right(), y));
        y += TableRowHeight + 2.0;
        row(y, ReportLayout::tableHeadings());
        m_p.setFont(reportFont(9));
        const qsizetype first = m_layout.firstRowOf(tablePage);
        const qsizetype count = m_layout.rowCountOf(tablePage);
        for (qsizetype i = 0; i < count; ++i) {
            y += TableRowHeight;
            row(y, m_layout.tableRow(first + i));
        }
        footer(tablePage + 2);
    }

    void historyPage(int historyPage)
    {
        m_p.setFont(reportFont(9, true));
        const QFontMetricsF bold(m_p.font());
        double y = m_body.top() + bold.ascent();
        m_p.drawText(QPointF(m_body.left(), y), historyPage == 0 ? QStringLiteral("Run history")
                                                                 : QStringLiteral("Run history (continued)"));
        y += 6.0;
        m_p.setPen(QPen(Qt::black, 0.5));
        m_p.drawLine(QPointF(m_body.left(), y), QPointF(m_body.right(), y));
        m_p.setFont(reportFont(7.5));
        const QFontMetricsF fm(m_p.font());
        for (const QString &line : m_layout.historyLinesOf(historyPage)) {
            y += fm.height() + 1.0;
            m_p.drawText(QPointF(m_body.left(), y), fm.elidedText(line, Qt::ElideRight, m_body.width()));
        }
        footer(1 + m_layout.tablePages() + historyPage + 1);
    }

private:
    void row(double baseline, const QStringList &cells)
    {
        for (qsizetype c = 0; c < cells.size() && c < qsizetype(std::size(ColumnX)); ++c)
            m_p.drawText(QPointF(m_body.left() + ColumnX[c], baseline), cells.at(c));
    }

    void statistics(double top)
    {
        m_p.setFont(reportFont(9));
        const QFontMetricsF fm(m_p.font());
        const double rowHeight = fm.height() + 3.0;
        const double col[] = {0.0, 80.0, 225.0, 370.0};
        double y = top + fm.ascent();
        m_p.setFont(reportFont(9, true));
        const QString heads[] = {QString(), QStringLiteral("MAX"), QStringLiteral("MIN"), QStringLiteral("AVG")};
        for (int c = 0; c < 4; ++c)
            m_p.drawText(QPointF(m_body.left() + col[c], y), heads[c]);
        m_p.setFont(reportFont(9));
        for (int channel = 0; channel < ReportLayout::StatisticsRows; ++channel) {
            y += rowHeight;
            const ReportLayout::ChannelTexts t = m_layout.statistics(channel);
            const QString cells[] = {t.name, t.maximum, t.minimum, t.average};
            for (int c = 0; c < 4; ++c)
                m_p.drawText(QPointF(m_body.left() + col[c], y), cells[c]);
        }
        y += rowHeight * 1.5;
        m_p.drawText(QPointF(m_body.left(), y),
                     QStringLiteral("Mean Kinetic Temperature: %1   (activation energy %2 kJ/mol)")
                         .arg(m_layout.meanKineticTemperature(),
                              m_layout.texts().fixed(m_layout.options().activationEnergy, 3)));
        y += rowHeight;
        m_p.drawText(QPointF(m_body.left() + col[1], y), m_layout.worstWindowsText());
        for (int channel = 0; channel < 2; ++channel) {
            if (!m_layout.hasLimits(channel))
                continue;
            const ReportLayout::LimitTexts t = m_layout.limitStatistics(channel);
            y += rowHeight;
            m_p.setFont(reportFont(9, true));
            m_p.drawText(QPointF(m_body.left(), y), t.name + QStringLiteral(" limits: ") + t.limits
                                                         + QStringLiteral("   within: ") + t.within);
            m_p.setFont(reportFont(9));
            y += rowHeight;
            m_p.drawText(QPointF(m_body.left() + col[1], y), QStringLiteral("Above: ") + t.above);
            y += rowHeight;
            m_p.drawText(QPointF(m_body.left() + col[1], y), QStringLiteral("Below: ") + t.below);
            if (const QString b = m_layout.breachesText(channel); !b.isEmpty()) {
                y += rowHeight;
                m_p.drawText(QPointF(m_body.left() + col[1], y), QStringLiteral("Breaches: ") + b);
            }
        }
    }

    void footer(int page)
    {
        m_p.setFont(reportFont(8));
        const QString text = ReportLayout::pageNumber(page, m_layout.pageCount());
        const QFontMetricsF fm(m_p.font());
        const double baseline = m_page.bottom() - Margin / 2.0;
        m_p.drawText(QPointF(m_body.right() - fm.horizontalAdvance(text), baseline), text);
        // An archived run's fingerprint, on every page, so a page alone
        // still says which samples it shows.
        if (const QString fingerprint = m_layout.fingerprint(); !fingerprint.isEmpty())
            m_p.drawText(QPointF(m_body.left(), baseline), fingerprint);
        // Its signatures too, in the room kept for them under the body.
        m_p.setFont(reportFont(7.5));
        const QFontMetricsF small(m_p.font());
        double y = m_body.bottom();
        for (const QString &line : m_signatures) {
            y += SignatureLineHeight;
            m_p.drawText(QPointF(m_body.left(), y), small.elidedText(line, Qt::ElideRight, m_body.width()));
        }
    }

    QPainter &m_p;
    const ReportLayout &m_layout;
    QRectF m_page;
    QStringList m_signatures;
    QRectF m_body;
};

} // namespace

QPageSize ReportWriter::pageSizeFor(const QLocale &locale)
{
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

::Result<int> ReportWriter::write(const ReportLayout &layout, const QString &path, const QPageSize &pageSize,
                                  const Progress &progress)
{
    const int pageCount = layout.pageCount();
    AtomicFile file(path);
    if (::Result<> opened = file.open(); !opened)
        return opened.failure();
    {
        QPdfWriter pdf(&file.device());
        pdf.setResolution(Dpi);
        pdf.setPageSize(pageSize);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("KV518 report: %1").arg(layout.data().fileName));
        pdf.setCreator(QStringLiteral("Orvane KV518"));
        QPainter painter;
        if (!painter.begin(&pdf))
            return fail(ErrorCode::WriteFailed, AtomicFile::cannotWriteText(path, QStringLiteral("cannot paint")));
        const QRectF page(QPointF(0, 0), pageSize.sizePoints());
        PageSet pages(painter, layout, page);
        pages.firstPage();
        bool goOn = !progress || progress(1, pageCount);
        for (int t = 0; goOn && t < layout.tablePages(); ++t) {
            pdf.newPage();
            pages.tablePage(t);
            goOn = !progress || progress(t + 2, pageCount);
        }
        for (int h = 0; goOn && h < layout.historyPages(); ++h) {
            pdf.newPage();
            pages.historyPage(h);
            goOn = !progress || progress(layout.tablePages() + h + 2, pageCount);
        }
        painter.end();
        if (!goOn)
            return fail(ErrorCode::Cancelled, QString());
    }
    if (::Result<> committed = file.commit(); !committed)
        return committed.failure();
    return pageCount;
}
