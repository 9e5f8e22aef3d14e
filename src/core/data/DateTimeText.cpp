#include "core/data/DateTimeText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
constexpr int kSignificantDigits = 7;

// Applies f to every unquoted run of equal characters of a Qt format,
// copying quoted text unchanged; f returns the replacement of the run.
template<typename F>
QString rewriteRuns(const QString &format, F f)
{
    QString out;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            out += format.mid(i, stop - i);
            i = stop;
            continue;
        }
        qsizetype n = 1;
        while (i + n < format.size() && format.at(i + n) == c)
            ++n;
        out += f(c, n);
        i += n;
    }
    return out;
}

QString withoutTimeZone(const QString &format)
{
    QString out = rewriteRuns(format, [](QChar c, qsizetype n) {
        return c == u't' ? QString() : QString(n, c);
    });
    out.replace(QLatin1String("()"), QString());
    while (out.contains(QLatin1String("  ")))
        out.replace(QLatin1String("  "), QLatin1String(" "));
    return out.trimmed();
}

} // namespace

namespace FrameworkTime {

double fromDateTime(const QDateTime &dt)
{
    return fromDate(dt.date(), dt.time().msecsSinceStartOfDay());
}

QString isoText(const QDateTime &naive)
{
    if (!naive.date().isValid() || !naive.time().isValid())
        return QString();
    return naive.date().toString(Qt::ISODate) + u'T' + naive.time().toString(Qt::ISODate);
}

QString isoText(double days)
{
    QDate date;
    int ms = 0;
    if (!split(days, date, ms))
        return QString();
    return isoText(QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms), Qt::LocalTime));
}

double fromDate(QDate date, int msOfDay)
{
    const qint64 days = kEpoch.daysTo(date);
    return double(days) + double(msOfDay) / double(kMsPerDay);
}

bool split(double days, QDate &date, int &msOfDay)
{
    if (!std::isfinite(days) || std::fabs(days) > 1e9)
        return false;
    // Round to the millisecond first, so 0.5 s steps never drift to the previous second.
    const double totalMs = std::round(days * double(kMsPerDay));
    qint64 whole = qint64(std::floor(totalMs / double(kMsPerDay)));
    qint64 ms = qint64(totalMs - double(whole) * double(kMsPerDay));
    if (ms < 0) {
        ms += kMsPerDay;
        --whole;
    } else if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++whole;
    }
    date = kEpoch.addDays(whole);
    msOfDay = int(ms);
    return true;
}

QDateTime toDateTime(double days)
{
    QDate date;
    int ms = 0;
    if (!split(days, date, ms))
        return QDateTime();
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms), Qt::LocalTime);
}

} // namespace FrameworkTime

DateTimeText::DateTimeText(const QLocale &locale)
    : m_locale(locale)
{
    m_locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    m_decimalPoint = m_locale.decimalPoint().isEmpty() ? QChar(u'.') : m_locale.decimalPoint().at(0);
    m_negativeSign = m_locale.negativeSign();
    m_asciiDigits = m_locale.zeroDigit() == QLatin1String("0");
    m_plainMinus = m_negativeSign == QLatin1String("-");
    m_negativeSignUtf8 = m_negativeSign.toUtf8();
    m_decimalPointUtf8 = QString(m_decimalPoint).toUtf8();
    m_nanUtf8 = m_locale.toString(std::numeric_limits<double>::quiet_NaN(), 'f', 1).toUtf8();
    m_negativeNanUtf8 = m_locale.toString(-std::numeric_limits<double>::quiet_NaN(), 'f', 1).toUtf8();
    // "OL", or a sign, at most four digits, the point and one digit.
    m_readingUtf8Bound = std::max({m_nanUtf8.size(), m_negativeNanUtf8.size(),
                                   m_negativeSignUtf8.size() + 5 + m_decimalPointUtf8.size()});

    const QString date = shortDateFormat(m_locale);
    const QString time = longTimeFormat(m_locale);
    m_shortDate = DateTimePattern(date, m_locale);
    m_longTime = DateTimePattern(time, m_locale);
    m_dateAndTime = DateTimePattern(date + u' ' + time, m_locale);

    // What the program writes comes first; the rest accepts dates typed
    // after the regional formats as they stand.
    const QString rawDate = m_locale.dateFormat(QLocale::ShortFormat);
    const QString shortTime = withoutTimeZone(m_locale.timeFormat(QLocale::ShortFormat));
    QStringList formats{date + u' ' + time, date, date + u' ' + shortTime};
    if (rawDate != date)
        formats << rawDate + u' ' + time << rawDate << rawDate + u' ' + shortTime;
    formats.removeDuplicates();
    for (const QString &f : formats)
        m_readPatterns.emplace_back(f, m_locale);
    m_writesUtf8 = m_asciiDigits && m_dateAndTime.isCompiled();
}

