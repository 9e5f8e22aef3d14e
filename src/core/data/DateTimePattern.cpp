#include "core/data/DateTimePattern.h"

#include <cstring>

namespace {

int runLength(const QString &s, qsizetype i)
{
    int n = 1;
    while (i + n < s.size() && s.at(i + n) == s.at(i))
        ++n;
    return n;
}

// Matches one of the names at the front of text (case-insensitive, longest
// first so "June" is not taken as "Jun"). Returns the index or -1.
template<typename View>
int matchName(View text, const QStringList &names, qsizetype &length)
{
    int best = -1;
    length = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (name.isEmpty() || name.size() <= length)
            continue;
        if (text.startsWith(name, Qt::CaseInsensitive)) {
            best = i;
            length = name.size();
        }
    }
    return best;
}

int placeTwoDigitYear(int yy)
{
    const int thisYear = QDate::currentDate().year();
    int year = thisYear - thisYear % 100 + yy;
    if (year > thisYear + 50)
        year -= 100;
    else if (year <= thisYear - 50)
        year += 100;
    return year;
}

} // namespace

DateTimePattern::DateTimePattern(const QString &format, const QLocale &locale)
    : m_format(format)
{
    if (locale.zeroDigit() != QLatin1String("0"))
        return;
    m_am = locale.amText();
    m_pm = locale.pmText();
    bool twelveHour = false;
    bool ok = true;
    qsizetype i = 0;
    auto addLiteral = [this](const QString &text) {
        if (!m_tokens.empty() && m_tokens.back().kind == Kind::Literal)
            m_tokens.back().text += text;
        else
            m_tokens.push_back({Kind::Literal, 0, text, false});
    };
    while (i < format.size() && ok) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            if (end == i + 1) {
                addLiteral(QStringLiteral("'"));
                i += 2;
                continue;
            }
            const qsizetype stop = end < 0 ? format.size() : end;
            addLiteral(format.mid(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        const int n = runLength(format, i);
        int used = n;
        switch (c.unicode()) {
        case u'd':
            used = qMin(n, 4);
            if (used <= 2)
                m_tokens.push_back({Kind::Day, used, {}, false});
            else
                m_tokens.push_back({Kind::DayName, used, {}, false});
            m_hasDate = true;
            break;
        case u'M':
            used = qMin(n, 4);
            if (used <= 2)
                m_tokens.push_back({Kind::Month, used, {}, false});
            else
                m_tokens.push_back({used == 3 ? Kind::MonthShortName : Kind::MonthLongName, used, {}, false});
            m_hasDate = true;
            break;
        case u'y':
            if (n >= 4) {
                used = 4;
                m_tokens.push_back({Kind::Year4, 4, {}, false});
            } else if (n >= 2) {
                used = 2;
                m_tokens.push_back({Kind::Year2, 2, {}, false});
            } else {
                addLiteral(QStringLiteral("y"));
            }
            m_hasDate = m_hasDate || n >= 2;
            break;
        case u'h':
        case u'H':
            used = qMin(n, 2);
            m_tokens.push_back({c == u'h' ? Kind::Hour12 : Kind::Hour24, used, {}, false});
            m_hasTime = true;
            break;
        case u'm':
            used = qMin(n, 2);
            m_tokens.push_back({Kind::Minute, used, {}, false});
            m_hasTime = true;
            break;
        case u's':
            used = qMin(n, 2);
            m_tokens.push_back({Kind::Second, used, {}, false});
            m_hasTime = true;
            break;
        case u'z':
            if (n != 3)
                ok = false;
            m_tokens.push_back({Kind::Millis, 3, {}, false});
            break;
        case u'A':
        case u'a':
            used = (i + 1 < format.size() && format.at(i + 1) == (c == u'A' ? u'P' : u'p')) ? 2 : 1;
            m_tokens.push_back({Kind::AmPm, 0, {}, c == u'A'});
            twelveHour = true;
            break;
        case u't':
            ok = false;
            break;
        default:
            used = 1;
            addLiteral(QString(c));
            break;
        }
        i += used;
    }
    if (!ok) {
        m_tokens.clear();
        return;
    }
    // Qt's "h" counts 0-23 unless the format shows AM/PM.
    for (Token &t : m_tokens) {
        if (t.kind == Kind::Hour12 && !twelveHour)
            t.kind = Kind::Hour24;
    }
    for (int d = 1; d <= 7; ++d) {
        m_dayNames << locale.dayName(d, QLocale::LongFormat) << locale.dayName(d, QLocale::ShortFormat);
    }
    for (int m = 1; m <= 12; ++m) {
        m_monthShort << locale.monthName(m, QLocale::ShortFormat);
        m_monthLong << locale.monthName(m, QLocale::LongFormat);
    }

    // The UTF-8 forms, and the most bytes a text can take: a number of any
    // int, the longest name.
    m_amUtf8[0] = m_am.toLower().toUtf8();
    m_amUtf8[1] = m_am.toUpper().toUtf8();
    m_pmUtf8[0] = m_pm.toLower().toUtf8();
    m_pmUtf8[1] = m_pm.toUpper().toUtf8();
    const auto utf8 = [](const QStringList &names, QList<QByteArray> &out) {
        qsizetype longest = 0;
        for (const QString &name : names) {
            out << name.toUtf8();
            longest = qMax(longest, out.last().size());
        }
        return longest;
    };
    const qsizetype dayName = utf8(m_dayNames, m_dayNamesUtf8);
    const qsizetype monthShort = utf8(m_monthShort, m_monthShortUtf8);
    const qsizetype monthLong = utf8(m_monthLong, m_monthLongUtf8);
    constexpr qsizetype NumberBytes = 11;
    for (Token &t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            t.utf8 = t.text.toUtf8();
            m_maxUtf8Bytes += t.utf8.size();
            break;
        case Kind::DayName:
            m_maxUtf8Bytes += dayName;
            break;
        case Kind::MonthShortName:
            m_maxUtf8Bytes += monthShort;
            break;
        case Kind::MonthLongName:
            m_maxUtf8Bytes += monthLong;
            break;
        case Kind::AmPm:
            m_maxUtf8Bytes += qMax(qMax(m_amUtf8[0].size(), m_amUtf8[1].size()),
                                   qMax(m_pmUtf8[0].size(), m_pmUtf8[1].size()));
            break;
        default:
            m_maxUtf8Bytes += NumberBytes;
            break;
        }
    }
    m_compiled = true;
}

