// Date, time and number texts after the regional formats.
#include "core/data/DateTimeText.h"

#include <QRandomGenerator>
#include <QTest>

#include <limits>
#include <vector>

namespace {

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return FrameworkTime::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

const QStringList kLocales{"en_US", "de_DE", "en_GB", "C", "fr_FR", "ja_JP", "zh_CN", "ko_KR", "fi_FI", "bg_BG",
                           "es_ES", "fr_CA", "sv_SE", "hu_HU", "nl_NL", "ar_EG", "fa_IR", "hi_IN", "th_TH", "cs_CZ"};

} // namespace

class TestTextFormats : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formats_data();
    void formats();
    void dateTimeTexts_data();
    void dateTimeTexts();
    void compiledFormatsMatchQt();
    void writtenDatesReadBack();
    void parsing_data();
    void parsing();
    void numbers_data();
    void numbers();
    void fixedMatchesQt();
    void readings_data();
    void readings();
    void rates_data();
    void rates();
    void parseNumbers_data();
    void parseNumbers();
    void utf8Writers_data();
    void utf8Writers();
};

void TestTextFormats::formats_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("longTime");
    QTest::newRow("en_US") << "en_US" << "M/d/yyyy" << "h:mm:ss AP";
    QTest::newRow("de_DE") << "de_DE" << "dd.MM.yyyy" << "HH:mm:ss";
    QTest::newRow("en_GB") << "en_GB" << "dd/MM/yyyy" << "HH:mm:ss";
    QTest::newRow("es_ES, zone in brackets") << "es_ES" << "d/M/yyyy" << "H:mm:ss";
    QTest::newRow("zh_CN, zone in front") << "zh_CN" << "yyyy/M/d" << "HH:mm:ss";
    QTest::newRow("bg_BG, quoted text") << "bg_BG" << "d.MM.yyyy 'г'." << "H:mm:ss 'ч'.";
}

void TestTextFormats::formats()
{
    QFETCH(QString, locale);
    QFETCH(QString, shortDate);
    QFETCH(QString, longTime);
    QCOMPARE(DateTimeText::shortDateFormat(QLocale(locale)), shortDate);
    QCOMPARE(DateTimeText::longTimeFormat(QLocale(locale)), longTime);
}

void TestTextFormats::dateTimeTexts_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("dateTime");      // the framework text
    QTest::addColumn<QString>("dateAndTime");   // a file line's first field
    QTest::newRow("en_US") << "en_US" << at(2009, 3, 1, 10, 20) << "3/1/2009 10:20:00 AM" << "3/1/2009 10:20:00 AM";
    QTest::newRow("en_US midnight") << "en_US" << at(2009, 3, 1) << "3/1/2009" << "3/1/2009 12:00:00 AM";
    QTest::newRow("en_US noon") << "en_US" << at(2009, 3, 1, 12) << "3/1/2009 12:00:00 PM" << "3/1/2009 12:00:00 PM";
    QTest::newRow("de_DE") << "de_DE" << at(2009, 3, 1, 22, 5, 9) << "01.03.2009 22:05:09" << "01.03.2009 22:05:09";
    QTest::newRow("de_DE midnight") << "de_DE" << at(2021, 12, 31) << "31.12.2021" << "31.12.2021 00:00:00";
    QTest::newRow("en_GB") << "en_GB" << at(2009, 3, 1, 22, 5, 9) << "01/03/2009 22:05:09" << "01/03/2009 22:05:09";
    QTest::newRow("C") << "C" << at(2009, 3, 1, 22, 5, 9) << "1 Mar 2009 22:05:09" << "1 Mar 2009 22:05:09";
    QTest::newRow("one ms before midnight") << "de_DE" << at(2009, 3, 1) - 0.0005 / 86400.0 << "01.03.2009"
                                           << "01.03.2009 00:00:00";
}

void TestTextFormats::dateTimeTexts()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(QString, dateTime);
    QFETCH(QString, dateAndTime);
    const DateTimeText texts{QLocale(locale)};
    QCOMPARE(texts.dateTime(value), dateTime);
    QCOMPARE(texts.dateAndTime(value), dateAndTime);
    QCOMPARE(texts.shortDate(value) + u' ' + texts.longTime(value), dateAndTime);
}

