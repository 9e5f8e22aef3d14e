#pragma once

#include "core/archive/Archive.h"
#include "core/archive/MonitorRuns.h"
#include "core/data/DateTimeText.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimeZone>

#include <limits>
#include <optional>
#include <vector>

struct SiteRunInfo;

// What a row of the run list is: a data set downloaded (or imported) from
// the logger, or a run `kv518-cli watch` recorded.
enum class ArchiveRunKind { Download, Monitoring };

// One row of the run list: the run and what only some kinds of row have.
struct ArchiveListEntry
{
    ArchiveRunKind kind = ArchiveRunKind::Download;
    ArchiveRunInfo info;
    QString port;        // a monitoring run's
    qint64 events = 0;   // a monitoring run's
    QString workstations; // a site run's: every workstation that downloaded it
    QString users;        // and the users who did

    static ArchiveListEntry download(ArchiveRunInfo info);
    static ArchiveListEntry monitoring(const MonitorRuns::Listed &run);
    // here: the zone whose offset the first download is shown in (the site
    // keeps none), asked once for a whole listing: asking the system costs.
    static ArchiveListEntry site(const SiteRunInfo &run, const QTimeZone &here);
    static QList<ArchiveListEntry> site(const QList<SiteRunInfo> &runs);
};

// The archive window's run list: one row per archived run (downloaded or
// monitored), newest start first (the run just downloaded is at the top without scrolling), each
// row's texts formatted when first asked for. Two filters narrow the rows:
// a date range the run's span must touch, and a text any cell of the row
// must contain (case-insensitive). The times are read once, as the rows
// are taken; the filter builds each cell from texts made once per distinct
// day, time of day, interval and reading, and keeps none of the cells.
class ArchiveRunModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Start,
        End,
        Interval,
        Samples,
        Unit,
        HumidityMin,
        HumidityMax,
        TemperatureMin,
        TemperatureMax,
        FirstDownload,
        LastDownload,
        Versions,
        DaylightSaving,
        Kind,
        Port,
        Events,
        Workstation,
        User,
        ColumnCount
    };
    // The run id of a row (Qt::UserRole on any column).
    static constexpr int RunIdRole = Qt::UserRole;

    // Texts after locale; daylight-saving changes and download times after
    // zone (the PC's by default).
    explicit ArchiveRunModel(const QLocale &locale = QLocale::system(),
                             const QTimeZone &zone = QTimeZone::systemTimeZone(), QObject *parent = nullptr);

    // Takes the runs as the rows (any order; they are sorted here).
    void setRuns(QList<ArchiveRunInfo> runs);
    void setEntries(QList<ArchiveListEntry> entries);
    // The runs whose span touches from..to (an invalid date leaves that
    // side open), and whose row holds text.
    void setDateRange(QDate from, QDate to);
    void setTextFilter(const QString &text);

    // All runs, and those the filters let through.
    int runCount() const { return int(m_runs.size()); }
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell of a shown row (empty outside them).
    QString text(int row, int column) const;
    // The run of a shown row; nullptr outside them.
    const ArchiveRunInfo *run(int row) const;
    const ArchiveListEntry *entry(int row) const;
    // The shown row of a run, or -1.
    int rowOf(qint64 runId, ArchiveRunKind kind = ArchiveRunKind::Download) const;
    // Whether the run's span holds a daylight-saving change of the zone.
    bool crossesDaylightSaving(int row) const;

    static QString heading(int column);
    // The width of a column, in characters of the table's font.
    static int columnChars(int column);

private:
    // A naive local time: its Julian day and milliseconds of that day.
    struct Naive
    {
        qint64 day = 0;
        int ms = 0;
        bool valid = false;
        qint64 key() const { return valid ? day * 86'400'000 + ms : std::numeric_limits<qint64>::min(); }
    };
    struct Row
    {
        ArchiveListEntry entry;
        Naive start;
        Naive end; // the last sample; invalid when none
        mutable std::optional<bool> dst; // found when first asked for
        mutable QStringList texts;       // formatted on first use
    };
    static Naive naive(const QString &iso);
    static Naive naiveOf(const QDateTime &utc, int offsetSeconds);
    const QStringList &texts(const Row &row) const;
    bool crosses(const Row &row) const;
    void appendCell(QString &out, const Row &row, int column) const;
    void appendTime(QString &out, const Naive &t) const;
    const QString &reading(float value) const;
    bool passes(const Row &row) const;
    bool cellMatches(const Row &row, int column) const;
    bool timeMatches(const Naive &t) const;
    bool found(QStringView cell) const { return cell.contains(m_text, Qt::CaseInsensitive); }
    void refilter();

    DateTimeText m_texts;
    QTimeZone m_zone;
    std::vector<Row> m_runs;
    std::vector<int> m_shown; // indices into m_runs
    QDate m_from;
    QDate m_to;
    QString m_text;
    bool m_textInDst = false; // the text can be found in the daylight-saving mark
    // The locale's date-time text is its date, a blank and its time: each
    // made once (false if this locale's texts do not split so).
    bool m_splitTimes = false;
    mutable QHash<qint64, QString> m_dayTexts;
    mutable QHash<int, QString> m_timeTexts;
    mutable QHash<qint64, QString> m_rateTexts;
    mutable QHash<quint32, QString> m_readingTexts;
    mutable QString m_cell; // the filter's cell being looked at
    // Whether the text is in a day's, a time's, a reading's text (for the
    // text now filtered by; none of them when it has a blank, as it may
    // then span a date and its time).
    bool m_textHasBlank = false;
    mutable QHash<qint64, bool> m_dayMatches;
    mutable QHash<int, bool> m_timeMatches;
    mutable QHash<quint32, bool> m_readingMatches;
};
