#pragma once

#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"
#include "core/data/DateTimeText.h"
#include "core/data/Statistics.h"
#include "core/report/ReportData.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct ReportOptions
{
    std::optional<double> from;   // the time window the data was cut to
    std::optional<double> to;
    bool table = true;            // false: page 1 alone
    // Alarm limits by channel (0 humidity, 1 temperature), in the data's unit.
    ChannelLimits limits[2];
    double activationEnergy = KineticTemperature::DefaultActivationEnergy;
    // The correction the readings were given before the report; the header
    // says so when there is one.
    CalibrationOffsets offsets;
};

// What a report of one data set says and how it falls into pages, without
// drawing anything: page 1 holds the header, the chart and the statistics;
// the pages after it hold the sample table, RowsPerPage rows each, with the
// header line repeated and "Page N of M" at the foot. Every text comes from
// the same functions as the data view's (statistics, the data list's cells,
// dates and numbers), so a report and the window never disagree.
class ReportLayout
{
public:
    static constexpr int RowsPerPage = 50;

    struct Field
    {
        QString label;
        QString value;
    };
    struct ChannelTexts
    {
        QString name;      // "Humidity", "Temperature", "Dew point" or "Abs. humidity"
        QString maximum;   // "OL" or value "@" date-time
        QString minimum;
        QString average;   // "****" when nothing counts
    };
    using Options = ReportOptions;

    // data and texts must outlive the layout.
    ReportLayout(const ReportData &data, const DateTimeText &texts, Options options = {});

    const ReportData &data() const { return m_data; }
    const DateTimeText &texts() const { return m_texts; }
    const Options &options() const { return m_options; }

    // Page 1's header: file, data set, start time, sampling rate, number of
    // samples, unit, and the time window when one was given.
    QList<Field> headerFields() const;
    // The short header repeated above the sample table.
    QString runningHeader() const;
    // Channels 0 humidity, 1 temperature, 2 dew point, 3 absolute humidity.
    static constexpr int StatisticsRows = 4;
    ChannelTexts statistics(int channel) const;
    // The line each page of an archived run's report carries at its foot:
    // "Archived run: fingerprint 0123456789abcdef, download 3 of
    // 2026-03-01 10:00:00 UTC"; empty for any other report.
    QString fingerprint() const;
    // The signatures an archived run's report carries on every page, above
    // the fingerprint: "Signed: Jane Doe (jdoe), 2026-03-01 10:00:00 +01:00,
    // approved", at most MaxSignatureLines (the last then says how many
    // more the history lists); empty for any other report.
    static constexpr int MaxSignatureLines = 6;
    QStringList signatureLines() const;

    // How a channel's samples lie against its limits; empty texts for a
    // channel without limits.
    struct LimitTexts
    {
        QString name;      // "Humidity" or "Temperature"
        QString limits;    // "2.0 to 8.0"
        QString above;
        QString below;
        QString within;
    };
    bool hasLimits(int channel) const;
    LimitTexts limitStatistics(int channel) const;
    const ChannelLimits &limits(int channel) const { return m_options.limits[channel == 0 ? 0 : 1]; }
    // The mean kinetic temperature with its unit ("15.7 C"); a data file,
    // whose unit is not known, is read as Celsius and says so. "****" when
    // no reading counts.
    QString meanKineticTemperature() const;
    // The worst 24 hours' and 30 days' MKT: "Worst 24 h: 15.9 C from ...   Worst 30 d: run shorter than 30 d".
    QString worstWindowsText() const;
    // The breaches under a channel's delay and warning levels; empty without either.
    QString breachesText(int channel) const;

    static QStringList tableHeadings();
    QStringList tableRow(qsizetype index) const;

    int tablePages() const;
    int pageCount() const { return 1 + tablePages() + historyPages(); }
    // An archived run's history after the table, HistoryLinesPerPage lines a page.
    static constexpr int HistoryLinesPerPage = 60;
    int historyPages() const;
    QStringList historyLinesOf(int historyPage) const;
    // The samples on table page p (0-based): [first, first + count).
    qsizetype firstRowOf(int tablePage) const { return qsizetype(tablePage) * RowsPerPage; }
    qsizetype rowCountOf(int tablePage) const;
    // "Page N of M", N counted from 1.
    static QString pageNumber(int page, int pages);

    // A time given on the command line: ISO 8601 ("2026-03-01T10:00:00") or
    // a date and time in the locale's formats. Empty when it reads as neither.
    static std::optional<double> parseTime(const QString &text, const DateTimeText &texts);

private:
    QString startText() const;
    QString rateText() const;
    qint64 intervalSeconds() const;

    const ReportData &m_data;
    const DateTimeText &m_texts;
    Options m_options;
    TemperatureUnit shownUnit() const;

    SetStatistics m_statistics;
    SetStatistics m_derived;
};
