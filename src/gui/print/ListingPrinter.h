#pragma once

#include "core/base/Result.h"
#include "core/report/TextListing.h"

#include <QFont>
#include <QPainter>
#include <QStringList>

#include <memory>
#include <optional>

class PrintableView;
class QPrinter;

// Prints a view's sample table as lines of text in the fixed-pitch font at
// 8 points, in printer units from the printable area's top left, one page at
// a time, so that a long listing can show its progress and stop between
// pages. The print and the preview both come through here.
class ListingPrinter
{
public:
    // The listing's lines, taken from the view at once: the view may close
    // while the pages are printed.
    static QStringList linesOf(const PrintableView &view);
    // The pages the lines fill on printer as it is set up now, with footLines
    // lines kept free at the foot of each page.
    static int pageCount(QPrinter &printer, int lineCount, int footLines = 0);

    // foot: lines printed at the foot of every page (an archived run's
    // fingerprint and signatures).
    ListingPrinter(QPrinter &printer, QStringList lines, QStringList foot = {});
    ~ListingPrinter();

    // Starts the printer: "The printer could not start." when it does not.
    // The pages printed are the print dialog's range within the listing,
    // every page when it names none.
    Result<> begin();
    int firstPage() const { return m_first; }
    int lastPage() const { return m_last; } // inclusive; below firstPage() when none
    int pageCount() const { return m_pages; }
    // Page k (0-based) of the listing; the pages go out in order.
    void printPage(int k);
    // Ends the job: the pages go to the printer; abort() drops them instead.
    void end();
    void abort();

    // The whole listing at once (the preview).
    static void printAll(QPrinter &printer, const PrintableView &view, const QStringList &foot = {});

private:
    QPrinter &m_printer;
    QStringList m_lines;
    QStringList m_foot;
    QPainter m_painter;
    std::optional<TextListing> m_listing;
    int m_ascent = 0;
    int m_pages = 0;
    int m_first = 0;
    int m_last = -1;
    bool m_pagePrinted = false;
};
