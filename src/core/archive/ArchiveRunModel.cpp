#include "core/archive/ArchiveRunModel.h"

#include "core/archive/DaylightSaving.h"
#include "core/archive/SiteArchive.h"

#include <QDateTime>

#include <algorithm>

namespace {

// The framework time of a naive ISO 8601 text (the logger's local clock).
double naiveDays(const QString &iso)
{
    const QDateTime dt = QDateTime::fromString(iso, Qt::ISODate);
    return dt.isValid() ? FrameworkTime::fromDateTime(dt) : 0.0;
}

QDate dateOf(const QString &iso)
{
    return QDate::fromString(iso.left(10), Qt::ISODate);
}

} // namespace

ArchiveListEntry ArchiveListEntry::download(ArchiveRunInfo info)
{
    ArchiveListEntry e;
    e.info = std::move(info);
    return e;
}

ArchiveListEntry ArchiveListEntry::monitoring(const MonitorRuns::Listed &run)
{
    ArchiveListEntry e;
    e.kind = ArchiveRunKind::Monitoring;
    e.info = run.info;
    e.port = run.run.port;
    e.events = run.run.events;
    e.workstations = run.run.host;
    return e;
}

ArchiveListEntry ArchiveListEntry::site(const SiteRunInfo &run)
{
    ArchiveListEntry e;
    e.info.id = run.id;
    e.info.start = run.start;
    e.info.intervalSeconds = run.intervalSeconds;
    e.info.unit = run.unit;
    e.info.samples = run.samples;
    e.info.firstSample = run.start;
    e.info.lastSample = run.lastSample;
    e.info.versions = run.versions;
    e.info.samplesSha256 = run.samplesSha256;
    e.info.firstDownloadUtc = run.firstDownloadUtc;
    // The site keeps no offset of the PC that downloaded: this PC's then.
    e.info.firstDownloadUtcOffset = QTimeZone::systemTimeZone().offsetFromUtc(run.firstDownloadUtc);
    e.workstations = run.workstations.join(QStringLiteral(", "));
    e.users = run.users.join(QStringLiteral(", "));
    return e;
}

ArchiveRunModel::ArchiveRunModel(const QLocale &locale, const QTimeZone &zone, QObject *parent)
    : QAbstractTableModel(parent)
    , m_texts(locale)
    , m_zone(zone)
{
}

void ArchiveRunModel::setRuns(QList<ArchiveRunInfo> runs)
{
    QList<ArchiveListEntry> entries;
    entries.reserve(runs.size());
    for (ArchiveRunInfo &info : runs)
        entries.append(ArchiveListEntry::download(std::move(info)));
    setEntries(std::move(entries));
}

void ArchiveRunModel::setEntries(QList<ArchiveListEntry> entries)
{
    beginResetModel();
    m_runs.clear();
    m_runs.reserve(entries.size());
    for (ArchiveListEntry &entry : entries) {
        Row row;
        row.startDate = dateOf(entry.info.start);
        row.endDate = entry.info.lastSample.isEmpty() ? row.startDate : dateOf(entry.info.lastSample);
        row.entry = std::move(entry);
        m_runs.push_back(std::move(row));
    }
    // Newest start first; ISO texts sort as their times do. The id breaks
    // ties, so two runs of one start keep the order they were archived in
    // (a download before a monitoring run of the same start and id).
    std::sort(m_runs.begin(), m_runs.end(), [](const Row &a, const Row &b) {
        if (a.entry.info.start != b.entry.info.start)
            return a.entry.info.start > b.entry.info.start;
        if (a.entry.info.id != b.entry.info.id)
            return a.entry.info.id > b.entry.info.id;
        return a.entry.kind < b.entry.kind;
    });
    m_shown.clear();
    for (int i = 0; i < int(m_runs.size()); ++i)
        if (passes(m_runs[i]))
            m_shown.push_back(i);
    endResetModel();
}

void ArchiveRunModel::setDateRange(QDate from, QDate to)
{
    if (from == m_from && to == m_to)
        return;
    m_from = from;
    m_to = to;
    refilter();
}

void ArchiveRunModel::setTextFilter(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_text)
        return;
    m_text = trimmed;
    refilter();
}

void ArchiveRunModel::refilter()
{
    beginResetModel();
    m_shown.clear();
    for (int i = 0; i < int(m_runs.size()); ++i)
        if (passes(m_runs[i]))
            m_shown.push_back(i);
    endResetModel();
}

bool ArchiveRunModel::passes(const Row &row) const
{
    if (m_from.isValid() && row.endDate.isValid() && row.endDate < m_from)
        return false;
    if (m_to.isValid() && row.startDate.isValid() && row.startDate > m_to)
        return false;
    if (m_text.isEmpty())
        return true;
    const QStringList &cells = texts(row);
    return std::any_of(cells.begin(), cells.end(),
                       [this](const QString &cell) { return cell.contains(m_text, Qt::CaseInsensitive); });
}

