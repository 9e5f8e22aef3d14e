#include "core/report/ReportLayout.h"

#include "core/chart/DataListModel.h"
#include "core/data/DerivedChannels.h"

#include <QDateTime>

#include <algorithm>

ReportLayout::ReportLayout(const ReportData &data, const DateTimeText &texts, Options options)
    : m_data(data)
    , m_texts(texts)
    , m_options(options)
    , m_statistics(Statistics::wholeSet(data.series()))
    , m_derived(Humidity::wholeSet(data.series(), shownUnit()))
{
}

TemperatureUnit ReportLayout::shownUnit() const
{
    return m_data.temperatureUnit().value_or(TemperatureUnit::Celsius);
}

QString ReportLayout::startText() const
{
    if (m_data.start)
        return m_texts.dateTime(*m_data.start);
    return Statistics::panelTexts(m_statistics, 0, m_texts).startTime;
}

qint64 ReportLayout::intervalSeconds() const
{
    // A data set's own interval, as the download view shows it; a file has
    // only the estimate from its points.
    return m_data.intervalSeconds ? *m_data.intervalSeconds : m_statistics.rateSeconds;
}

QString ReportLayout::rateText() const
{
    return DateTimeText::samplingRate(intervalSeconds()) + QStringLiteral(" mm:ss");
}

QList<ReportLayout::Field> ReportLayout::headerFields() const
{
    QList<Field> fields;
    fields.append({QStringLiteral("File"), m_data.fileName});
    if (m_data.setNumber > 0)
        fields.append({QStringLiteral("Data Set"), QString::number(m_data.setNumber)});
    fields.append({QStringLiteral("Start Time"), startText()});
    fields.append({QStringLiteral("Sampling Rate"), rateText()});
    fields.append({QStringLiteral("Data No."), QString::number(m_data.points())});
    if (!m_data.unit.isEmpty())
        fields.append({QStringLiteral("Unit"), m_data.unit});
    if (m_options.offsets.any())
        fields.append({QStringLiteral("Correction"), Calibration::text(m_options.offsets, m_texts)
                                                         + QStringLiteral(" added to the readings")});
    if (m_options.from)
        fields.append({QStringLiteral("From"), m_texts.dateTime(*m_options.from)});
    if (m_options.to)
        fields.append({QStringLiteral("To"), m_texts.dateTime(*m_options.to)});
    if (m_data.archived && !m_data.archived->note.isEmpty())
        fields.append({QStringLiteral("Note"), m_data.archived->note});
    return fields;
}

