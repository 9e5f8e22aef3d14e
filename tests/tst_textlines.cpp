// Text data files: the line written for a point, and the two reading passes.
#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"
#include "Outcome.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

namespace {

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return FrameworkTime::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

struct Read
{
    Result<> status;
    TextFileExtent extent;
    TextFilePoints points;
};

Read readBytes(const QByteArray &bytes, QChar separator, const DateTimeText &texts)
{
    Read r;
    QBuffer first;
    first.setData(bytes);
    first.open(QIODevice::ReadOnly);
    const Result<TextFileExtent> scanned = TextDataFile::scan(first, separator, texts);
    if (!scanned) {
        r.status = scanned.failure();
        return r;
    }
    r.extent = *scanned;
    QBuffer second;
    second.setData(bytes);
    second.open(QIODevice::ReadOnly);
    r.status = TextDataFile::readPoints(second, separator, texts, r.extent.rows, r.points);
    return r;
}

// Endless short lines, generated as they are read.
class ManyLines : public QIODevice
{
public:
    explicit ManyLines(qint64 lines) : m_left(lines * 2) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin(max, m_left) & ~qint64(1);
        for (qint64 i = 0; i < n; i += 2) {
            data[i] = 'a';
            data[i + 1] = '\n';
        }
        m_left -= n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_left;
};

const DateTimeText &us()
{
    static const DateTimeText texts{QLocale(QStringLiteral("en_US"))};
    return texts;
}

} // namespace

class TestTextLines : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lines_data();
    void lines();
    void writtenFileReadsBack_data();
    void writtenFileReadsBack();
    void writingSkipsUndatedPoints();
    void firstPass_data();
    void firstPass();
    void fields_data();
    void fields();
    void longLines();
    void lineEnds();
    void cancel();
    void tooManyLines();
    void longFileAsOnePass_data();
    void longFileAsOnePass();
};

void TestTextLines::lines_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<float>("humidity");
    QTest::addColumn<float>("temperature");
    QTest::addColumn<QString>("line");
    const QChar tab(u'\t'), comma(u',');
    QTest::newRow("tab, point") << "en_US" << tab << 25.0f << 30.1f << "3/1/2009 10:20:00 PM\t25.0\t30.1\r\n";
    QTest::newRow("comma, point") << "en_US" << comma << 25.0f << -3.5f << "3/1/2009 10:20:00 PM,25.0,-3.5\r\n";
    QTest::newRow("tab, comma decimals") << "de_DE" << tab << 25.0f << 30.1f << "01.03.2009 22:20:00\t25,0\t30,1\r\n";
    QTest::newRow("OL both ways") << "en_GB" << tab << 9999.0f << -9999.0f << "01/03/2009 22:20:00\tOL\tOL\r\n";
    QTest::newRow("3000 is a number") << "en_GB" << comma << 3000.0f << 3000.1f << "01/03/2009 22:20:00,3000.0,OL\r\n";
}

void TestTextLines::lines()
{
    QFETCH(QString, locale);
    QFETCH(QChar, separator);
    QFETCH(float, humidity);
    QFETCH(float, temperature);
    QFETCH(QString, line);
    QString out;
    TextDataFile::appendLine(out, at(2009, 3, 1, 22, 20), humidity, temperature, separator, DateTimeText(QLocale(locale)));
    QCOMPARE(out, line);
}

void TestTextLines::writtenFileReadsBack_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("name");
    QTest::newRow("en_US txt") << "en_US" << "points.txt";
    QTest::newRow("en_US csv") << "en_US" << "points.csv";
    QTest::newRow("de_DE txt") << "de_DE" << "points.txt";
    QTest::newRow("C txt") << "C" << "points.TXT";
}

