#pragma once

class PrintableView;
class QPrinter;

// Prints a view's sample table as lines of text in the fixed-pitch font at
// 8 points, in printer units from the printable area's top left. The print
// and the preview both come through here.
namespace ListingPrinter {

void print(QPrinter &printer, const PrintableView &view);

} // namespace ListingPrinter
