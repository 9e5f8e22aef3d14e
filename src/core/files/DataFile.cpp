#include "core/files/DataFile.h"

#include "core/chart/ChartModel.h"
#include "core/chart/ChartPreparation.h"
#include "core/chart/GraphFile.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace DataFile {

namespace {

QString quoted(const QString &path)
{
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

std::optional<qint64> limitOf(QStringView text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    constexpr qint64 most = std::numeric_limits<qint32>::max();
    return std::clamp<qint64>(v, -most, most);
}

} // namespace

Kind kindOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("ghf"))
        return Kind::Graph;
    if (suffix == QLatin1String("txt"))
        return Kind::Text;
    if (suffix == QLatin1String("csv"))
        return Kind::Csv;
    return Kind::None;
}

Kind saveKindOf(const QString &path, bool decimalComma, bool semicolon)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Csv && semicolon)
        return Kind::CsvSemicolon;
    return kind == Kind::Csv && decimalComma ? Kind::None : kind;
}

QChar separatorOf(Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return QChar(u'\t');
    case Kind::Csv:
        return QChar(u',');
    case Kind::CsvSemicolon:
        return QChar(u';');
    default:
        return QChar();
    }
}

QStringList dialogFilters(bool decimalComma)
{
    // Each pattern in both cases: a native dialog may match case-sensitively.
    QStringList filters{
        QStringLiteral("Graph file(*.ghf,only for KV518) (*.GHF *.ghf)"),
        QStringLiteral("TXT file(*.txt,data seperated by tab) (*.TXT *.txt)"),
    };
    if (!decimalComma)
        filters << QStringLiteral("EXCEL file format(*.CSV,seperated by comma) (*.CSV *.csv)");
    return filters;
}

QStringList saveDialogFilters(bool decimalComma)
{
    return dialogFilters(decimalComma) << semicolonFilter();
}

QString semicolonFilter()
{
    return QStringLiteral("CSV for spreadsheets (semicolon) (*.CSV *.csv)");
}

QString defaultSuffix()
{
    return QStringLiteral("GHF");
}

QString suffixOfFilter(int filter)
{
    switch (filter) {
    case 1:
        return QStringLiteral("TXT");
    case 2:
    case 3:
        return QStringLiteral("CSV");
    default:
        return defaultSuffix();
    }
}

std::optional<PointRange> pointRange(bool all, QStringView from, QStringView to, qint64 points)
{
    if (all)
        return PointRange{1, points};
    const std::optional<qint64> a = limitOf(from);
    const std::optional<qint64> b = limitOf(to);
    if (!a || !b)
        return std::nullopt;
    PointRange r{std::abs(*a), std::abs(*b)};
    if (r.last < r.first)
        std::swap(r.first, r.last);
    r.last = std::min(r.last, points);
    if (r.first == 0)
        r.first = 1;
    return r;
}

TextFilePoints chartPoints(const ChartModel &chart, qint64 begin, qint64 end)
{
    TextFilePoints p;
    if (chart.subsets() < 2)
        return p;
    const auto x = chart.xOfSubset(0);
    const auto h = chart.yOfSubset(0);
    const auto t = chart.yOfSubset(1);
    begin = std::clamp<qint64>(begin, 0, qint64(x.size()));
    end = std::clamp<qint64>(end, begin, qint64(x.size()));
    p.x.assign(x.begin() + begin, x.begin() + end);
    p.humidity.assign(h.begin() + begin, h.begin() + end);
    p.temperature.assign(t.begin() + begin, t.begin() + end);
    p.filled = end - begin;
    return p;
}

void setTextPoints(ChartModel &chart, const TextFilePoints &points)
{
    const int n = int(std::min<qint64>(qint64(points.x.size()), chart.points()));
    for (int q = 0; q < n; ++q) {
        const double x = points.x[size_t(q)];
        // An unreadable date left the point's time as the preparation set it.
        if (x != 0.0)
            chart.setXDataII(-1, q, x);
        chart.setYData(0, q, points.humidity[size_t(q)]);
        chart.setYData(1, q, points.temperature[size_t(q)]);
    }
}

bool hasData(const TextFilePoints &points)
{
    const auto end = points.x.begin() + qsizetype(std::min<qint64>(points.filled, qint64(points.x.size())));
    return std::any_of(points.x.begin(), end, [](double x) { return x != 0.0; });
}

QString cannotOpenText(const QString &path)
{
    return TextDataFile::cannotOpenMessage(path);
}

QString noDataLineText(const QString &path)
{
    return QStringLiteral("The file %1 holds no data line.").arg(quoted(path));
}

QString notADataFileText(const QString &path)
{
    return QStringLiteral("The file %1 is not a graph, TXT or CSV file.").arg(quoted(path));
}

QString cannotCreateText(const QString &path)
{
    return AtomicFile::cannotCreateText(path);
}

QString cannotSaveKindText(const QString &path, bool decimalComma)
{
    if (kindOf(path) == Kind::Csv && decimalComma)
        return QStringLiteral("Nothing was written to %1: a CSV file cannot be written while the decimal separator "
                              "is a comma, as its fields could not be told apart. Save it as a TXT file.")
            .arg(quoted(path));
    return QStringLiteral("Nothing was written to %1: the program writes graph (.ghf), TXT (.txt)%2 files.")
        .arg(quoted(path), decimalComma ? QString() : QStringLiteral(" and CSV (.csv)"));
}

QString linesWrittenText(const QString &path, qint64 lines, qint64 undated)
{
    QString text = (lines == 1 ? QStringLiteral("1 line written to %2") : QStringLiteral("%1 lines written to %2"))
                       .arg(lines)
                       .arg(QDir::toNativeSeparators(path));
    if (undated > 0)
        text += QStringLiteral(" (%1 without a date skipped)").arg(undated);
    return text;
}

QString graphWrittenText(const QString &path)
{
    return QStringLiteral("Graph file written to %1").arg(QDir::toNativeSeparators(path));
}

QString nothingWrittenText(const QString &path, bool cancelled)
{
    return (cancelled ? QStringLiteral("Save cancelled: nothing written to %1")
                      : QStringLiteral("Nothing written to %1"))
        .arg(QDir::toNativeSeparators(path));
}

QString undatedSkippedText(const QString &path, qint64 undated)
{
    return QStringLiteral("%1 of the points have no date that can be written and were left out of %2.")
        .arg(undated)
        .arg(quoted(path));
}

Result<> readChart(ChartModel &chart, const QString &path, const DateTimeText &texts,
                   const PrepareChartContext &context)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Graph)
        return LoadGraphFile(chart, path);
    if (kind == Kind::None)
        return fail(ErrorCode::NotData, notADataFileText(path));
    TextFileExtent extent;
    TextFilePoints points;
    // A cancel cannot happen here, and a line that runs on past any data
    // line simply ends the points read.
    if (Result<> read = TextDataFile::read(path, separatorOf(kind), texts, extent, points);
        !read && (read.code() == ErrorCode::Unreadable || read.code() == ErrorCode::TooLarge))
        return read;
    if (!hasData(points))
        return fail(ErrorCode::NoData, noDataLineText(path));
    PrepareChartArgs args;
    args.xMin = extent.xMin;
    args.xMax = extent.xMax;
    args.points = int(extent.rows);
    prepareChartModel(chart, args, context);
    chart.edit([](ChartState &s) { s.xAxis.scaleControl = ScaleControl::sgAutoScale; });
    setTextPoints(chart, points);
    return {};
}

} // namespace DataFile