void TestTextLines::writtenFileReadsBack()
{
    QFETCH(QString, locale);
    QFETCH(QString, name);
    const DateTimeText texts{QLocale(locale)};
    const int n = 1000;
    std::vector<double> x(n);
    std::vector<float> h(n), t(n);
    const double start = at(2021, 12, 31, 23, 0, 0);
    for (int i = 0; i < n; ++i) {
        x[size_t(i)] = start + double(i) * 7.0 / 86400.0;
        h[size_t(i)] = float(i % 1000) / 10.0f;
        t[size_t(i)] = i % 97 == 0 ? -9999.0f : float(i % 700 - 300) / 10.0f;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QChar separator = TextDataFile::separatorFor(path);
    const Result<TextWriteResult> w = TextDataFile::save(path, x, h, t, 0, n, separator, texts);
    QVERIFY(w);
    QCOMPARE(w->lines, qint64(n));

    TextFileExtent extent;
    TextFilePoints points;
    QCOMPARE(outcome(TextDataFile::read(path, separator, texts, extent, points)), QStringLiteral("ok"));
    QCOMPARE(extent.rows, qint64(n));
    QCOMPARE(points.filled, qint64(n));
    for (int i = 0; i < n; ++i) {
        QVERIFY(std::fabs(points.x[size_t(i)] - x[size_t(i)]) * 86400.0 < 0.001);
        QCOMPARE(points.humidity[size_t(i)], h[size_t(i)]);
        // The out-of-range marker comes back as "missing".
        QCOMPARE(points.temperature[size_t(i)], t[size_t(i)] == -9999.0f ? 9999.0f : t[size_t(i)]);
    }
    QCOMPARE(extent.t1, points.x[0]);
    QCOMPARE(extent.t2, points.x[1]);
    QCOMPARE(extent.xMin, extent.t1);
    QCOMPARE(extent.xMax, extent.t1 + (extent.t2 - extent.t1) * n);
}

// A point without a date is skipped and counted, never the end of the file;
// the never-filled points (no date, no reading) that end a chart are no data.
void TestTextLines::writingSkipsUndatedPoints()
{
    const float m = TextDataFile::Missing;
    const std::vector<double> x{0.0, at(2009, 3, 1, 11), 0.0, at(2009, 3, 1, 13), 0.0, 0.0};
    const std::vector<float> y{m, 1.0f, 1.0f, 1.0f, m, m};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const Result<TextWriteResult> r = TextDataFile::write(buffer, x, y, y, 0, 6, u'\t', us());
    QCOMPARE(r->lines, qint64(2));
    QCOMPARE(r->undated, qint64(2));
    QCOMPARE(buffer.data(), QByteArray("3/1/2009 11:00:00 AM\t1.0\t1.0\r\n3/1/2009 1:00:00 PM\t1.0\t1.0\r\n"));
}

void TestTextLines::firstPass_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<double>("t1");
    QTest::addColumn<double>("t2");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    const double a = at(2009, 3, 1, 10), b = at(2009, 3, 1, 11);
    const QByteArray l1 = "3/1/2009 10:00:00 AM\t1.0\t2.0\r\n", l2 = "3/1/2009 11:00:00 AM\t1.0\t2.0\r\n";
    QTest::newRow("two lines make four points") << l1 + l2 << qint64(4) << a << b << a << a + (b - a) * 4;
    QTest::newRow("one line, no X range") << l1 << qint64(4) << a << 0.0 << 0.0 << a - a * 4;
    QTest::newRow("times going back") << l2 + l1 << qint64(4) << b << a << 0.0 << b + (a - b) * 4;
    QTest::newRow("six lines") << l1 + l2 + l2 + l2 + l2 + l2 << qint64(6) << a << b << a << a + (b - a) * 6;
    QTest::newRow("counting stops at an empty line") << l1 + l2 + l2 + "\r\n" + l2 + l2 + l2 << qint64(4) << a << b
                                                     << a << a + (b - a) * 4;
    QTest::newRow("a time needs two separators") << QByteArray("3/1/2009 10:00:00 AM\t1.0\r\n") + l2 << qint64(4)
                                                 << 0.0 << b << 0.0 << b * 4;
    QTest::newRow("empty file") << QByteArray() << qint64(4) << 0.0 << 0.0 << 0.0 << 0.0;
}

void TestTextLines::firstPass()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, rows);
    QFETCH(double, t1);
    QFETCH(double, t2);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const Result<TextFileExtent> scanned = TextDataFile::scan(buffer, u'\t', us());
    QVERIFY(scanned);
    const TextFileExtent &extent = *scanned;
    QCOMPARE(extent.rows, rows);
    QCOMPARE(extent.t1, t1);
    QCOMPARE(extent.t2, t2);
    QCOMPARE(extent.xMin, xMin);
    QCOMPARE(extent.xMax, xMax);
}