QString ReportLayout::fingerprint() const
{
    if (!m_data.archived)
        return QString();
    const ReportProvenance &a = *m_data.archived;
    return QStringLiteral("Archived run: fingerprint %1, download %2 of %3 UTC")
        .arg(a.samplesSha256.left(16))
        .arg(a.downloadId)
        .arg(a.downloadUtc.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QStringList ReportLayout::signatureLines() const
{
    if (!m_data.archived)
        return {};
    const QStringList &all = m_data.archived->signatures;
    QStringList lines;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (i == MaxSignatureLines - 1 && all.size() > MaxSignatureLines) {
            lines << QStringLiteral("Signed: %1 more signatures, listed in the run history").arg(all.size() - i);
            break;
        }
        lines << QStringLiteral("Signed: ") + all.at(i);
    }
    return lines;
}

QString ReportLayout::runningHeader() const
{
    QString line = m_data.fileName;
    if (m_data.setNumber > 0)
        line += QStringLiteral("   Data Set ") + QString::number(m_data.setNumber);
    line += QStringLiteral("   Start Time ") + startText();
    if (!m_data.unit.isEmpty())
        line += QStringLiteral("   Unit ") + m_data.unit;
    return line;
}

ReportLayout::ChannelTexts ReportLayout::statistics(int channel) const
{
    static const char *const names[StatisticsRows] = {"Humidity", "Temperature", "Dew point", "Abs. humidity g/m3"};
    channel = std::clamp(channel, 0, StatisticsRows - 1);
    const StatisticsTexts t = channel >= 2 ? Humidity::panelTexts(m_derived, channel - 2, m_texts)
                                           : Statistics::panelTexts(m_statistics, channel, m_texts);
    ChannelTexts c;
    c.name = QLatin1String(names[channel]);
    // Without samples the panel's extremes would show its seed values.
    if (m_statistics.points == 0)
        return c;
    c.maximum = t.maximum;
    c.minimum = t.minimum;
    c.average = t.average;
    return c;
}

bool ReportLayout::hasLimits(int channel) const
{
    return limits(channel).isSet() || limits(channel).hasWarning();
}

ReportLayout::LimitTexts ReportLayout::limitStatistics(int channel) const
{
    LimitTexts t;
    if (!hasLimits(channel))
        return t;
    const ChartSeries series = m_data.series();
    const int c = channel == 0 ? 0 : 1;
    const LimitStatistics s = AlarmLimits::evaluate(series.x[c], series.y[c], limits(c), intervalSeconds());
    t.name = c == 0 ? QStringLiteral("Humidity") : QStringLiteral("Temperature");
    t.limits = AlarmLimits::limitsText(s.limits, m_texts);
    t.above = AlarmLimits::sideText(s.above, m_texts);
    t.below = AlarmLimits::sideText(s.below, m_texts);
    t.within = AlarmLimits::withinText(s, m_texts);
    return t;
}

QString ReportLayout::worstWindowsText() const
{
    const TemperatureUnit unit = shownUnit();
    const auto w = KineticTemperature::worstWindows(m_data.x, m_data.temperature, unit, m_options.activationEnergy,
                                                    intervalSeconds());
    const QString suffix = unit == TemperatureUnit::Fahrenheit ? QStringLiteral(" F") : QStringLiteral(" C");
    return QStringLiteral("Worst 24 h: ") + KineticTemperature::windowText(w[0], suffix, QStringLiteral("24 h"), m_texts)
        + QStringLiteral("   Worst 30 d: ")
        + KineticTemperature::windowText(w[1], suffix, QStringLiteral("30 d"), m_texts);
}

QString ReportLayout::breachesText(int channel) const
{
    const int c = channel == 0 ? 0 : 1;
    const ChannelLimits &l = limits(c);
    if (!l.hasRules() || !hasLimits(c))
        return QString();
    const ChartSeries series = m_data.series();
    return AlarmLimits::breachesText(l, AlarmLimits::breaches(series.x[c], series.y[c], l, intervalSeconds()), m_texts);
}

QString ReportLayout::meanKineticTemperature() const
{
    const std::optional<TemperatureUnit> unit = m_data.temperatureUnit();
    const TemperatureUnit shown = unit.value_or(TemperatureUnit::Celsius);
    const std::optional<double> mkt
        = KineticTemperature::compute(m_data.temperature, shown, m_options.activationEnergy);
    if (!mkt)
        return QStringLiteral("****");
    QString text = m_texts.oneDecimal(*mkt) + (shown == TemperatureUnit::Fahrenheit ? QStringLiteral(" F")
                                                                                      : QStringLiteral(" C"));
    if (!unit)
        text += QStringLiteral(" (readings taken as C)");
    return text;
}

QStringList ReportLayout::tableHeadings()
{
    QStringList h;
    for (int c = 0; c < DataListModel::ColumnCount; ++c)
        h << DataListModel::heading(c);
    return h;
}

QStringList ReportLayout::tableRow(qsizetype index) const
{
    QStringList row;
    if (index < 0 || index >= m_data.points())
        return row;
    const size_t i = size_t(index);
    for (int c = 0; c < DataListModel::ColumnCount; ++c)
        row << DataListModel::cellText(m_texts, c, index, m_data.x[i], m_data.humidity[i], m_data.temperature[i]);
    return row;
}

int ReportLayout::tablePages() const
{
    if (!m_options.table)
        return 0;
    return int((m_data.points() + RowsPerPage - 1) / RowsPerPage);
}

int ReportLayout::historyPages() const
{
    if (!m_data.archived)
        return 0;
    return int((m_data.archived->history.size() + HistoryLinesPerPage - 1) / HistoryLinesPerPage);
}

QStringList ReportLayout::historyLinesOf(int historyPage) const
{
    if (!m_data.archived || historyPage < 0)
        return {};
    return m_data.archived->history.mid(qsizetype(historyPage) * HistoryLinesPerPage, HistoryLinesPerPage);
}

qsizetype ReportLayout::rowCountOf(int tablePage) const
{
    const qsizetype first = firstRowOf(tablePage);
    if (tablePage < 0 || first >= m_data.points())
        return 0;
    return std::min<qsizetype>(RowsPerPage, m_data.points() - first);
}

QString ReportLayout::pageNumber(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

std::optional<double> ReportLayout::parseTime(const QString &text, const DateTimeText &texts)
{
    const QString t = text.trimmed();
    for (const Qt::DateFormat format : {Qt::ISODate, Qt::ISODateWithMs}) {
        const QDateTime iso = QDateTime::fromString(t, format);
        if (iso.isValid())
            return FrameworkTime::fromDateTime(iso);
    }
    const QDate day = QDate::fromString(t, Qt::ISODate);
    if (day.isValid())
        return FrameworkTime::fromDate(day);
    return texts.parseDateTime(t);
}
