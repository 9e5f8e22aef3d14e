// A spreadsheet opens the CSV for spreadsheets as numbers and dates: each data
// set of the sample collection, exported under a decimal comma, is converted
// by LibreOffice (soffice, which scripts/setup installs) into a flat OpenDocument
// spreadsheet, whose typed cells are compared with the readings and times the
// image holds.
#include "ImageBuilder.h"
#include "TestProcesses.h"

#include "core/data/LoggerImage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

// One cell as the spreadsheet typed it: "float", "date", "string"...
struct Cell
{
    QString type;
    QString value;   // office:value of a number, office:date-value of a date
    QString text;    // what the cell shows
};

// The rows of the first table of a flat OpenDocument spreadsheet, repeated
// cells and rows spelled out.
QList<QList<Cell>> rowsOf(const QByteArray &xml)
{
    QList<QList<Cell>> rows;
    QXmlStreamReader r(xml);
    const QString office = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
    const QString table = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
    int rowRepeat = 1;
    QList<Cell> row;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.namespaceUri() == table && r.name() == u"table-row") {
            row.clear();
            rowRepeat = qMax(1, r.attributes().value(table, QStringLiteral("number-rows-repeated")).toInt());
        } else if (r.isEndElement() && r.namespaceUri() == table && r.name() == u"table-row") {
            // Trailing empty cells and rows pad the sheet; they are no data.
            while (!row.isEmpty() && row.last().type.isEmpty())
                row.removeLast();
            if (!row.isEmpty()) {
                for (int i = 0; i < rowRepeat; ++i)
                    rows << row;
            }
        } else if (r.isStartElement() && r.namespaceUri() == table && r.name() == u"table-cell") {
            const QXmlStreamAttributes a = r.attributes();
            Cell cell{a.value(office, QStringLiteral("value-type")).toString(),
                      a.hasAttribute(office, QStringLiteral("date-value"))
                          ? a.value(office, QStringLiteral("date-value")).toString()
                          : a.value(office, QStringLiteral("value")).toString(),
                      QString()};
            const int repeat = qMax(1, a.value(table, QStringLiteral("number-columns-repeated")).toInt());
            cell.text = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            for (int i = 0; i < repeat && i < 64; ++i)
                row << cell;
        } else if (r.isEndElement() && r.namespaceUri() == table && r.name() == u"table") {
            break;
        }
    }
    return rows;
}

} // namespace

class TestSpreadsheet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void semicolonCsvReadsAsNumbersAndDates();
};

void TestSpreadsheet::semicolonCsvReadsAsNumbersAndDates()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    QVERIFY2(!soffice.isEmpty(), "soffice is not installed (scripts/setup installs libreoffice-calc-nogui)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const ImageBuilder builder = ImageBuilder::sampleCollection();
    const QString image = dir.filePath(QStringLiteral("sample.518"));
    QVERIFY(writeFile(image, builder.build()));
    const QList<ImageSet> sets = builder.sets();
    QStringList csvs;
    for (int k = 0; k < sets.size(); ++k) {
        csvs << dir.filePath(QStringLiteral("set%1.csv").arg(k + 1));
        const CliRun made = runCli({"export", image, "--set", QString::number(k + 1), "--format", "csv-semicolon",
                                    "-o", csvs.last(), "--locale", "de_DE"});
        QVERIFY2(made.code == 0, made.err.constData());
    }

    // All sets in one run, read as a German spreadsheet reads a CSV: ';'
    // between the fields, '"' around texts, UTF-8, German numbers and dates.
    QProcess convert;
    convert.setProcessChannelMode(QProcess::MergedChannels);
    convert.start(soffice, QStringList{"-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                                       "--headless", "--infilter=CSV:59,34,76,1,,1031", "--convert-to", "fods",
                                       "--outdir", dir.filePath("out")}
                               + csvs);
    QVERIFY2(convert.waitForFinished(180000), "soffice did not finish");
    QVERIFY2(convert.exitStatus() == QProcess::NormalExit && convert.exitCode() == 0,
             convert.readAll().constData());

    for (int k = 0; k < sets.size(); ++k) {
        const ImageSet &set = sets.at(k);
        const QByteArray xml = readFile(dir.filePath(QStringLiteral("out/set%1.fods").arg(k + 1)));
        QVERIFY2(!xml.isEmpty(), qPrintable(QStringLiteral("no spreadsheet for set %1").arg(k + 1)));
        const QList<QList<Cell>> rows = rowsOf(xml);
        QCOMPARE(rows.size(), set.samples.size());
        const QDateTime start(QDate(2000 + set.year, set.month, set.day), QTime(set.hour, set.minute, set.second));
        const int interval = LoggerImage::intervalSeconds(set.intervalCode);
        for (qsizetype j = 0; j < rows.size(); ++j) {
            const QList<Cell> &row = rows.at(j);
            const QString where = QStringLiteral("set %1, row %2").arg(k + 1).arg(j + 1);
            QVERIFY2(row.size() == 3, qPrintable(where));
            QVERIFY2(row.at(0).type == u"date", qPrintable(where + ": " + row.at(0).type + " " + row.at(0).text));
            QCOMPARE(QDateTime::fromString(row.at(0).value, Qt::ISODate), start.addSecs(qint64(j) * interval));
            const qint16 raws[2] = {set.samples.at(j).humidity, set.samples.at(j).temperature};
            for (int c = 0; c < 2; ++c) {
                const Cell &cell = row.at(c + 1);
                const float decoded = LoggerImage::decodeReading(raws[c]);
                if (decoded > 3000.0f || decoded < -3000.0f) {
                    QVERIFY2(cell.type == u"string" && cell.text == u"OL", qPrintable(where));
                    continue;
                }
                QVERIFY2(cell.type == u"float", qPrintable(where + ": " + cell.type + " " + cell.text));
                QCOMPARE(cell.value.toDouble(), raws[c] / 10.0);
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
