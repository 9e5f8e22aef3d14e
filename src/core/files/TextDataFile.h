#pragma once

#include "core/base/Result.h"

#include <QChar>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <vector>

class DateTimeText;
class QFile;
class QIODevice;

// Told the count of lines done so far; returns false to cancel.
using TextProgress = std::function<bool(qint64 count)>;

// What the first reading pass finds: the number of chart points and the
// X range the chart is prepared with.
struct TextFileExtent
{
    qint64 rows = 0;     // lines up to the first empty one, at least 4
    double t1 = 0.0;     // times of the first two lines (0 when unreadable)
    double t2 = 0.0;
    double xMin = 0.0;   // 0 leaves the chart's X scaling automatic
    double xMax = 0.0;
};

// The points of the second pass, one per line that holds two separators.
// A point whose date could not be read keeps X = 0; a reading that could not
// be read, or "OL", is 9999.0, as are the points after the last line.
struct TextFilePoints
{
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
    qint64 filled = 0;
    // Points among the filled ones whose date could not be read (X = 0,
    // where the writer ends a file): a file written under other regional
    // formats, say.
    qint64 undated = 0;
};

// What a text write did: the lines written, the points skipped for want of a
// date, and whether it was cancelled before the end (a cancelled save leaves
// the earlier file as it was).
struct TextWriteResult
{
    qint64 lines = 0;
    qint64 undated = 0;
    bool cancelled = false;
};

// Text data files: one line per chart point, "date time", humidity and
// temperature joined by a tab (TXT), a comma (CSV) or a semicolon (CSV for
// spreadsheets), ended by CR LF.
// Readings beyond +-3000 are written "OL". Both are read back in two
// streamed passes, so a file of millions of lines never sits in memory.
//
// A read fails with ErrorCode::Unreadable (cannot be opened), TooLarge (more
// than MaxLines lines), NotData (a line runs on past MaxLineSpan bytes: not a
// data file) or Cancelled (the points read so far are kept); a write fails
// with ErrorCode::WriteFailed and the writer's message.
class TextDataFile
{
public:
    static constexpr int MaxLineLength = 179;
    static constexpr qint64 MaxLines = 20'000'000;
    static constexpr float Missing = 9999.0f;
    // No data line comes near this; a file that does is given up.
    static constexpr qint64 MaxLineSpan = qint64(16) * 1024 * 1024;

    static QString cannotOpenMessage(const QString &path);
    static QString tooManyLinesMessage();
    static QString notDataFileMessage(const QString &path);
    // Tab for ".txt", comma for ".csv" (any case), a null QChar otherwise.
    static QChar separatorFor(const QString &path);

    // One line, CR LF included.
    static void appendLine(QString &out, double x, float humidity, float temperature, QChar separator,
                           const DateTimeText &texts);

    // Writes points begin .. end-1 of the arrays until progress cancels. A
    // point whose time is 0 cannot be written: it is skipped and counted as
    // undated, unless it is one of the never-filled points (time 0, no
    // reading) that end a chart prepared for more points than it got.
    // Progress is told the count of points gone through.
    static Result<TextWriteResult> write(QIODevice &out, std::span<const double> x, std::span<const float> humidity,
                                 std::span<const float> temperature, qsizetype begin, qsizetype end,
                                 QChar separator, const DateTimeText &texts, const TextProgress &progress = {});
    // The same into a file, replaced only once the whole text is written; a
    // cancelled save writes nothing.
    static Result<TextWriteResult> save(const QString &path, std::span<const double> x, std::span<const float> humidity,
                                std::span<const float> temperature, qsizetype begin, qsizetype end,
                                QChar separator, const DateTimeText &texts, const TextProgress &progress = {});

    // First pass: lines until the end or the first empty line, the first two
    // times and the X range.
    static Result<TextFileExtent> scan(QIODevice &in, QChar separator, const DateTimeText &texts);
    // Second pass: at most pointCount points.
    static Result<> readPoints(QIODevice &in, QChar separator, const DateTimeText &texts, qint64 pointCount,
                               TextFilePoints &points, const TextProgress &progress = {});
    // Both passes over a file. A CSV (separator ',') whose first line holds a
    // ';' is read with ';' between its fields.
    static Result<> read(const QString &path, QChar separator, const DateTimeText &texts, TextFileExtent &extent,
                         TextFilePoints &points, const TextProgress &progress = {});

private:
    // The second pass over a long file in two halves at once, to the same
    // points; nothing when the file is not one to read so (then readPoints()).
    static std::optional<Result<>> readPointsInHalves(QFile &file, QChar separator, const DateTimeText &texts,
                                                      qint64 pointCount, TextFilePoints &points,
                                                      const TextProgress &progress);
};
