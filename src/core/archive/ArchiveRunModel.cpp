#include "core/archive/ArchiveRunModel.h"

#include "core/archive/DaylightSaving.h"
#include "core/archive/SiteArchive.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The Julian day of 1970-01-01.
constexpr qint64 EpochDay = 2440588;
constexpr qint64 MsPerDay = 86'400'000;

// The digits of text from at, n of them; -1 when one is no digit.
int digits(QStringView text, qsizetype at, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
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

ArchiveListEntry ArchiveListEntry::site(const SiteRunInfo &run, const QTimeZone &here)
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
    e.info.firstDownloadUtcOffset = here.offsetFromUtc(run.firstDownloadUtc);
    // Most runs have one of each: that name itself, with no new text.
    const auto joined = [](const QStringList &names) {
        return names.size() == 1 ? names.first() : names.join(QStringLiteral(", "));
    };
    e.workstations = joined(run.workstations);
    e.users = joined(run.users);
    return e;
}

QList<ArchiveListEntry> ArchiveListEntry::site(const QList<SiteRunInfo> &runs)
{
    const QTimeZone here = QTimeZone::systemTimeZone();
    QList<ArchiveListEntry> entries;
    entries.reserve(runs.size());
    for (const SiteRunInfo &run : runs)
        entries.append(site(run, here));
    return entries;
}

ArchiveRunModel::ArchiveRunModel(const QLocale &locale, const QTimeZone &zone, QObject *parent)
    : QAbstractTableModel(parent)
    , m_texts(locale)
    , m_zone(zone)
{
    // The date and time texts are each made once only where the whole text
    // is the two joined, as it is after every locale's formats; a few
    // instants around the day (midnight, morning, afternoon) tell.
    m_splitTimes = true;
    for (const double days : {46082.0, 46082.25 + 1.0 / 86400.0, 46082.0 + 53999.0 / 86400.0, 45000.999988426})
        if (m_texts.dateAndTime(days) != m_texts.shortDate(days) + u' ' + m_texts.longTime(days))
            m_splitTimes = false;
}

ArchiveRunModel::Naive ArchiveRunModel::naive(const QString &iso)
{
    // "yyyy-MM-ddTHH:mm:ss", and a fraction of the second; read by hand, as
    // QDateTime would read it in the PC's zone (and shift a time the zone
    // skips), and this is done for every run at every listing.
    Naive t;
    const QStringView v(iso);
    if (v.size() < 19 || v[4] != u'-' || v[7] != u'-' || (v[10] != u'T' && v[10] != u' ') || v[13] != u':'
        || v[16] != u':')
        return t;
    const QDate date(digits(v, 0, 4), digits(v, 5, 2), digits(v, 8, 2));
    const int h = digits(v, 11, 2), m = digits(v, 14, 2), sec = digits(v, 17, 2);
    if (!date.isValid() || h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
        return t;
    int ms = 0;
    if (v.size() > 19) {
        if (v[19] != u'.' && v[19] != u',')
            return t;
        // Milliseconds: the first three digits of the fraction, rounded.
        double fraction = 0.0, scale = 0.1;
        for (qsizetype i = 20; i < v.size(); ++i, scale /= 10.0) {
            const char16_t c = v[i].unicode();
            if (c < u'0' || c > u'9')
                return t;
            fraction += (c - u'0') * scale;
        }
        ms = int(std::lround(fraction * 1000.0));
    }
    t.day = date.toJulianDay();
    t.ms = ((h * 60 + m) * 60 + sec) * 1000 + ms;
    if (t.ms >= MsPerDay) {
        t.ms -= int(MsPerDay);
        ++t.day;
    }
    t.valid = true;
    return t;
}

ArchiveRunModel::Naive ArchiveRunModel::naiveOf(const QDateTime &utc, int offsetSeconds)
{
    Naive t;
    if (!utc.isValid())
        return t;
    const qint64 ms = utc.toMSecsSinceEpoch() + qint64(offsetSeconds) * 1000;
    const qint64 days = ms >= 0 ? ms / MsPerDay : -((-ms + MsPerDay - 1) / MsPerDay);
    t.day = EpochDay + days;
    t.ms = int(ms - days * MsPerDay);
    t.valid = true;
    return t;
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
    // Newest start first. The id breaks ties, so two runs of one start keep
    // the order they were archived in (a download before a monitoring run of
    // the same start and id); starts that are no time go last, by their text.
    // The keys are sorted, not the rows, which are moved once.
    struct Key
    {
        qint64 start;
        qint64 id;
        ArchiveRunKind kind;
        qsizetype index;
        bool valid;
    };
    std::vector<Naive> starts(size_t(entries.size()));
    std::vector<Key> keys(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const ArchiveListEntry &e = entries.at(i);
        starts[size_t(i)] = naive(e.info.start);
        keys[size_t(i)] = {starts[size_t(i)].key(), e.info.id, e.kind, i, starts[size_t(i)].valid};
    }
    std::sort(keys.begin(), keys.end(), [&entries](const Key &a, const Key &b) {
        if (a.start != b.start)
            return a.start > b.start;
        if (!a.valid && entries.at(a.index).info.start != entries.at(b.index).info.start)
            return entries.at(a.index).info.start > entries.at(b.index).info.start;
        if (a.id != b.id)
            return a.id > b.id;
        return a.kind < b.kind;
    });
    m_runs.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        Row &row = m_runs[i];
        row.entry = std::move(entries[keys[i].index]);
        row.start = starts[size_t(keys[i].index)];
        row.end = row.entry.info.lastSample.isEmpty() ? Naive() : naive(row.entry.info.lastSample);
    }
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
    m_textInDst = QStringLiteral("DST change").contains(m_text, Qt::CaseInsensitive);
    m_textHasBlank = m_text.contains(u' ');
    m_dayMatches.clear();
    m_timeMatches.clear();
    m_readingMatches.clear();
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
    // A run without a sample spans its start day.
    const Row &r = row;
    const qint64 startDay = r.start.valid ? r.start.day : 0;
    const qint64 endDay = r.end.valid ? r.end.day : startDay;
    if (m_from.isValid() && (r.end.valid || r.start.valid) && endDay < m_from.toJulianDay())
        return false;
    if (m_to.isValid() && r.start.valid && startDay > m_to.toJulianDay())
        return false;
    if (m_text.isEmpty())
        return true;
    if (!row.texts.isEmpty())
        return std::any_of(row.texts.begin(), row.texts.end(),
                           [this](const QString &cell) { return cell.contains(m_text, Qt::CaseInsensitive); });
    for (int c = 0; c < ColumnCount; ++c)
        if (cellMatches(row, c))
            return true;
    return false;
}