void TestTextFormats::compiledFormatsMatchQt()
{
    QRandomGenerator rng(518);
    for (const QString &name : kLocales) {
        const QLocale locale(name);
        const DateTimeText texts(locale);
        const QString format = DateTimeText::shortDateFormat(locale) + u' ' + DateTimeText::longTimeFormat(locale);
        for (int i = 0; i < 300; ++i) {
            const QDateTime dt(QDate(2000, 1, 1).addDays(rng.bounded(40000)),
                               QTime::fromMSecsSinceStartOfDay(int(rng.bounded(86400)) * 1000));
            QCOMPARE(texts.dateAndTime(FrameworkTime::fromDateTime(dt)), locale.toString(dt, format));
        }
    }
}

void TestTextFormats::writtenDatesReadBack()
{
    QRandomGenerator rng(42);
    for (const QString &name : kLocales) {
        const DateTimeText texts{QLocale(name)};
        for (int i = 0; i < 300; ++i) {
            const double x = at(2000, 1, 1) + rng.bounded(40000) + rng.bounded(86400) / 86400.0;
            const double rounded = FrameworkTime::fromDateTime(FrameworkTime::toDateTime(x));
            const std::optional<double> full = texts.parseDateTime(texts.dateAndTime(rounded));
            QVERIFY2(full, qPrintable(name + u' ' + texts.dateAndTime(rounded)));
            QCOMPARE(*full, rounded);
            const std::optional<double> framework = texts.parseDateTime(texts.dateTime(rounded));
            QVERIFY(framework);
            QCOMPARE(*framework, rounded);
            // A file line's text, read as the bytes it is when plain ASCII.
            const QByteArray ascii = texts.dateAndTime(rounded).toLatin1();
            if (QString::fromLatin1(ascii) == texts.dateAndTime(rounded))
                QCOMPARE(texts.parseDateTime(QLatin1StringView(ascii)), full);
        }
    }
}

void TestTextFormats::parsing_data()
{
    const int thisYear = QDate::currentDate().year();
    const int ahead = (thisYear + 60) % 100;   // 60 years ahead is 40 years back
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");   // 0: unreadable
    QTest::newRow("en_US written") << "en_US" << "3/1/2009 10:20:00 PM" << at(2009, 3, 1, 22, 20);
    QTest::newRow("en_US date only") << "en_US" << "3/1/2009" << at(2009, 3, 1);
    QTest::newRow("en_US two-digit year") << "en_US" << "3/1/09 10:20:00 AM" << at(2009, 3, 1, 10, 20);
    QTest::newRow("en_US two-digit year, far ahead")
        << "en_US" << QStringLiteral("3/1/%1").arg(ahead, 2, 10, QChar(u'0')) << at(thisYear - 40, 3, 1);
    QTest::newRow("en_US short time") << "en_US" << "3/1/2009 10:20 AM" << at(2009, 3, 1, 10, 20);
    QTest::newRow("en_US 12 AM") << "en_US" << "3/1/2009 12:05:00 AM" << at(2009, 3, 1, 0, 5);
    QTest::newRow("en_US lower-case pm") << "en_US" << "3/1/2009 1:05:00 pm" << at(2009, 3, 1, 13, 5);
    QTest::newRow("de_DE two-digit year") << "de_DE" << "01.03.09 22:05:09" << at(2009, 3, 1, 22, 5, 9);
    QTest::newRow("en_GB two-digit year") << "en_GB" << "01/03/09" << at(2009, 3, 1);
    QTest::newRow("de_DE blanks around") << "de_DE" << "  01.03.2009 22:05:09 " << at(2009, 3, 1, 22, 5, 9);
    QTest::newRow("en_GB") << "en_GB" << "31/12/2021 23:59:59" << at(2021, 12, 31, 23, 59, 59);
    QTest::newRow("C month name") << "C" << "1 mar 2009 10:20:00" << at(2009, 3, 1, 10, 20);
    QTest::newRow("month 13") << "en_GB" << "01/13/2009 10:00:00" << 0.0;
    QTest::newRow("30 February") << "en_GB" << "30/02/2009" << 0.0;
    QTest::newRow("hour 25") << "en_GB" << "01/03/2009 25:00:00" << 0.0;
    QTest::newRow("13 PM") << "en_US" << "3/1/2009 13:00:00 PM" << 0.0;
    QTest::newRow("other locale's order") << "de_DE" << "3/1/2009 10:20:00 AM" << 0.0;
    QTest::newRow("trailing text") << "en_GB" << "01/03/2009 10:00:00 x" << 0.0;
    // Texts as long as the format's fixed layout, and ones beside it.
    QTest::newRow("a letter among the digits") << "en_GB" << "01/0x/2009 10:00:00" << 0.0;
    QTest::newRow("another separator") << "en_GB" << "01-03-2009 10:00:00" << 0.0;
    QTest::newRow("one-digit day") << "en_GB" << "1/03/2009 10:00:00" << at(2009, 3, 1, 10);
    QTest::newRow("two blanks") << "en_GB" << "01/03/2009  10:00:00" << at(2009, 3, 1, 10);
    QTest::newRow("a tab for the blank") << "en_GB" << "01/03/2009\t10:00:00" << at(2009, 3, 1, 10);
    QTest::newRow("sv_SE year first") << "sv_SE" << "2009-03-01 10:20:00" << at(2009, 3, 1, 10, 20);
    QTest::newRow("empty") << "en_GB" << "" << 0.0;
    QTest::newRow("words") << "en_GB" << "garbage" << 0.0;
}

