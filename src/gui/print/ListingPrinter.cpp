#include "gui/print/ListingPrinter.h"

#include "gui/common/GuiLog.h"
#include "gui/print/PrintableView.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPrinter>

namespace {

QFont listingFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    return font;
}

// A line's height in this font (ascent plus descent) is the same for every
// text, "String Grid Printout" included.
// The page less footLines lines of the listing's height.
TextListing listingOn(QPrinter &printer, int footLines)
{
    const QFontMetrics metrics(listingFont(), &printer);
    const int page = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    const int foot = footLines * TextListing(metrics.height(), page).lineHeight();
    return TextListing(metrics.height(), page - foot);
}

} // namespace

QStringList ListingPrinter::linesOf(const PrintableView &view)
{
    QStringList lines;
    const int rows = view.listingRowCount();
    lines.reserve(rows);
    for (int r = 0; r < rows; ++r)
        lines << TextListing::line(view.listingRow(r));
    return lines;
}

int ListingPrinter::pageCount(QPrinter &printer, int lineCount, int footLines)
{
    return listingOn(printer, footLines).pageCount(lineCount);
}

ListingPrinter::ListingPrinter(QPrinter &printer, QStringList lines, QStringList foot)
    : m_printer(printer)
    , m_lines(std::move(lines))
    , m_foot(std::move(foot))
{
}

ListingPrinter::~ListingPrinter()
{
    if (m_painter.isActive())
        abort();
}

Result<> ListingPrinter::begin()
{
    m_listing.emplace(listingOn(m_printer, int(m_foot.size())));
    m_pages = m_listing->pageCount(int(m_lines.size()));
    m_first = 0;
    m_last = m_pages - 1;
    if (m_printer.printRange() == QPrinter::PageRange && m_printer.fromPage() > 0) {
        m_first = m_printer.fromPage() - 1;
        m_last = std::min(m_last, std::max(m_printer.toPage(), m_printer.fromPage()) - 1);
    }
    if (!m_painter.begin(&m_printer)) {
        qCInfo(lcGui).noquote() << "the printer" << m_printer.printerName() << "did not start";
        return fail(ErrorCode::WriteFailed, QStringLiteral("The printer could not start."));
    }
    m_painter.setFont(listingFont());
    m_ascent = QFontMetrics(listingFont(), &m_printer).ascent();
    return {};
}

void ListingPrinter::printPage(int k)
{
    if (!m_painter.isActive() || !m_listing)
        return;
    // The painter's first page is already open.
    if (m_pagePrinted)
        m_printer.newPage();
    m_pagePrinted = true;
    const int per = m_listing->linesPerPage();
    const int from = k * per;
    const int to = std::min<int>(from + per, int(m_lines.size()));
    for (int r = from; r < to; ++r) {
        // The line's top sits at y, as a text cell's would; QPainter places
        // the baseline.
        m_painter.drawText(TextListing::x(), m_listing->y(r) + m_ascent, m_lines.at(r));
    }
    // The foot's lines below the last line a page can hold.
    for (int f = 0; f < m_foot.size(); ++f)
        m_painter.drawText(TextListing::x(), m_listing->y(per - 1) + (f + 1) * m_listing->lineHeight() + m_ascent,
                           m_foot.at(f));
}

void ListingPrinter::end()
{
    if (m_painter.isActive())
        m_painter.end();
}

void ListingPrinter::abort()
{
    m_printer.abort();
    if (m_painter.isActive())
        m_painter.end();
}

void ListingPrinter::printAll(QPrinter &printer, const PrintableView &view, const QStringList &foot)
{
    ListingPrinter listing(printer, linesOf(view), foot);
    if (!listing.begin())
        return;
    for (int k = listing.firstPage(); k <= listing.lastPage(); ++k)
        listing.printPage(k);
    listing.end();
}