void TestTextLines::fields_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<double>>("x");
    QTest::addColumn<QList<float>>("humidity");
    QTest::addColumn<QList<float>>("temperature");
    const double a = at(2009, 3, 1, 10), b = at(2009, 3, 1, 11);
    const QByteArray d1 = "3/1/2009 10:00:00 AM", d2 = "3/1/2009 11:00:00 AM";
    QTest::newRow("two lines, two empty points") << d1 + "\t25.0\t30.5\r\n" + d2 + "\tOL\t-1.5\r\n"
                                                 << QList<double>{a, b, 0, 0} << QList<float>{25.0f, 9999, 9999, 9999}
                                                 << QList<float>{30.5f, -1.5f, 9999, 9999};
    QTest::newRow("unreadable date keeps X, the point counts")
        << "garbage\t1.0\t2.0\r\n" + d2 + "\t3.0\t4.0\r\n" << QList<double>{0, b, 0, 0}
        << QList<float>{1, 3, 9999, 9999} << QList<float>{2, 4, 9999, 9999};
    QTest::newRow("unreadable numbers") << d1 + "\tabc\t2,5\r\n" << QList<double>{a, 0, 0, 0}
                                        << QList<float>{9999, 9999, 9999, 9999} << QList<float>{9999, 9999, 9999, 9999};
    QTest::newRow("OL inside a field") << d1 + "\tx OL x\t1.0\r\n" << QList<double>{a, 0, 0, 0}
                                       << QList<float>{9999, 9999, 9999, 9999} << QList<float>{1, 9999, 9999, 9999};
    QTest::newRow("empty third field is missing") << d1 + "\t25.0\t\r\n" << QList<double>{a, 0, 0, 0}
                                                  << QList<float>{25, 9999, 9999, 9999}
                                                  << QList<float>{9999, 9999, 9999, 9999};
    QTest::newRow("fourth field ignored") << d1 + "\t1.0\t2.0\textra\r\n" << QList<double>{a, 0, 0, 0}
                                          << QList<float>{1, 9999, 9999, 9999} << QList<float>{2, 9999, 9999, 9999};
    QTest::newRow("no separator: skipped") << "no separator here\r\n" + d2 + "\t3.0\t4.0\r\n"
                                           << QList<double>{b, 0, 0, 0} << QList<float>{3, 9999, 9999, 9999}
                                           << QList<float>{4, 9999, 9999, 9999};
    QTest::newRow("one separator: X set, the next line takes the point")
        << d1 + "\t1.0\r\n" + "garbage\t3.0\t4.0\r\n" << QList<double>{a, 0, 0, 0} << QList<float>{3, 9999, 9999, 9999}
        << QList<float>{4, 9999, 9999, 9999};
    QTest::newRow("non-finite numbers are missing")
        << d1 + "\tnan\tinf\r\n" + d2 + "\t1e39\t-1e400\r\n" << QList<double>{a, b, 0, 0}
        << QList<float>{9999, 9999, 9999, 9999} << QList<float>{9999, 9999, 9999, 9999};
    QTest::newRow("empty lines skipped") << d1 + "\t1.0\t2.0\r\n\r\n" + d2 + "\t3.0\t4.0\r\n"
                                         << QList<double>{a, b, 0, 0} << QList<float>{1, 3, 9999, 9999}
                                         << QList<float>{2, 4, 9999, 9999};
}

void TestTextLines::fields()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<double>, x);
    QFETCH(QList<float>, humidity);
    QFETCH(QList<float>, temperature);
    const Read r = readBytes(file, u'\t', us());
    QCOMPARE(outcome(r.status), QStringLiteral("ok"));
    QCOMPARE(QList<double>(r.points.x.begin(), r.points.x.end()), x);
    QCOMPARE(QList<float>(r.points.humidity.begin(), r.points.humidity.end()), humidity);
    QCOMPARE(QList<float>(r.points.temperature.begin(), r.points.temperature.end()), temperature);
}

void TestTextLines::longLines()
{
    const QByteArray d1 = "3/1/2009 10:00:00 AM\t1.0\t2.0", d2 = "3/1/2009 11:00:00 AM";
    // The third field starts after character 179: it is cut away.
    const QByteArray cut = d2 + "\t3.0\t" + QByteArray(170, ' ') + "4.0";
    // Far longer than the reading buffer.
    const QByteArray huge = d1 + "\t" + QByteArray(3 << 20, 'x');
    const QByteArray file = huge + "\r\n" + cut + "\r\n" + d1 + "\r\n" + d1 + "\r\n" + d1;
    const Read r = readBytes(file, u'\t', us());
    QCOMPARE(r.extent.rows, qint64(5));
    QCOMPARE(r.points.filled, qint64(5));
    QCOMPARE(r.points.humidity[0], 1.0f);
    QCOMPARE(r.points.temperature[0], 2.0f);
    QCOMPARE(r.points.humidity[1], 3.0f);
    QCOMPARE(r.points.temperature[1], 9999.0f);
    QCOMPARE(r.points.x[1], at(2009, 3, 1, 11));
    QCOMPARE(r.points.temperature[4], 2.0f);
}

void TestTextLines::lineEnds()
{
    const QByteArray crlf = "3/1/2009 10:00:00 AM\t1.0\t2.0\r\n3/1/2009 11:00:00 AM\t3.0\t4.0\r\n";
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray noFinalEnd = crlf;
    noFinalEnd.chop(2);
    const Read a = readBytes(crlf, u'\t', us());
    for (const QByteArray &other : {lf, noFinalEnd}) {
        const Read b = readBytes(other, u'\t', us());
        QCOMPARE(b.extent.rows, a.extent.rows);
        QCOMPARE(b.points.x, a.points.x);
        QCOMPARE(b.points.humidity, a.points.humidity);
        QCOMPARE(b.points.temperature, a.points.temperature);
    }
    QCOMPARE(a.points.temperature[1], 4.0f);
}

