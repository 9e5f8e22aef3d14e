#pragma once

#include <QString>
#include <QStringList>

// The sample table printed as plain lines of text: row 0 is the heading,
// each line is every cell followed by six blanks, and the lines run down the
// page at a fixed line height in printer units from the printable area's top
// left. The arithmetic lives here, apart from the printer, so that the
// printout and its preview place every line the same way.
class TextListing
{
public:
    // textHeight: the printer height of a line of text in the listing font.
    TextListing(int textHeight, int pageHeight);

    // 1.5 times the text height, truncated.
    int lineHeight() const { return m_lineHeight; }
    // The lines a page holds, rounded down to a multiple of ten; a page too
    // short for ten lines takes as many as fit, and at least one.
    int linesPerPage() const { return m_linesPerPage; }

    static QString line(const QStringList &cells);

    int pageOf(int row) const { return row / m_linesPerPage; }
    // Row r starts a page when it is not the first and falls on a multiple
    // of the lines per page.
    bool startsPage(int row) const { return row != 0 && row % m_linesPerPage == 0; }
    static int x() { return 1; }
    // The top of row r's line.
    int y(int row) const { return (row % m_linesPerPage) * m_lineHeight + m_lineHeight; }
    int pageCount(int rows) const { return rows <= 0 ? 0 : (rows - 1) / m_linesPerPage + 1; }

private:
    int m_lineHeight = 1;
    int m_linesPerPage = 1;
};