bool ArchiveRunModel::timeMatches(const Naive &t) const
{
    if (!t.valid)
        return false;
    if (m_textHasBlank || !m_splitTimes) {
        m_cell.clear();
        appendTime(m_cell, t);
        return found(m_cell);
    }
    // Without a blank the text cannot span the date and the time.
    auto day = m_dayMatches.constFind(t.day);
    if (day == m_dayMatches.cend()) {
        m_cell.clear();
        appendTime(m_cell, t);
        day = m_dayMatches.insert(t.day, found(m_dayTexts.value(t.day)));
    }
    if (*day)
        return true;
    auto time = m_timeMatches.constFind(t.ms);
    if (time == m_timeMatches.cend()) {
        m_cell.clear();
        appendTime(m_cell, t);
        time = m_timeMatches.insert(t.ms, found(m_timeTexts.value(t.ms)));
    }
    return *time;
}

bool ArchiveRunModel::cellMatches(const Row &row, int column) const
{
    const ArchiveListEntry &e = row.entry;
    const ArchiveRunInfo &r = e.info;
    const auto number = [this](qint64 n) {
        char16_t digits[24];
        int at = 24;
        const bool negative = n < 0;
        quint64 v = negative ? quint64(0) - quint64(n) : quint64(n);
        do {
            digits[--at] = char16_t(u'0' + v % 10);
            v /= 10;
        } while (v != 0);
        if (negative)
            digits[--at] = u'-';
        return found(QStringView(digits + at, 24 - at));
    };
    const auto extreme = [&](const std::optional<float> &v) {
        if (r.samples <= 0 || !v)
            return false;
        quint32 bits = 0;
        std::memcpy(&bits, &*v, sizeof bits);
        auto it = m_readingMatches.constFind(bits);
        if (it == m_readingMatches.cend())
            it = m_readingMatches.insert(bits, found(reading(*v)));
        return *it;
    };
    switch (column) {
    case Start:
        return timeMatches(row.start);
    case End:
        return timeMatches(row.end);
    case Samples:
        return number(r.samples);
    case HumidityMin:
        return extreme(r.humidityMin);
    case HumidityMax:
        return extreme(r.humidityMax);
    case TemperatureMin:
        return extreme(r.temperatureMin);
    case TemperatureMax:
        return extreme(r.temperatureMax);
    case FirstDownload:
        return timeMatches(naiveOf(r.firstDownloadUtc, r.firstDownloadUtcOffset));
    case LastDownload:
        return r.lastDownloadUtc.isValid()
               && timeMatches(naiveOf(r.lastDownloadUtc, m_zone.offsetFromUtc(r.lastDownloadUtc)));
    case Versions:
        return e.kind != ArchiveRunKind::Monitoring && number(r.versions);
    case Events:
        return e.kind == ArchiveRunKind::Monitoring && number(e.events);
    case DaylightSaving:
        // The mark is looked for only when the text is part of it.
        return m_textInDst && crosses(row);
    default:
        m_cell.clear();
        appendCell(m_cell, row, column);
        return found(m_cell);
    }
}