QString DateTimeText::shortDateFormat(const QLocale &locale)
{
    return rewriteRuns(locale.dateFormat(QLocale::ShortFormat), [](QChar c, qsizetype n) {
        return (c == u'y' && n >= 2 && n < 4) ? QStringLiteral("yyyy") : QString(n, c);
    });
}

QString DateTimeText::longTimeFormat(const QLocale &locale)
{
    return withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString DateTimeText::formatWithQt(const QString &format, QDate date, int msOfDay) const
{
    return m_locale.toString(QDateTime(date, QTime::fromMSecsSinceStartOfDay(msOfDay), Qt::LocalTime), format);
}

QString DateTimeText::shortDate(double days) const
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return QString();
    if (!m_shortDate.isCompiled())
        return formatWithQt(m_shortDate.format(), date, ms);
    QString out;
    m_shortDate.append(out, date, ms);
    return out;
}

QString DateTimeText::longTime(double days) const
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return QString();
    if (!m_longTime.isCompiled())
        return formatWithQt(m_longTime.format(), date, ms);
    QString out;
    m_longTime.append(out, date, ms);
    return out;
}

QString DateTimeText::dateTime(double days) const
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return QString();
    if (ms == 0)
        return shortDate(days);
    return dateAndTime(days);
}

QString DateTimeText::dateAndTime(double days) const
{
    QString out;
    appendDateAndTime(out, days);
    return out;
}

void DateTimeText::appendDateAndTime(QString &out, double days) const
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return;
    if (m_dateAndTime.isCompiled())
        m_dateAndTime.append(out, date, ms);
    else
        out += formatWithQt(m_dateAndTime.format(), date, ms);
}

char *DateTimeText::writeDateAndTimeUtf8(char *p, double days) const
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return p;
    return m_dateAndTime.writeUtf8(p, date, ms);
}

namespace {

char *writeBytes(char *p, const QByteArray &bytes)
{
    std::memcpy(p, bytes.constData(), size_t(bytes.size()));
    return p + bytes.size();
}

} // namespace

char *DateTimeText::writeReadingUtf8(char *p, float value) const
{
    if (value > 3000.0f || value < -3000.0f) {
        *p++ = 'O';
        *p++ = 'L';
        return p;
    }
    if (std::isnan(value))
        return writeBytes(p, std::signbit(value) ? m_negativeNanUtf8 : m_nanUtf8);
    // A float times ten is exact in a double, so the tenths round half away
    // from zero here just as appendFixed() rounds its 17 leading digits: no
    // float lies within 1e-9 of a half tenth (or of a tenth) without being
    // one, so those digits never fall on the other side of it.
    const double tenths = std::fabs(double(value)) * 10.0;
    double whole = std::floor(tenths);
    if (tenths - whole >= 0.5)
        whole += 1.0;
    const int n = int(whole);
    if (value < 0)
        p = writeBytes(p, m_negativeSignUtf8);
    int integer = n / 10;
    char digits[8];
    int k = 0;
    do {
        digits[k++] = char('0' + integer % 10);
        integer /= 10;
    } while (integer);
    while (k > 0)
        *p++ = digits[--k];
    if (m_decimalPointUtf8.size() == 1)
        *p++ = m_decimalPointUtf8.front();
    else
        p = writeBytes(p, m_decimalPointUtf8);
    *p++ = char('0' + n % 10);
    return p;
}

DateTimeText::Utf8Writer::Utf8Writer(const DateTimeText &texts)
    : m_texts(texts)
    , m_keepsReadings(texts.readingUtf8Bound() <= qsizetype(sizeof(Text::bytes)))
{
    if (m_keepsReadings)
        m_readings.resize(4096);
}

char *DateTimeText::Utf8Writer::dateAndTime(char *p, double days)
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return p;
    if (date.toJulianDay() != m_julianDay) {
        m_julianDay = date.toJulianDay();
        m_day = DateTimePattern::partsOf(date);
    }
    return m_texts.m_dateAndTime.writeUtf8(p, m_day, ms);
}

