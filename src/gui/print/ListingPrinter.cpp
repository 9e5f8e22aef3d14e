#include "gui/print/ListingPrinter.h"

#include "core/report/TextListing.h"
#include "gui/print/PrintableView.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace ListingPrinter {

void print(QPrinter &printer, const PrintableView &view)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    // A line's height in this font (ascent plus descent) is the same for
    // every text, "String Grid Printout" included.
    const int textHeight = metrics.height();
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    const TextListing listing(textHeight, pageHeight);
    const int rows = view.listingRowCount();
    for (int r = 0; r < rows; ++r) {
        if (listing.startsPage(r))
            printer.newPage();
        // The line's top sits at y, as a text cell's would; QPainter places
        // the baseline.
        painter.drawText(TextListing::x(), listing.y(r) + metrics.ascent(), TextListing::line(view.listingRow(r)));
    }
    painter.end();
}

} // namespace ListingPrinter