void TestTextFormats::parsing()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, value);
    const DateTimeText texts{QLocale(locale)};
    const std::optional<double> got = texts.parseDateTime(text);
    if (value == 0.0) {
        QVERIFY(!got);
    } else {
        QVERIFY(got);
        QCOMPARE(*got, value);
    }
    // Plain ASCII is read without widening it, to the same result.
    const QByteArray latin1 = text.toLatin1();
    if (QString::fromLatin1(latin1) == text)
        QCOMPARE(texts.parseDateTime(QLatin1StringView(latin1)), got);
}

void TestTextFormats::numbers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("25.0") << "en_US" << 25.0 << 1 << "25.0";
    QTest::newRow("25,0") << "de_DE" << 25.0 << 1 << "25,0";
    QTest::newRow("no group separator") << "en_US" << 9999.0 << 1 << "9999.0";
    QTest::newRow("no group separator, de") << "de_DE" << -9999.0 << 1 << "-9999,0";
    QTest::newRow("half away from zero") << "en_US" << 0.25 << 1 << "0.3";
    QTest::newRow("float below the half") << "en_US" << double(25.05f) << 1 << "25.0";
    QTest::newRow("three decimals") << "en_US" << double(47.84f) << 3 << "47.840";
    QTest::newRow("three decimals, de") << "de_DE" << 19.0 << 3 << "19,000";
    QTest::newRow("carry") << "en_US" << 9.96 << 1 << "10.0";
    QTest::newRow("small negative") << "en_US" << -0.04 << 1 << "-0.0";
    QTest::newRow("7 significant digits, one decimal") << "en_US" << 1234567.89 << 1 << "1234568.0";
    QTest::newRow("7 significant digits, three decimals") << "en_US" << 12345.6789 << 3 << "12345.680";
    QTest::newRow("minus sign of sv_SE") << "sv_SE" << -1.5 << 1 << QString(QChar(0x2212)) + "1,5";
}

void TestTextFormats::numbers()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(DateTimeText(QLocale(locale)).fixed(value, decimals), text);
}

void TestTextFormats::fixedMatchesQt()
{
    // Where 7 significant digits do not cut, the text is Qt's fixed form.
    QRandomGenerator rng(7);
    for (const char *name : {"en_US", "de_DE", "fi_FI", "ar_EG"}) {
        QLocale locale(name);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const DateTimeText texts(locale);
        for (int i = 0; i < 20000; ++i) {
            const float reading = float(int(rng.bounded(60000)) - 30000) / 10.0f;
            QCOMPARE(texts.oneDecimal(reading), locale.toString(double(reading), 'f', 1));
            const double average = (rng.generateDouble() - 0.5) * 6000.0;
            QCOMPARE(texts.threeDecimals(average), locale.toString(average, 'f', 3));
        }
    }
}

void TestTextFormats::readings_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("3000") << 3000.0f << "3000.0";
    QTest::newRow("-3000") << -3000.0f << "-3000.0";
    QTest::newRow("3000.1") << 3000.1f << "OL";
    QTest::newRow("-3000.1") << -3000.1f << "OL";
    QTest::newRow("9999") << 9999.0f << "OL";
    QTest::newRow("-9999") << -9999.0f << "OL";
    QTest::newRow("25.3") << 25.3f << "25.3";
}

void TestTextFormats::readings()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(DateTimeText(QLocale(QStringLiteral("en_US"))).reading(value), text);
}