char *DateTimeText::Utf8Writer::reading(char *p, float value)
{
    if (!m_keepsReadings)
        return m_texts.writeReadingUtf8(p, value);
    const quint32 bits = std::bit_cast<quint32>(value);
    Text &kept = m_readings[(bits * 2654435761u) >> 20];
    if (kept.size == 0 || kept.bits != bits) {
        kept.bits = bits;
        kept.size = quint8(m_texts.writeReadingUtf8(kept.bytes, value) - kept.bytes);
    }
    std::memcpy(p, kept.bytes, kept.size);
    return p + kept.size;
}

QString DateTimeText::clock(double days)
{
    QDate date;
    int ms = 0;
    if (!FrameworkTime::split(days, date, ms))
        return QString();
    return QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("hh:mm:ss"));
}

QString DateTimeText::fixed(double value, int decimals) const
{
    QString out;
    appendFixed(out, value, decimals);
    return out;
}

void DateTimeText::appendFixed(QString &out, double value, int decimals) const
{
    if (!std::isfinite(value) || !m_asciiDigits) {
        out += m_locale.toString(value, 'f', decimals);
        return;
    }
    // The 18 leading digits of the value, then rounded half away from zero
    // at the last digit kept: the framework's fixed conversion keeps at most
    // 7 significant digits and pads the rest of the decimals with zeros.
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 17);
    char digits[20];
    int nDigits = 0;
    const char *p = buf;
    for (; p < res.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits[nDigits++] = *p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), res.ptr, exponent);
    if (exponent + 1 > kSignificantDigits) {
        out += m_locale.toString(value, 'e', kSignificantDigits - 1);
        return;
    }

    // kept = number of leading digits that stay; digit k decides the rounding.
    int kept = qMin(kSignificantDigits, exponent + 1 + decimals);
    if (kept < 0) {
        kept = 0;
        nDigits = 0;
    }
    bool roundUp = kept < nDigits && digits[kept] >= '5';
    nDigits = qMin(nDigits, kept);
    if (roundUp) {
        int i = nDigits - 1;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[i];
        } else {
            std::memmove(digits + 1, digits, size_t(nDigits));
            digits[0] = '1';
            ++nDigits;
            ++exponent;
        }
    }
    // digits[j] stands for 10^(exponent - j).
    auto digitAt = [&](int power) -> char16_t {
        const int j = exponent - power;
        return (j >= 0 && j < nDigits) ? char16_t(digits[j]) : u'0';
    };
    if (value < 0)
        out += m_negativeSign;
    for (int power = qMax(exponent, 0); power >= 0; --power)
        out += QChar(digitAt(power));
    if (decimals > 0) {
        out += m_decimalPoint;
        for (int power = -1; power >= -decimals; --power)
            out += QChar(digitAt(power));
    }
}

QString DateTimeText::reading(float value) const
{
    QString out;
    appendReading(out, value);
    return out;
}

void DateTimeText::appendReading(QString &out, float value) const
{
    if (value > 3000.0f || value < -3000.0f)
        out += QLatin1String("OL");
    else
        appendFixed(out, value, 1);
}

QString DateTimeText::rateColumn(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
}

QString DateTimeText::samplingRate(qint64 seconds)
{
    auto part = [](qint64 n) { return (u'0' + QString::number(n)).right(2); };
    return part(seconds / 60) + u':' + part(seconds % 60);
}

bool DateTimeText::parseWithQt(const QString &format, QStringView text, QDate &date, int &msOfDay) const
{
    const QDateTime dt = m_locale.toDateTime(text.toString().trimmed(), format);
    if (!dt.isValid())
        return false;
    date = dt.date();
    // Qt reads "yy" as 19yy; the program places it within 50 years of today.
    if (format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"))) {
        const int thisYear = QDate::currentDate().year();
        int year = thisYear - thisYear % 100 + date.year() % 100;
        if (year > thisYear + 50)
            year -= 100;
        else if (year <= thisYear - 50)
            year += 100;
        date = QDate(year, date.month(), date.day());
    }
    msOfDay = dt.time().msecsSinceStartOfDay();
    return date.isValid();
}

namespace {

QString toQString(QStringView text)
{
    return text.toString();
}

QString toQString(QLatin1StringView text)
{
    return QString(text);
}

} // namespace

std::optional<double> DateTimeText::parseDateTime(QStringView text) const
{
    return parseDateTimeText(text);
}