namespace {

char *writeNumber(char *p, int value, int width)
{
    // Days, months, hours, minutes and seconds: one or two digits.
    if (unsigned(value) < 100 && width <= 2) {
        if (value >= 10 || width == 2)
            *p++ = char('0' + value / 10);
        *p++ = char('0' + value % 10);
        return p;
    }
    char buf[12];
    int n = 0;
    unsigned v = unsigned(value < 0 ? -value : value);
    do {
        buf[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n < width)
        buf[n++] = '0';
    if (value < 0)
        *p++ = '-';
    while (n > 0)
        *p++ = buf[--n];
    return p;
}

char *writeBytes(char *p, const QByteArray &bytes)
{
    std::memcpy(p, bytes.constData(), size_t(bytes.size()));
    return p + bytes.size();
}

} // namespace

DateTimePattern::DateParts DateTimePattern::partsOf(QDate date)
{
    DateParts parts;
    date.getDate(&parts.year, &parts.month, &parts.day);
    parts.dayOfWeek = date.dayOfWeek();
    return parts;
}

char *DateTimePattern::writeUtf8(char *p, QDate date, int msOfDay) const
{
    return writeUtf8(p, partsOf(date), msOfDay);
}

char *DateTimePattern::writeUtf8(char *p, const DateParts &date, int msOfDay) const
{
    const int year = date.year;
    const int month = date.month;
    const int day = date.day;
    const int hour = msOfDay / 3600000;
    const int minute = msOfDay / 60000 % 60;
    const int second = msOfDay / 1000 % 60;
    for (const Token &t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            if (t.utf8.size() == 1)
                *p++ = t.utf8.front();
            else
                p = writeBytes(p, t.utf8);
            break;
        case Kind::Day:
            p = writeNumber(p, day, t.width);
            break;
        case Kind::DayName:
            p = writeBytes(p, m_dayNamesUtf8.at((date.dayOfWeek - 1) * 2 + (t.width == 4 ? 0 : 1)));
            break;
        case Kind::Month:
            p = writeNumber(p, month, t.width);
            break;
        case Kind::MonthShortName:
            p = writeBytes(p, m_monthShortUtf8.at(month - 1));
            break;
        case Kind::MonthLongName:
            p = writeBytes(p, m_monthLongUtf8.at(month - 1));
            break;
        case Kind::Year2:
            p = writeNumber(p, (year % 100 + 100) % 100, 2);
            break;
        case Kind::Year4:
            p = writeNumber(p, year, 4);
            break;
        case Kind::Hour24:
            p = writeNumber(p, hour, t.width);
            break;
        case Kind::Hour12:
            p = writeNumber(p, hour % 12 == 0 ? 12 : hour % 12, t.width);
            break;
        case Kind::Minute:
            p = writeNumber(p, minute, t.width);
            break;
        case Kind::Second:
            p = writeNumber(p, second, t.width);
            break;
        case Kind::Millis:
            p = writeNumber(p, msOfDay % 1000, 3);
            break;
        case Kind::AmPm:
            p = writeBytes(p, hour < 12 ? m_amUtf8[t.upper ? 1 : 0] : m_pmUtf8[t.upper ? 1 : 0]);
            break;
        }
    }
    return p;
}

