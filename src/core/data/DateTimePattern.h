#pragma once

#include <QByteArray>
#include <QDate>
#include <QLatin1StringView>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QTime>

#include <vector>

// A Qt date/time format string compiled once, so that writing and reading a
// million file lines does not go through QLocale's general formatter and
// parser for every line. Covers the field letters the regional formats use
// (d M yy yyyy h H m s z AP ap A a, names of days and months, quoted text).
// A format with anything else, or a locale without ASCII digits, is not
// compiled (isCompiled() false) and the caller falls back to QLocale.
class DateTimePattern
{
public:
    DateTimePattern() = default;
    DateTimePattern(const QString &format, const QLocale &locale);

    bool isCompiled() const { return m_compiled; }
    bool hasDate() const { return m_hasDate; }
    bool hasTime() const { return m_hasTime; }
    const QString &format() const { return m_format; }

    // Appends the text of date and time (ms of day) to out.
    void append(QString &out, QDate date, int msOfDay) const;
    // The same text in UTF-8 at p, which has room for maxUtf8Bytes(); returns
    // the end of what was written. For writers of millions of lines.
    char *writeUtf8(char *p, QDate date, int msOfDay) const;
    // The same from a date's parts taken once (a writer of many lines of
    // one day keeps them): dayOfWeek 1 (Monday) to 7.
    struct DateParts
    {
        int year = 0, month = 0, day = 0, dayOfWeek = 0;
    };
    static DateParts partsOf(QDate date);
    char *writeUtf8(char *p, const DateParts &date, int msOfDay) const;
    qsizetype maxUtf8Bytes() const { return m_maxUtf8Bytes; }

    // Reads text written with this format. Two-digit years are placed within
    // 50 years of today. Fields the format lacks take 1 (date) or 0 (time).
    bool parse(QStringView text, QDate &date, int &msOfDay) const;
    // The same for text that is plain ASCII (as most file lines are), read
    // without widening it first.
    bool parse(QLatin1StringView ascii, QDate &date, int &msOfDay) const;

private:
    enum class Kind {
        Literal,
        Day, DayName, Month, MonthShortName, MonthLongName,
        Year2, Year4, Hour24, Hour12, Minute, Second, Millis, AmPm
    };
    struct Token
    {
        Kind kind;
        int width = 1;       // minimum digits when written
        QString text;        // literal text
        bool upper = false;  // AM/PM in capitals
        QByteArray utf8 = {};   // literal text in UTF-8
    };

    void appendNumber(QString &out, int value, int width) const;
    static bool isTextSpace(QChar c)
    {
        return c.isSpace() || c == QChar(0x202F) || c == QChar(0x00A0);
    }
    template<typename View>
    bool parseText(View text, QDate &date, int &msOfDay) const;

    QString m_format;
    std::vector<Token> m_tokens;
    QString m_am, m_pm;
    QStringList m_dayNames, m_monthShort, m_monthLong;
    // The names and AM/PM texts as written, in UTF-8.
    QByteArray m_amUtf8[2], m_pmUtf8[2];   // lower, upper case
    QList<QByteArray> m_dayNamesUtf8, m_monthShortUtf8, m_monthLongUtf8;
    qsizetype m_maxUtf8Bytes = 0;
    bool m_compiled = false;
    bool m_hasDate = false;
    bool m_hasTime = false;
};
