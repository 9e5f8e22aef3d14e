// The report's layout and the text listing's arithmetic, without a printer.
#include "ImageBuilder.h"

#include "core/chart/DataListModel.h"
#include "core/data/TDataSetStore.h"
#include "core/report/ReportLayout.h"
#include "core/report/TextListing.h"
#include "Outcome.h"

#include <QTest>
#include <QTimeZone>

namespace {

ReportData samples(int n, double start = 45000.5)
{
    ReportData d;
    d.fileName = QStringLiteral("x.518");
    for (int i = 0; i < n; ++i) {
        d.x.push_back(start + i / 1440.0);
        d.humidity.push_back(40.0f + i % 7);
        d.temperature.push_back(20.0f + i % 5);
    }
    return d;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void listingPages_data();
    void listingPages();
    void listingLine();
    void reportPages_data();
    void reportPages();
    void tableRowsAreTheDataListsTexts();
    void statisticsAreThePanelsTexts();
    void headerOfADataSet();
    void limitsAndMeanKineticTemperature_data();
    void limitsAndMeanKineticTemperature();
    void timeWindow();
    void parseTime_data();
    void parseTime();
};

void TestReport::listingPages_data()
{
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<int>("linesPerPage");
    QTest::addColumn<int>("pages");
    // 23 lines fit; rounded down to 20: 20 + 5.
    QTest::newRow("25 rows, 23-line page") << 10 << 15 * 23 + 7 << 25 << 15 << 20 << 2;
    QTest::newRow("exactly one page") << 10 << 15 * 40 << 40 << 15 << 40 << 1;
    QTest::newRow("one over") << 10 << 15 * 40 << 41 << 15 << 40 << 2;
    // Fewer than ten lines: as many as fit.
    QTest::newRow("short page, 7 lines") << 10 << 15 * 7 + 3 << 25 << 15 << 7 << 4;
    QTest::newRow("shorter than a line") << 10 << 9 << 3 << 15 << 1 << 3;
    QTest::newRow("1.5 times truncated") << 11 << 160 << 1 << 16 << 10 << 1;
}

void TestReport::listingPages()
{
    QFETCH(int, textHeight);
    QFETCH(int, pageHeight);
    QFETCH(int, rows);
    QFETCH(int, lineHeight);
    QFETCH(int, linesPerPage);
    QFETCH(int, pages);
    const TextListing l(textHeight, pageHeight);
    QCOMPARE(l.lineHeight(), lineHeight);
    QCOMPARE(l.linesPerPage(), linesPerPage);
    QCOMPARE(l.pageCount(rows), pages);
    int breaks = 0;
    for (int r = 0; r < rows; ++r) {
        breaks += l.startsPage(r) ? 1 : 0;
        QCOMPARE(l.pageOf(r), breaks);
        // Every line lies inside its page, the first one line height down.
        QCOMPARE(l.y(r), (r % linesPerPage + 1) * lineHeight);
    }
    QCOMPARE(breaks + 1, pages);
}

void TestReport::listingLine()
{
    QCOMPARE(TextListing::line({QStringLiteral("No"), QStringLiteral("DATE")}), QStringLiteral("No      DATE      "));
    QCOMPARE(TextListing::line({}), QString());
}

void TestReport::reportPages_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("table");
    QTest::addColumn<int>("pages");
    QTest::newRow("none") << 0 << true << 1;
    QTest::newRow("one") << 1 << true << 2;
    QTest::newRow("50") << 50 << true << 2;
    QTest::newRow("51") << 51 << true << 3;
    QTest::newRow("1000") << 1000 << true << 21;
    QTest::newRow("1000 without table") << 1000 << false << 1;
}

void TestReport::reportPages()
{
    QFETCH(int, samples);
    QFETCH(bool, table);
    QFETCH(int, pages);
    const ReportData d = ::samples(samples);
    const DateTimeText texts(QLocale(QStringLiteral("en_US")));
    ReportOptions options;
    options.table = table;
    const ReportLayout layout(d, texts, options);
    QCOMPARE(layout.pageCount(), pages);
    qsizetype rows = 0;
    for (int p = 0; p < layout.tablePages(); ++p) {
        QCOMPARE(layout.firstRowOf(p), rows);
        QVERIFY(layout.rowCountOf(p) >= 1 && layout.rowCountOf(p) <= ReportLayout::RowsPerPage);
        rows += layout.rowCountOf(p);
    }
    QCOMPARE(rows, table ? qsizetype(samples) : 0);
    QCOMPARE(ReportLayout::pageNumber(2, pages), QStringLiteral("Page 2 of %1").arg(pages));
}