void TestTextFormats::rates_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("box");
    QTest::newRow("0") << qint64(0) << "00:00" << "00:00";
    QTest::newRow("5") << qint64(5) << "00:05" << "00:05";
    QTest::newRow("90") << qint64(90) << "01:30" << "01:30";
    QTest::newRow("3600") << qint64(3600) << "60:00" << "60:00";
    QTest::newRow("6000") << qint64(6000) << "100:00" << "00:00";
    QTest::newRow("6059") << qint64(6059) << "100:59" << "00:59";
}

void TestTextFormats::rates()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, column);
    QFETCH(QString, box);
    QCOMPARE(DateTimeText::rateColumn(seconds), column);
    QCOMPARE(DateTimeText::samplingRate(seconds), box);
}

void TestTextFormats::parseNumbers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");   // NaN: unreadable
    const double none = qQNaN();
    QTest::newRow("25.0") << "en_US" << "25.0" << 25.0;
    QTest::newRow("25,0") << "de_DE" << "25,0" << 25.0;
    QTest::newRow("blanks") << "en_US" << " -1.5 " << -1.5;
    QTest::newRow("no decimals") << "en_US" << "12" << 12.0;
    QTest::newRow("exponent") << "en_US" << "1.5e2" << 150.0;
    QTest::newRow("sv_SE minus") << "sv_SE" << QString(QChar(0x2212)) + "1,5" << -1.5;
    QTest::newRow("point in de_DE") << "de_DE" << "25.0" << none;
    QTest::newRow("group separator") << "en_US" << "9,999.0" << none;
    QTest::newRow("letters") << "en_US" << "abc" << none;
    QTest::newRow("empty") << "en_US" << "" << none;
    QTest::newRow("sign only") << "en_US" << "-" << none;
}

void TestTextFormats::parseNumbers()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, value);
    const DateTimeText texts{QLocale(locale)};
    const std::optional<double> got = texts.parseNumber(text);
    if (qIsNaN(value)) {
        QVERIFY(!got);
    } else {
        QVERIFY(got);
        QCOMPARE(*got, value);
    }
    const QByteArray latin1 = text.toLatin1();
    if (QString::fromLatin1(latin1) == text)
        QCOMPARE(texts.parseNumber(QLatin1StringView(latin1)), got);
}

void TestTextFormats::utf8Writers_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &name : kLocales)
        QTest::newRow(qPrintable(name)) << name;
}

// The UTF-8 forms a file writer uses are the bytes of the texts: every reading
// in tenths, floats between them, the edges, and dates across the years.
void TestTextFormats::utf8Writers()
{
    QFETCH(QString, locale);
    const DateTimeText texts{QLocale(locale)};
    if (!texts.writesUtf8())
        QSKIP("The regional formats of this locale are written through Qt.");
    std::vector<float> readings{0.0f, -0.0f, 0.05f, -0.05f, 0.25f, -0.04f, 25.05f, 2999.95f, -2999.95f,
                                3000.0f, -3000.0f, 3000.1f, 9999.0f, -9999.0f, 1e-30f, -1e-30f,
                                std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity()};
    for (int tenths = -30000; tenths <= 30000; ++tenths)
        readings.push_back(float(tenths) / 10.0f);
    QRandomGenerator rng(518);
    for (int i = 0; i < 100000; ++i)
        readings.push_back(float((rng.generateDouble() - 0.5) * 6000.0));
    QByteArray buffer(qMax(texts.readingUtf8Bound(), texts.dateAndTimeUtf8Bound()), Qt::Uninitialized);
    const auto written = [&](const char *end) { return QByteArray(buffer.data(), end - buffer.data()); };
    // The writer of many lines twice over, from the texts it keeps the second time.
    DateTimeText::Utf8Writer writer(texts);
    for (int pass = 0; pass < 2; ++pass) {
        for (const float v : readings) {
            const QByteArray text = texts.reading(v).toUtf8();
            QCOMPARE(written(texts.writeReadingUtf8(buffer.data(), v)), text);
            QCOMPARE(written(writer.reading(buffer.data(), v)), text);
        }
    }
    // Random dates, and the seconds of one day through midnight.
    for (int i = 0; i < 4000; ++i) {
        const double days = i < 2000 ? (rng.generateDouble() - 0.3) * 100000.0 : 40000.9 + (i - 2000) * 97 / 86400.0;
        const QByteArray text = texts.dateAndTime(days).toUtf8();
        QCOMPARE(written(texts.writeDateAndTimeUtf8(buffer.data(), days)), text);
        QCOMPARE(written(writer.dateAndTime(buffer.data(), days)), text);
    }
}

QTEST_GUILESS_MAIN(TestTextFormats)
#include "tst_textformats.moc"
