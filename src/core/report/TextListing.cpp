#include "core/report/TextListing.h"

#include <algorithm>

TextListing::TextListing(int textHeight, int pageHeight)
{
    m_lineHeight = std::max(1, int(textHeight * 1.5));
    const int fitting = std::max(0, pageHeight) / m_lineHeight;
    const int rounded = fitting / 10 * 10;
    // Rounding a short page down to zero lines would leave no page to print on.
    m_linesPerPage = rounded > 0 ? rounded : std::max(1, fitting);
}

QString TextListing::line(const QStringList &cells)
{
    QString text;
    for (const QString &cell : cells)
        text += cell + QStringLiteral("      ");
    return text;
}