void TestReport::tableRowsAreTheDataListsTexts()
{
    ReportData d = samples(3);
    d.humidity[1] = 9999.0f;
    d.temperature[2] = -9999.0f;
    const DateTimeText texts(QLocale(QStringLiteral("de_DE")));
    const ReportLayout layout(d, texts);
    QCOMPARE(ReportLayout::tableHeadings(), (QStringList{"No", "DATE", "TIME", "HUMIDITY", "Temp"}));
    const QStringList row = layout.tableRow(1);
    QCOMPARE(row.at(0), QStringLiteral("2"));
    QCOMPARE(row.at(1), texts.shortDate(d.x[1]));
    QCOMPARE(row.at(2), texts.longTime(d.x[1]));
    QCOMPARE(row.at(3), QStringLiteral("OL"));
    QCOMPARE(row.at(4), QStringLiteral("21,0"));
    // The temperature column shows the marker, as the data list does.
    QCOMPARE(layout.tableRow(2).at(4), QStringLiteral("-9999,0"));
    QVERIFY(layout.tableRow(3).isEmpty());
}

void TestReport::statisticsAreThePanelsTexts()
{
    ReportData d = samples(100);
    d.humidity[10] = 9999.0f;
    const DateTimeText texts(QLocale(QStringLiteral("en_GB")));
    const ReportLayout layout(d, texts);
    const SetStatistics s = Statistics::wholeSet(d.series());
    for (int c = 0; c < 2; ++c) {
        const StatisticsTexts panel = Statistics::panelTexts(s, c, texts);
        const ReportLayout::ChannelTexts t = layout.statistics(c);
        QCOMPARE(t.maximum, panel.maximum);
        QCOMPARE(t.minimum, panel.minimum);
        QCOMPARE(t.average, panel.average);
    }
    QCOMPARE(layout.statistics(0).maximum, QStringLiteral("OL"));
    QCOMPARE(layout.statistics(1).name, QStringLiteral("Temperature"));
    // No samples: nothing to state.
    const ReportData empty;
    QCOMPARE(ReportLayout(empty, texts).statistics(0).maximum, QString());
}

void TestReport::headerOfADataSet()
{
    const QByteArray image = ImageBuilder()
                                 .add(ImageSet().ramp(10, 500, 1, 200, 1))
                                 .add(ImageSet().every(120).fahrenheit().ramp(30, 500, 1, 700, 1))
                                 .build();
    TDataSetStore store;
    QCOMPARE(outcome(store.load(image, image.size())), QStringLiteral("ok"));
    const ReportData d = ReportData::fromStore(store, 1, QStringLiteral("field.518"));
    const DateTimeText texts(QLocale(QStringLiteral("en_US")));
    const ReportLayout layout(d, texts);
    QStringList shown;
    for (const ReportLayout::Field &f : layout.headerFields())
        shown << f.label + u'=' + f.value;
    QCOMPARE(shown, (QStringList{"File=field.518", "Data Set=2",
                                 "Start Time=" + texts.dateTime(store.StartTimes().at(1)),
                                 "Sampling Rate=" + DateTimeText::samplingRate(store.Intervals().at(1)) + " mm:ss",
                                 "Data No.=30", "Unit=F"}));
    QCOMPARE(d.points(), 30);
    QCOMPARE(d.temperature.front(), store.Values().at(2 * store.firstSample(1) + 1));
    QVERIFY(layout.runningHeader().startsWith(QStringLiteral("field.518   Data Set 2")));
    QCOMPARE(layout.fingerprint(), QString());

    // An archived run carries its fingerprint on every page and its note on the first.
    ReportData archived = d;
    archived.archived = ReportProvenance{QStringLiteral("0123456789abcdef0123"), 7,
                                         QDateTime(QDate(2026, 3, 1), QTime(9, 30), QTimeZone::utc()), "A note."};
    const ReportLayout archivedLayout(archived, texts);
    QCOMPARE(archivedLayout.fingerprint(),
             QStringLiteral("Archived run: fingerprint 0123456789abcdef, download 7 of 2026-03-01 09:30:00 UTC"));
    QCOMPARE(archivedLayout.headerFields().last().value, QStringLiteral("A note."));
}