void TestTextLines::cancel()
{
    QByteArray file;
    for (int i = 0; i < 5000; ++i)
        file += "3/1/2009 10:00:00 AM\t1.0\t2.0\r\n";
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    TextFilePoints points;
    qint64 seen = 0;
    const auto status = TextDataFile::readPoints(buffer, u'\t', us(), 5000, points, [&](qint64 q) {
        seen = q;
        return q < 2048;
    });
    QCOMPARE(outcome(status), QStringLiteral("cancelled"));
    QCOMPARE(seen, qint64(2048));
    QCOMPARE(points.filled, qint64(2048));
}

void TestTextLines::tooManyLines()
{
    ManyLines device(TextDataFile::MaxLines + 1);
    QCOMPARE(outcome(TextDataFile::scan(device, u'\t', us())), QStringLiteral("too large"));
    ManyLines fits(1000);
    const Result<TextFileExtent> scanned = TextDataFile::scan(fits, u'\t', us());
    QVERIFY(scanned);
    QCOMPARE(scanned->rows, qint64(1000));
}

void TestTextLines::longFileAsOnePass_data()
{
    // Files long enough to be read in two halves at once: the points must be
    // those one pass over the lines gives, whatever lies where the halves
    // meet.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cancel");
    const int n = 300000;
    const auto lines = [n](const std::function<QByteArray(int)> &special) {
        QByteArray b;
        b.reserve(qsizetype(n) * 36);
        for (int i = 0; i < n; ++i) {
            const QByteArray line = special(i);
            if (!line.isNull()) {
                b += line;
                continue;
            }
            const QTime time = QTime(0, 0).addSecs(i % 86400);
            b += "3/1/2009 " + time.toString(QStringLiteral("h:mm:ss AP")).toLatin1() + '\t'
                + QByteArray::number(i % 1000 / 10.0, 'f', 1) + '\t' + QByteArray::number(i % 400 / 10.0 - 20.0, 'f', 1)
                + "\r\n";
        }
        return b;
    };
    const auto none = [](int) { return QByteArray(); };
    const auto nearMiddle = [n](int i) { return i > n / 2 - 30 && i < n / 2 + 30; };
    QTest::newRow("plain lines") << lines(none) << false;
    // Around the middle, lines that are no points but hold a time, each
    // followed by a point whose own time does not read: it keeps the time.
    QTest::newRow("times left for the next point") << lines([&](int i) {
        if (!nearMiddle(i))
            return QByteArray();
        return i % 2 ? QByteArray("3/1/2009 11:11:11 AM\t55.0\r\n") : QByteArray("garbage\t1.0\t2.0\r\n");
    }) << false;
    QTest::newRow("no points around the middle") << lines([&](int i) {
        return nearMiddle(i) ? QByteArray("3/1/2009 10:00:00 AM\r\n") : QByteArray();
    }) << false;
    // The first pass ends at an empty line and counts the lines before it;
    // the second reads as many points, past it.
    QTest::newRow("an empty line, points after it") << lines([&](int i) {
        if (i == n - 1000)
            return QByteArray("\r\n");
        return nearMiddle(i) ? QByteArray("3/1/2009 10:00:00 AM\r\n") : QByteArray();
    }) << false;
    QTest::newRow("last line without a break") << lines(none).chopped(2) << false;
    QTest::newRow("cancelled") << lines(none) << true;
}

void TestTextLines::longFileAsOnePass()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cancel);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const auto stopAt = [cancel](qint64 q) { return !cancel || q < 100000; };
    TextFileExtent extent;
    TextFilePoints got;
    const Result<> status = TextDataFile::read(path, u'\t', us(), extent, got, stopAt);
    if (cancel) {
        QCOMPARE(outcome(status), QStringLiteral("cancelled"));
        return;
    }
    QVERIFY(status);
    const Read want = readBytes(bytes, u'\t', us());
    QVERIFY(want.status);
    QCOMPARE(got.filled, want.points.filled);
    QCOMPARE(got.undated, want.points.undated);
    QVERIFY(got.filled > 200000);
    QVERIFY(got.x == want.points.x);
    QVERIFY(got.humidity == want.points.humidity);
    QVERIFY(got.temperature == want.points.temperature);
}

QTEST_GUILESS_MAIN(TestTextLines)
#include "tst_textlines.moc"
