#pragma once

#include "core/data/DateTimePattern.h"

#include <QByteArray>
#include <QDateTime>
#include <QLatin1StringView>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <limits>
#include <optional>
#include <vector>

// The framework date-time: days since 1899-12-30 as a double, the fraction
// being the time of day. Naive local time: no time-zone conversion, so a DST
// gap never shifts a sample.
namespace FrameworkTime {

constexpr double SecondsPerDay = 86400.0;
// The dates the program can show: 0001-01-01 to the end of 9999-12-31. A time
// outside them can come from no logger, only from a crafted file.
constexpr double FirstShownDay = -693593.0;
constexpr double EndOfShownDays = 2958466.0;
constexpr bool isShown(double days) { return days >= FirstShownDay && days < EndOfShownDays; }

double fromDateTime(const QDateTime &dt);
QDateTime toDateTime(double days);

double fromDate(QDate date, int msOfDay = 0);
// The naive local value as ISO 8601 ("2021-03-28T02:30:00"), from its date
// and time alone: a time the PC's zone skips (the spring-forward hour) keeps
// its text, where QDateTime::toString would give none.
QString isoText(const QDateTime &naive);
QString isoText(double days);
// Splits a framework date-time into its date and milliseconds of the day,
// rounded to the millisecond. False for values that are not finite.
bool split(double days, QDate &date, int &msOfDay);

} // namespace FrameworkTime

// Every date, time and number text the program writes or shows, after the
// regional formats of one locale (the PC's by default):
// - the short date, with a two-digit year widened to four digits so that
//   files read back to the same dates;
// - the long time, without the time-zone field Qt adds;
// - numbers without group separators, so 9999.0 never becomes "9,999.0".
// Build one object and reuse it: it compiles the formats once, which keeps
// writing and reading a million file lines fast.
class DateTimeText
{
public:
    explicit DateTimeText(const QLocale &locale = QLocale::system());

    const QLocale &locale() const { return m_locale; }
    QChar decimalPoint() const { return m_decimalPoint; }
    bool usesDecimalComma() const { return m_decimalPoint == u','; }

    // The formats themselves (Qt format strings).
    static QString shortDateFormat(const QLocale &locale);
    static QString longTimeFormat(const QLocale &locale);

    QString shortDate(double days) const;
    QString longTime(double days) const;
    // The framework's date-time text: short date, a blank, the long time;
    // the time is left out when the value is exactly midnight.
    QString dateTime(double days) const;
    // Short date, a blank and the long time, always both (a data file line).
    QString dateAndTime(double days) const;
    void appendDateAndTime(QString &out, double days) const;
    // "hh:mm:ss", 24 hours, whatever the locale.
    static QString clock(double days);

    // The framework's fixed-point conversion with 7 significant digits:
    // decimals digits after the locale's decimal point.
    QString fixed(double value, int decimals) const;
    void appendFixed(QString &out, double value, int decimals) const;
    QString oneDecimal(double value) const { return fixed(value, 1); }
    QString threeDecimals(double value) const { return fixed(value, 3); }
    // A reading as the data list and the data files show it: "OL" beyond
    // +-3000 (the out-of-range markers included), else one decimal.
    QString reading(float value) const;
    void appendReading(QString &out, float value) const;

    // For writers of millions of lines: dateAndTime() and reading() in UTF-8,
    // written at p, which has room for the bound; each returns the end of
    // what it wrote. Only while writesUtf8() (the formats compiled, ASCII
    // digits); the texts are the same bytes as those of the QString forms.
    bool writesUtf8() const { return m_writesUtf8; }
    qsizetype dateAndTimeUtf8Bound() const { return m_dateAndTime.maxUtf8Bytes(); }
    qsizetype readingUtf8Bound() const { return m_readingUtf8Bound; }
    char *writeDateAndTimeUtf8(char *p, double days) const;
    char *writeReadingUtf8(char *p, float value) const;

    // The same texts for a writer of many lines, which keeps the date of the
    // day it is in and the texts of the readings it has written (a logger's
    // readings take few values). One per writer: it is not to be shared
    // between threads; the DateTimeText must outlive it.
    class Utf8Writer
    {
    public:
        explicit Utf8Writer(const DateTimeText &texts);
        char *dateAndTime(char *p, double days);
        char *reading(char *p, float value);

    private:
        struct Text
        {
            quint32 bits = 0;
            quint8 size = 0;   // 0: no text kept
            char bytes[19];
        };
        const DateTimeText &m_texts;
        bool m_keepsReadings = false;
        std::vector<Text> m_readings;
        qint64 m_julianDay = std::numeric_limits<qint64>::min();
        DateTimePattern::DateParts m_day;
    };

    // The interval as minutes ":" seconds, each at least two digits
    // (the data set list's "Rate" column: 6000 s is "100:00").
    static QString rateColumn(qint64 seconds);
    // The same cut to the last two digits of each part (the sampling rate
    // box: 6000 s is "00:00").
    static QString samplingRate(qint64 seconds);

    // Reads a date-time written by the program (or typed after the regional
    // formats): date and time, or the date alone. Two-digit years are placed
    // within 50 years of today.
    std::optional<double> parseDateTime(QStringView text) const;
    // Reads a number with the locale's decimal point; surrounding blanks are
    // allowed, group separators are not.
    std::optional<double> parseNumber(QStringView text) const;
    // The same for text that is plain ASCII, without widening it first.
    std::optional<double> parseDateTime(QLatin1StringView ascii) const;
    std::optional<double> parseNumber(QLatin1StringView ascii) const;

private:
    QString formatWithQt(const QString &format, QDate date, int msOfDay) const;
    bool parseWithQt(const QString &format, QStringView text, QDate &date, int &msOfDay) const;
    template<typename View>
    std::optional<double> parseDateTimeText(View text) const;
    template<typename View>
    std::optional<double> parseNumberText(View text) const;

    QLocale m_locale;
    QChar m_decimalPoint;
    QString m_negativeSign;
    bool m_asciiDigits = true;
    bool m_plainMinus = true;   // the negative sign is "-"
    bool m_writesUtf8 = false;
    QByteArray m_negativeSignUtf8;
    QByteArray m_decimalPointUtf8;
    QByteArray m_nanUtf8, m_negativeNanUtf8;   // what a reading that is not a number reads
    qsizetype m_readingUtf8Bound = 0;
    DateTimePattern m_shortDate;
    DateTimePattern m_longTime;
    DateTimePattern m_dateAndTime;
    std::vector<DateTimePattern> m_readPatterns;
};