const QStringList &ArchiveRunModel::texts(const Row &row) const
{
    if (row.texts.isEmpty()) {
        const ArchiveRunInfo &r = row.entry.info;
        row.dst = DaylightSaving::changesWithin(r.firstSample.isEmpty() ? r.start : r.firstSample,
                                                r.lastSample.isEmpty() ? r.start : r.lastSample, m_zone);
        row.texts.reserve(ColumnCount);
        for (int c = 0; c < ColumnCount; ++c)
            row.texts << format(row, c);
    }
    return row.texts;
}

QString ArchiveRunModel::format(const Row &row, int column) const
{
    const ArchiveListEntry &e = row.entry;
    const ArchiveRunInfo &r = e.info;
    const bool monitoring = e.kind == ArchiveRunKind::Monitoring;
    const auto reading = [this, &r](const std::optional<float> &v) {
        return r.samples > 0 && v ? m_texts.reading(*v) : QString();
    };
    // The PC's clock as it read at the download: the offset archived with
    // it, or the zone's at that instant.
    const auto download = [this](const QDateTime &utc, std::optional<int> offsetSeconds) {
        if (!utc.isValid())
            return QString();
        const QDateTime when = offsetSeconds ? utc.toOffsetFromUtc(*offsetSeconds) : utc.toTimeZone(m_zone);
        return m_texts.dateAndTime(FrameworkTime::fromDateTime(when));
    };
    switch (column) {
    case Start:
        return m_texts.dateAndTime(naiveDays(r.start));
    case End:
        return r.lastSample.isEmpty() ? QString() : m_texts.dateAndTime(naiveDays(r.lastSample));
    case Interval:
        return DateTimeText::rateColumn(r.intervalSeconds);
    case Samples:
        return QString::number(r.samples);
    case Unit:
        return r.unit == QLatin1String("F") ? QStringLiteral("\u00b0F") : QStringLiteral("\u00b0C");
    case HumidityMin:
        return reading(r.humidityMin);
    case HumidityMax:
        return reading(r.humidityMax);
    case TemperatureMin:
        return reading(r.temperatureMin);
    case TemperatureMax:
        return reading(r.temperatureMax);
    case FirstDownload:
        return download(r.firstDownloadUtc, r.firstDownloadUtcOffset);
    case LastDownload:
        return download(r.lastDownloadUtc, std::nullopt);
    case Versions:
        return monitoring ? QString() : QString::number(r.versions);
    case DaylightSaving:
        return row.dst ? QStringLiteral("DST change") : QString();
    case Kind:
        return monitoring ? QStringLiteral("Monitoring") : QStringLiteral("Download");
    case Port:
        return e.port;
    case Events:
        return monitoring ? QString::number(e.events) : QString();
    case Workstation:
        return e.workstations;
    case User:
        return e.users;
    }
    return QString();
}

int ArchiveRunModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int ArchiveRunModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ArchiveRunModel::text(int row, int column) const
{
    if (row < 0 || row >= int(m_shown.size()) || column < 0 || column >= ColumnCount)
        return QString();
    return texts(m_runs[m_shown[row]]).at(column);
}

const ArchiveRunInfo *ArchiveRunModel::run(int row) const
{
    const ArchiveListEntry *e = entry(row);
    return e ? &e->info : nullptr;
}

const ArchiveListEntry *ArchiveRunModel::entry(int row) const
{
    return row >= 0 && row < int(m_shown.size()) ? &m_runs[m_shown[row]].entry : nullptr;
}

int ArchiveRunModel::rowOf(qint64 runId, ArchiveRunKind kind) const
{
    for (int i = 0; i < int(m_shown.size()); ++i) {
        const ArchiveListEntry &e = m_runs[m_shown[i]].entry;
        if (e.info.id == runId && e.kind == kind)
            return i;
    }
    return -1;
}

bool ArchiveRunModel::crossesDaylightSaving(int row) const
{
    if (row < 0 || row >= int(m_shown.size()))
        return false;
    const Row &r = m_runs[m_shown[row]];
    texts(r);
    return r.dst;
}

QVariant ArchiveRunModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case RunIdRole:
        return m_runs[m_shown[index.row()]].entry.info.id;
    case Qt::TextAlignmentRole:
        switch (index.column()) {
        case Samples:
        case HumidityMin:
        case HumidityMax:
        case TemperatureMin:
        case TemperatureMax:
        case Versions:
        case Events:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    case Qt::ToolTipRole:
        if (index.column() == DaylightSaving && crossesDaylightSaving(index.row()))
            return QStringLiteral("The PC's clock changed for daylight saving during this run; "
                                  "the logger's clock did not, so its times keep their own count.");
        return {};
    default:
        return {};
    }
}

QString ArchiveRunModel::heading(int column)
{
    static const char *const headings[ColumnCount] = {
        "Start", "End", "Interval", "Samples", "Unit", "RH min", "RH max", "Temp. min", "Temp. max",
        "First download", "Last download", "Versions", "Clock", "Kind", "Port", "Events", "Workstation", "User"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(headings[column]) : QString();
}

int ArchiveRunModel::columnChars(int column)
{
    static const int chars[ColumnCount] = {19, 19, 7, 8, 4, 7, 7, 9, 9, 19, 19, 8, 11, 10, 12, 6, 12, 10};
    return column >= 0 && column < ColumnCount ? chars[column] : 0;
}

QVariant ArchiveRunModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return heading(section);
}