void DateTimePattern::appendNumber(QString &out, int value, int width) const
{
    char16_t buf[12];
    int n = 0;
    unsigned v = unsigned(value < 0 ? -value : value);
    do {
        buf[n++] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v);
    while (n < width)
        buf[n++] = u'0';
    if (value < 0)
        out += u'-';
    while (n > 0)
        out += QChar(buf[--n]);
}

void DateTimePattern::append(QString &out, QDate date, int msOfDay) const
{
    const int hour = msOfDay / 3600000;
    const int minute = msOfDay / 60000 % 60;
    const int second = msOfDay / 1000 % 60;
    for (const Token &t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            out += t.text;
            break;
        case Kind::Day:
            appendNumber(out, date.day(), t.width);
            break;
        case Kind::DayName:
            out += m_dayNames.at((date.dayOfWeek() - 1) * 2 + (t.width == 4 ? 0 : 1));
            break;
        case Kind::Month:
            appendNumber(out, date.month(), t.width);
            break;
        case Kind::MonthShortName:
            out += m_monthShort.at(date.month() - 1);
            break;
        case Kind::MonthLongName:
            out += m_monthLong.at(date.month() - 1);
            break;
        case Kind::Year2:
            appendNumber(out, (date.year() % 100 + 100) % 100, 2);
            break;
        case Kind::Year4:
            appendNumber(out, date.year(), 4);
            break;
        case Kind::Hour24:
            appendNumber(out, hour, t.width);
            break;
        case Kind::Hour12:
            appendNumber(out, hour % 12 == 0 ? 12 : hour % 12, t.width);
            break;
        case Kind::Minute:
            appendNumber(out, minute, t.width);
            break;
        case Kind::Second:
            appendNumber(out, second, t.width);
            break;
        case Kind::Millis:
            appendNumber(out, msOfDay % 1000, 3);
            break;
        case Kind::AmPm: {
            const QString &text = hour < 12 ? m_am : m_pm;
            out += t.upper ? text.toUpper() : text.toLower();
            break;
        }
        }
    }
}


bool DateTimePattern::parse(QStringView text, QDate &date, int &msOfDay) const
{
    return parseText(text, date, msOfDay);
}

bool DateTimePattern::parse(QLatin1StringView ascii, QDate &date, int &msOfDay) const
{
    return parseText(ascii, date, msOfDay);
}