std::optional<double> DateTimeText::parseDateTime(QLatin1StringView ascii) const
{
    return parseDateTimeText(ascii);
}

std::optional<double> DateTimeText::parseNumber(QStringView text) const
{
    return parseNumberText(text);
}

std::optional<double> DateTimeText::parseNumber(QLatin1StringView ascii) const
{
    return parseNumberText(ascii);
}

template<typename View>
std::optional<double> DateTimeText::parseDateTimeText(View text) const
{
    QDate date;
    int ms = 0;
    for (const DateTimePattern &p : m_readPatterns) {
        const bool ok = p.isCompiled() ? p.parse(text, date, ms) : parseWithQt(p.format(), toQString(text), date, ms);
        if (ok)
            return FrameworkTime::fromDate(date, ms);
    }
    return std::nullopt;
}

namespace {

bool isAsciiBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

template<typename View>
std::optional<double> DateTimeText::parseNumberText(View text) const
{
    if constexpr (std::is_same_v<View, QLatin1StringView>) {
        // The common case straight from the bytes: blanks, a plain sign, at
        // most 15 significant digits and the decimal point, all of the text.
        // Anything else goes the general way below, which reads these alike.
        if (m_asciiDigits && m_plainMinus && m_decimalPoint.unicode() < 0x80) {
            const char *p = text.data();
            const char *e = p + text.size();
            while (p < e && isAsciiBlank(*p))
                ++p;
            while (e > p && isAsciiBlank(e[-1]))
                --e;
            const bool negative = p < e && *p == '-';
            if (p < e && (*p == '-' || *p == '+'))
                ++p;
            const char point = char(m_decimalPoint.unicode());
            quint64 mantissa = 0;
            int digits = 0, significant = 0, decimals = 0;
            bool seenPoint = false;
            for (; p < e; ++p) {
                const char c = *p;
                if (c >= '0' && c <= '9') {
                    mantissa = mantissa * 10 + quint64(c - '0');
                    ++digits;
                    significant += mantissa != 0;
                    decimals += seenPoint;
                } else if (c == point && !seenPoint) {
                    seenPoint = true;
                } else {
                    break;
                }
            }
            static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                                1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
            if (p == e && digits > 0 && significant <= 15 && decimals <= 22 && digits + 2 < 63) {
                const double v = double(mantissa) / powers[decimals];
                return negative ? -v : v;
            }
        }
    }
    text = text.trimmed();
    // Plain "-123.4" with the locale's sign and decimal point, read exactly.
    char buf[64];
    int n = 0;
    qsizetype i = 0;
    // A plain minus is read by the branch after this one just the same.
    if (!m_plainMinus && text.startsWith(m_negativeSign) && !m_negativeSign.isEmpty()) {
        buf[n++] = '-';
        i = m_negativeSign.size();
    } else if (i < text.size() && QChar(text[i]) == u'-') {
        buf[n++] = '-';
        ++i;
    } else if (i < text.size() && QChar(text[i]) == u'+') {
        ++i;
    }
    bool digits = false;
    bool point = false;
    bool plain = m_asciiDigits;
    // The digits as an integer too, and how many follow the point.
    quint64 mantissa = 0;
    int significant = 0;
    int decimals = 0;
    for (; i < text.size() && plain; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9' && n < int(sizeof buf) - 1) {
            buf[n++] = char(c.unicode());
            digits = true;
            mantissa = mantissa * 10 + (c.unicode() - u'0');
            if (mantissa != 0)
                ++significant;
            if (point)
                ++decimals;
        } else if (c == m_decimalPoint && !point && n < int(sizeof buf) - 1) {
            buf[n++] = '.';
            point = true;
        } else {
            plain = false;
        }
    }
    if (plain) {
        if (!digits)
            return std::nullopt;
        // A readings' few digits: an integer below 2^53 divided by an exact
        // power of ten is the correctly rounded value, as from_chars gives it.
        static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        if (significant <= 15 && decimals <= 22) {
            const double v = double(mantissa) / powers[decimals];
            return buf[0] == '-' ? -v : v;
        }
        double v = 0;
        const auto res = std::from_chars(buf, buf + n, v);
        if (res.ec != std::errc() || res.ptr != buf + n)
            return std::nullopt;
        return v;
    }
    bool ok = false;
    const double v = m_locale.toDouble(toQString(text), &ok);
    if (!ok)
        return std::nullopt;
    return v;
}