void TestReport::limitsAndMeanKineticTemperature_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("mkt");
    // samples(10): temperatures 20 21 22 23 24 20 21 22 23 24, one a minute.
    QTest::newRow("Celsius set") << "C" << "22.1 C";
    QTest::newRow("Fahrenheit set") << "F" << "22.1 F";   // 22.073 F, the same readings as degrees F
    QTest::newRow("a file says no unit") << "" << "22.1 C (readings taken as C)";
}

void TestReport::limitsAndMeanKineticTemperature()
{
    QFETCH(QString, unit);
    QFETCH(QString, mkt);
    ReportData d = samples(10);
    d.unit = unit;
    const DateTimeText texts(QLocale(QStringLiteral("en_GB")));
    ReportOptions options;
    options.limits[1] = {std::nullopt, 22.0};
    const ReportLayout layout(d, texts, options);
    QCOMPARE(layout.meanKineticTemperature(), mkt);
    QVERIFY(!layout.hasLimits(0));
    QCOMPARE(layout.limitStatistics(0).above, QString());
    const ReportLayout::LimitTexts t = layout.limitStatistics(1);
    QCOMPARE(t.limits, QStringLiteral("up to 22.0"));
    // 23 and 24 twice: two runs of two minutes, on the file's estimated interval.
    QCOMPARE(t.above, QStringLiteral("4 samples, 0:04:00, 2 excursions, longest 0:02:00 from ")
                          + texts.dateTime(d.x[3]));
    QCOMPARE(t.below, QStringLiteral("none"));
    QCOMPARE(t.within, QStringLiteral("60.0 %"));
    // No reading: no figure.
    QCOMPARE(ReportLayout(ReportData(), texts, options).meanKineticTemperature(), QStringLiteral("****"));
}

void TestReport::timeWindow()
{
    const ReportData d = samples(10);
    const ReportData w = d.window(d.x[3], d.x[6]);
    QCOMPARE(w.points(), 4);
    QCOMPARE(w.humidity.front(), d.humidity[3]);
    QCOMPARE(d.window(std::nullopt, d.x[0]).points(), 1);
    QCOMPARE(d.window(d.x[9] + 1.0, std::nullopt).points(), 0);
    const DateTimeText texts(QLocale(QStringLiteral("en_US")));
    ReportOptions options;
    options.from = d.x[3];
    QCOMPARE(ReportLayout(w, texts, options).headerFields().last().label, QStringLiteral("From"));
    // A window of an archived run still names the run its samples came from.
    ReportData archived = samples(10);
    archived.archived = ReportProvenance{QStringLiteral("0123456789abcdef"), 3, {}, {}, {}};
    QVERIFY(ReportLayout(archived.window(archived.x[3], std::nullopt), texts).fingerprint().contains(u"0123456789abcdef"));
}

void TestReport::parseTime_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime t(QDate(2026, 3, 1), QTime(10, 5, 0));
    QTest::newRow("ISO") << "en_US" << "2026-03-01T10:05:00" << t;
    QTest::newRow("ISO date") << "en_US" << "2026-03-01" << QDateTime(QDate(2026, 3, 1), QTime(0, 0));
    QTest::newRow("locale de") << "de_DE" << "01.03.2026 10:05:00" << t;
    QTest::newRow("nonsense") << "en_US" << "soon" << QDateTime();
}

void TestReport::parseTime()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const std::optional<double> got = ReportLayout::parseTime(text, DateTimeText(QLocale(locale)));
    QCOMPARE(got.has_value(), expected.isValid());
    if (got)
        QCOMPARE(FrameworkTime::toDateTime(*got), expected);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