template<typename View>
bool DateTimePattern::parseText(View text, QDate &date, int &msOfDay) const
{
    if (!m_compiled)
        return false;
    int year = 1899, month = 12, day = 30;
    if (m_hasDate)
        year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millis = 0;
    int pm = -1;
    bool twoDigitYear = false;
    qsizetype pos = 0;
    while (pos < text.size() && isTextSpace(QChar(text[pos])))
        ++pos;

    auto readNumber = [&](int maxDigits, int &value) {
        int digits = 0;
        value = 0;
        while (digits < maxDigits && pos < text.size()) {
            const char16_t c = text[pos].unicode();
            if (c < u'0' || c > u'9')
                break;
            value = value * 10 + (c - u'0');
            ++pos;
            ++digits;
        }
        return digits > 0;
    };

    for (const Token &t : m_tokens) {
        bool ok = true;
        switch (t.kind) {
        case Kind::Literal:
            // One character that is no blank, as "/" and ":" are: compared alone.
            if (t.text.size() == 1 && !isTextSpace(t.text.front())) {
                ok = pos < text.size() && QChar(text[pos]) == t.text.front();
                pos += ok ? 1 : 0;
                break;
            }
            for (qsizetype k = 0; k < t.text.size() && ok; ++k) {
                const QChar want = t.text.at(k);
                if (isTextSpace(want)) {
                    if (pos >= text.size() || !isTextSpace(QChar(text[pos]))) {
                        ok = false;
                        break;
                    }
                    while (pos < text.size() && isTextSpace(QChar(text[pos])))
                        ++pos;
                    while (k + 1 < t.text.size() && isTextSpace(t.text.at(k + 1)))
                        ++k;
                } else if (pos < text.size() && QChar(text[pos]) == want) {
                    ++pos;
                } else {
                    ok = false;
                }
            }
            break;
        case Kind::Day:
            ok = readNumber(2, day);
            break;
        case Kind::DayName: {
            qsizetype len = 0;
            ok = matchName(text.mid(pos), m_dayNames, len) >= 0;
            pos += len;
            break;
        }
        case Kind::Month:
            ok = readNumber(2, month);
            break;
        case Kind::MonthShortName:
        case Kind::MonthLongName: {
            qsizetype len = 0;
            int m = matchName(text.mid(pos), m_monthLong, len);
            if (m < 0)
                m = matchName(text.mid(pos), m_monthShort, len);
            ok = m >= 0;
            month = m + 1;
            pos += len;
            break;
        }
        case Kind::Year2:
            ok = readNumber(2, year);
            twoDigitYear = true;
            break;
        case Kind::Year4: {
            // A year typed with two digits is taken as a two-digit year.
            const qsizetype from = pos;
            ok = readNumber(4, year);
            twoDigitYear = twoDigitYear || pos - from <= 2;
            break;
        }
        case Kind::Hour24:
        case Kind::Hour12:
            ok = readNumber(2, hour);
            break;
        case Kind::Minute:
            ok = readNumber(2, minute);
            break;
        case Kind::Second:
            ok = readNumber(2, second);
            break;
        case Kind::Millis:
            ok = readNumber(3, millis);
            break;
        case Kind::AmPm: {
            const View rest = text.mid(pos);
            const bool isAm = !m_am.isEmpty() && rest.startsWith(m_am, Qt::CaseInsensitive);
            const bool isPm = !m_pm.isEmpty() && rest.startsWith(m_pm, Qt::CaseInsensitive);
            // The longer text wins where one begins with the other.
            if (isAm && (!isPm || m_am.size() >= m_pm.size())) {
                pm = 0;
                pos += m_am.size();
            } else if (isPm) {
                pm = 1;
                pos += m_pm.size();
            } else {
                ok = false;
            }
            break;
        }
        }
        if (!ok)
            return false;
    }
    while (pos < text.size() && isTextSpace(QChar(text[pos])))
        ++pos;
    if (pos != text.size())
        return false;
    if (twoDigitYear)
        year = placeTwoDigitYear(year);
    if (pm >= 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    // The lines of a file come a day at a time: the last day read is kept
    // (per thread, as patterns are shared).
    struct Day
    {
        int year = 0, month = 0, day = 0;
        QDate date;
    };
    thread_local Day last;
    if (year != last.year || month != last.month || day != last.day)
        last = {year, month, day, QDate(year, month, day)};
    date = last.date;
    if (!date.isValid())
        return false;
    msOfDay = ((hour * 60 + minute) * 60 + second) * 1000 + millis;
    return true;
}
