#pragma once

#include "core/chart/ChartPreparation.h"
#include "core/files/TextDataFile.h"

#include <QString>
#include <QStringList>

#include <optional>

class ChartModel;

// Single data files: one chart saved as a graph file (".ghf"), a tab-separated
// TXT or a comma-separated CSV file, and opened again. The type is always the
// chosen name's extension, compared in lower case. The windows and kv518-cli
// both go through here.
namespace DataFile {

// CsvSemicolon is saved only, when its filter is chosen: ';' between the
// fields and the locale's decimal separator, as spreadsheets under a decimal
// comma read it; opened, it is a ".csv" like any other.
enum class Kind { None, Graph, Text, Csv, CsvSemicolon };

// The type of a file being opened.
Kind kindOf(const QString &path);
// The type of a file being saved: a CSV cannot be written while the decimal
// separator is a comma (its fields could not be told apart), so it is None then.
// With `semicolon` (its filter chosen) a ".csv" is CsvSemicolon, under any
// decimal separator.
Kind saveKindOf(const QString &path, bool decimalComma, bool semicolon = false);
// Tab for Text, comma for Csv, semicolon for CsvSemicolon, a null QChar otherwise.
QChar separatorOf(Kind kind);

// The file dialogs' filters, CSV left out while the decimal separator is a comma.
QStringList dialogFilters(bool decimalComma);
// The save dialog's: those, then the semicolon CSV's.
QStringList saveDialogFilters(bool decimalComma);
QString semicolonFilter();
QString defaultSuffix();
// The extension a save adds to a name typed without one under the filter at
// index filter of dialogFilters(): "GHF", "TXT" or "CSV"; the default
// extension for any other index (no filter chosen).
QString suffixOfFilter(int filter);

// Points first .. last of a chart, counted from 1, as the save's range window
// gives them.
struct PointRange
{
    qint64 first = 1;
    qint64 last = 0;
    qint64 count() const { return last >= first ? last - first + 1 : 0; }
};
// All points, or the limits typed in "from" and "to": integers (read as 64-bit
// values and held to the 32-bit range, so no value overflows), taken without
// sign, swapped when "to" is the smaller, "to" held to the point count and a
// "from" of 0 taken as 1. Empty when a limit is not an integer.
std::optional<PointRange> pointRange(bool all, QStringView from, QStringView to, qint64 points);

// Copies of a chart's points (subset 0's times, the two subsets' readings),
// indices begin .. end-1 held to the chart.
TextFilePoints chartPoints(const ChartModel &chart, qint64 begin, qint64 end);
// Writes the points read from a text file into a chart prepared for at least as
// many points: X of both subsets, Y of humidity and temperature.
void setTextPoints(ChartModel &chart, const TextFilePoints &points);

// Whether a text file gave at least one point with a readable date.
bool hasData(const TextFilePoints &points);

// Messages of an open that shows nothing.
QString cannotOpenText(const QString &path);
QString noDataLineText(const QString &path);
QString notADataFileText(const QString &path);
// The message of a save to a file that could not be created.
QString cannotCreateText(const QString &path);
// Why a save under this name writes nothing: an extension the program cannot
// write, or ".csv" while the decimal separator is a comma.
QString cannotSaveKindText(const QString &path, bool decimalComma);
// What a save wrote, for the status bar.
QString linesWrittenText(const QString &path, qint64 lines, qint64 undated);
QString graphWrittenText(const QString &path);
QString nothingWrittenText(const QString &path, bool cancelled);
// The notice of a text save that skipped points without a date.
QString undatedSkippedText(const QString &path, qint64 undated);

// Reads a graph, TXT or CSV file into a chart; kv518-cli's way in, with the
// windows' readers. A text file's chart is prepared with `context`. A failure
// holds the one message that says why nothing was read; the chart is then
// unchanged. A text file of which no line has a readable date fails as
// ErrorCode::NoData.
Result<> readChart(ChartModel &chart, const QString &path, const DateTimeText &texts,
                   const PrepareChartContext &context);

} // namespace DataFile