bool ArchiveRunModel::crosses(const Row &row) const
{
    if (!row.dst) {
        const ArchiveRunInfo &r = row.entry.info;
        row.dst = DaylightSaving::changesWithin(r.firstSample.isEmpty() ? r.start : r.firstSample,
                                                r.lastSample.isEmpty() ? r.start : r.lastSample, m_zone);
    }
    return *row.dst;
}

const QStringList &ArchiveRunModel::texts(const Row &row) const
{
    if (row.texts.isEmpty()) {
        row.texts.reserve(ColumnCount);
        for (int c = 0; c < ColumnCount; ++c) {
            QString cell;
            appendCell(cell, row, c);
            row.texts << cell;
        }
    }
    return row.texts;
}

void ArchiveRunModel::appendTime(QString &out, const Naive &t) const
{
    if (!t.valid)
        return;
    const double days = FrameworkTime::fromDate(QDate::fromJulianDay(t.day), t.ms);
    if (!m_splitTimes) {
        m_texts.appendDateAndTime(out, days);
        return;
    }
    auto day = m_dayTexts.constFind(t.day);
    if (day == m_dayTexts.cend())
        day = m_dayTexts.insert(t.day, m_texts.shortDate(days));
    auto time = m_timeTexts.constFind(t.ms);
    if (time == m_timeTexts.cend())
        time = m_timeTexts.insert(t.ms, m_texts.longTime(days));
    out += *day;
    out += u' ';
    out += *time;
}

const QString &ArchiveRunModel::reading(float value) const
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    auto it = m_readingTexts.constFind(bits);
    if (it == m_readingTexts.cend())
        it = m_readingTexts.insert(bits, m_texts.reading(value));
    return *it;
}

void ArchiveRunModel::appendCell(QString &out, const Row &row, int column) const
{
    const ArchiveListEntry &e = row.entry;
    const ArchiveRunInfo &r = e.info;
    const bool monitoring = e.kind == ArchiveRunKind::Monitoring;
    const auto extreme = [&](const std::optional<float> &v) {
        if (r.samples > 0 && v)
            out += reading(*v);
    };
    switch (column) {
    case Start:
        appendTime(out, row.start);
        return;
    case End:
        appendTime(out, row.end);
        return;
    case Interval: {
        auto it = m_rateTexts.constFind(r.intervalSeconds);
        if (it == m_rateTexts.cend())
            it = m_rateTexts.insert(r.intervalSeconds, DateTimeText::rateColumn(r.intervalSeconds));
        out += *it;
        return;
    }
    case Samples:
        out += QString::number(r.samples);
        return;
    case Unit:
        out += r.unit == QLatin1String("F") ? QStringLiteral("\u00b0F") : QStringLiteral("\u00b0C");
        return;
    case HumidityMin:
        return extreme(r.humidityMin);
    case HumidityMax:
        return extreme(r.humidityMax);
    case TemperatureMin:
        return extreme(r.temperatureMin);
    case TemperatureMax:
        return extreme(r.temperatureMax);
    // The PC's clock as it read at the download: the offset archived with
    // it, or the zone's at that instant.
    case FirstDownload:
        appendTime(out, naiveOf(r.firstDownloadUtc, r.firstDownloadUtcOffset));
        return;
    case LastDownload:
        if (r.lastDownloadUtc.isValid())
            appendTime(out, naiveOf(r.lastDownloadUtc, m_zone.offsetFromUtc(r.lastDownloadUtc)));
        return;
    case Versions:
        if (!monitoring)
            out += QString::number(r.versions);
        return;
    case DaylightSaving:
        if (crosses(row))
            out += QStringLiteral("DST change");
        return;
    case Kind:
        out += monitoring ? QStringLiteral("Monitoring") : QStringLiteral("Download");
        return;
    case Port:
        out += e.port;
        return;
    case Events:
        if (monitoring)
            out += QString::number(e.events);
        return;
    case Workstation:
        out += e.workstations;
        return;
    case User:
        out += e.users;
        return;
    }
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
    return crosses(m_runs[m_shown[row]]);
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
