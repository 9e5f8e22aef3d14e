// Printing from the main window: which data view is printed, the text
// listing and the graph on a PDF printer, the preview, the refusals while the
// meter is held, and the PDF report from the window.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"

#include "core/app/AlarmSettings.h"
#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Signatures.h"
#include "gui/archive/TfrmArchive.h"
#include "chart/ChartWidget.h"
#include "core/chart/DataListModel.h"
#include "gui/common/AppContext.h"
#include "gui/common/SharedAlarmLimits.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/files/DataFileController.h"
#include "core/app/PrintSettings.h"
#include "gui/print/PrintController.h"
#include "gui/print/PrintableView.h"
#include "gui/print/TfrmPrintOption.h"
#include "gui/shell/TfrmMain.h"
#include "Outcome.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <set>
#include <memory>

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QSizeF pdfPageSize(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)"))
                                          .match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The top of each line of text per page (PDF points from the page's top),
// read back with pdftotext's word boxes.
QList<QList<double>> lineTops(const QString &pdf)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QList<QList<double>> pages;
    const QRegularExpression page(QStringLiteral("<page "));
    const QRegularExpression word(QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\""));
    for (const QString &chunk : html.split(page).mid(1)) {
        // Words come in no particular order; a line is one distinct top.
        std::set<int> tenths;
        for (auto it = word.globalMatch(chunk); it.hasNext();)
            tenths.insert(qRound(it.next().captured(1).toDouble() * 10.0));
        QList<double> tops;
        for (const int t : tenths)
            tops << t / 10.0;
        pages << tops;
    }
    return pages;
}

int answerOption(int result)
{
    return result;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void windowChoice_data();
    void windowChoice();
    void noDataViewNothingHappens();
    void textListing_data();
    void textListing();
    void graphOrientation_data();
    void graphOrientation();
    void previewShowsThePrintedPages_data();
    void previewShowsThePrintedPages();
    void refusedWhileTheMeterIsHeld();
    void reportFromTheWindow();
    void reportThatCannotBeWritten();
    void archivedRunSteps_data();
    void archivedRunSteps();

private:
    void startWithSets();
    // The listing font's line height on the shared printer at 72 dpi.
    int lineHeight();
    // A page of zero margins, `lines` line heights (and a half) tall.
    void pageOfLines(double lines);
    QString pdf(const QString &name) const { return m_h->filePath(name); }

    std::unique_ptr<Harness::TestContext> m_h;
    std::unique_ptr<TfrmMain> m_main;
};

void TestPrint::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Root);
    QVERIFY(m_h->isValid());
    m_main = startMainWindow(m_h->ctx());
    QVERIFY(m_main);
}

void TestPrint::cleanup()
{
    m_main.reset();
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

// Data set 1 has 24 samples: the listing is 25 lines with its heading.
void TestPrint::startWithSets()
{
    ImageSet first;
    first.at(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0))).every(60).ramp(24, 400, 3, 200, 1);
    first.samples[5].humidity = -32768;   // out of range: "OL"
    ImageSet second;
    second.at(QDateTime(QDate(2026, 3, 2), QTime(8, 0, 0))).fahrenheit().ramp(1000, 300, 1, 600, 1);
    const QByteArray image = ImageBuilder().add(first).add(second).build();
    QCOMPARE(outcome(m_main->session().ParseLoggerImage(image, image.size())), QStringLiteral("ok"));
    m_main->session().showFirstDataSet();
    QCOMPARE(m_main->downloadView()->dataListModel->rowCount(), 24);
}

int TestPrint::lineHeight()
{
    QPrinter &printer = m_main->printing().printer();
    printer.setResolution(72);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    return int(QFontMetrics(font, &printer).height() * 1.5);
}

void TestPrint::pageOfLines(double lines)
{
    QPrinter &printer = m_main->printing().printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(72);
    const int lh = lineHeight();
    printer.setPageSize(QPageSize(QSizeF(400, lines * lh), QPageSize::Point, QString(), QPageSize::ExactMatch));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

void TestPrint::windowChoice_data()
{
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("printed");
    QTest::newRow("the active download view") << "DataLogger" << "DataLogger";
    QTest::newRow("the active file view") << "/data/b.txt" << "/data/b.txt";
    // Not a data view in front: the first data view from the back.
    QTest::newRow("another window active") << "Notes" << "DataLogger";
}

void TestPrint::windowChoice()
{
    QFETCH(QString, active);
    QFETCH(QString, printed);
    auto *fileView = new TfrmGraph(m_h->ctx());
    fileView->setWindowTitle(QStringLiteral("/data/b.txt"));
    m_main->mdiArea->addSubWindow(fileView)->show();
    auto *notes = new QWidget;
    notes->setWindowTitle(QStringLiteral("Notes"));
    m_main->mdiArea->addSubWindow(notes)->show();
    for (QMdiSubWindow *w : m_main->mdiArea->subWindowList()) {
        if (w->widget()->windowTitle() == active)
            m_main->mdiArea->setActiveSubWindow(w);
    }
    const std::unique_ptr<PrintableView> view = m_main->printing().chosenView();
    QVERIFY(view);
    QCOMPARE(view->widget()->windowTitle(), printed);

    // Print asks "Print Option" about that window and puts its chart in
    // the monochrome print style; Cancel prints nothing.
    m_h->prompter().answerDialog([](QDialog &) { return answerOption(TfrmPrintOption::Cancel); });
    m_main->btnPrintClick();
    QCOMPARE(m_h->prompter().dialogs, QStringList{QStringLiteral("Print Option")});
    QCOMPARE(view->chart().model().looks().printStyleControl, PrintStyle::sgPrintDefaultMono);
}

void TestPrint::noDataViewNothingHappens()
{
    m_main->downloadView()->close();
    QTRY_VERIFY(m_main->mdiArea->subWindowList().isEmpty() || !m_main->downloadView());
    QVERIFY(!m_main->printing().chosenView());
    m_main->btnPrintClick();
    m_main->PrintPreview1->trigger();
    m_main->ExportReport1->trigger();
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QVERIFY(m_h->prompter().fileDialogs.isEmpty());
}

void TestPrint::textListing_data()
{
    QTest::addColumn<double>("pageLines");
    QTest::addColumn<int>("fromPage"); // 0: all pages
    QTest::addColumn<int>("toPage");
    QTest::addColumn<int>("offered");  // the dialog's last page
    QTest::addColumn<QList<int>>("linesPerPage"); // empty: the printer does not start
    // 23 lines fit, rounded down to 20.
    QTest::newRow("23-line page") << 23.5 << 0 << 0 << 2 << QList<int>{20, 5};
    // Fewer than ten fit: as many as fit rather than none.
    QTest::newRow("7-line page") << 7.5 << 0 << 0 << 4 << QList<int>{7, 7, 7, 4};
    QTest::newRow("pages 2 to 3 of 4") << 7.5 << 2 << 3 << 4 << QList<int>{7, 7};
    QTest::newRow("a range past the end stops at the last page") << 7.5 << 4 << 9 << 4 << QList<int>{4};
    QTest::newRow("a printer that cannot start") << 7.5 << 0 << 0 << 4 << QList<int>{};
}

void TestPrint::textListing()
{
    QFETCH(double, pageLines);
    QFETCH(int, fromPage);
    QFETCH(int, toPage);
    QFETCH(int, offered);
    QFETCH(QList<int>, linesPerPage);
    startWithSets();
    pageOfLines(pageLines);
    const int lh = lineHeight();
    const QString out = linesPerPage.isEmpty() ? pdf(QStringLiteral("no/such/folder/listing.pdf"))
                                               : pdf(QStringLiteral("listing.pdf"));
    int maxPage = -1;
    m_h->prompter().answerDialog([](QDialog &) { return answerOption(TfrmPrintOption::PrintText); });
    m_h->prompter().answerDialog([&](QDialog &d) {
        auto &dialog = dynamic_cast<QPrintDialog &>(d);
        maxPage = dialog.maxPage();
        dialog.printer()->setOutputFileName(out);
        if (fromPage > 0) {
            dialog.printer()->setPrintRange(QPrinter::PageRange);
            dialog.printer()->setFromTo(fromPage, toPage);
        }
        return int(QDialog::Accepted);
    });
    if (linesPerPage.isEmpty())
        m_h->prompter().answerMessage(QMessageBox::Ok);
    m_main->btnPrintClick();
    QCOMPARE(maxPage, offered);
    if (linesPerPage.isEmpty()) {
        QCOMPARE(m_h->prompter().messages.value(0), QStringLiteral("The printer could not start."));
        QVERIFY(!m_main->printing().listingRunning());
        return;
    }
    // The pages go out one by one beneath a progress window.
    QVERIFY(m_main->printing().listingProgress());
    QTRY_VERIFY(!m_main->printing().listingRunning());

    QCOMPARE(pdfPages(out), int(linesPerPage.size()));
    const QList<QList<double>> tops = lineTops(out);
    QCOMPARE(tops.size(), linesPerPage.size());
    for (qsizetype p = 0; p < tops.size(); ++p) {
        QCOMPARE(tops[p].size(), linesPerPage[p]);
        // Line i's top at (i + 1) line heights, give or take the font's
        // internal leading.
        for (qsizetype i = 0; i < tops[p].size(); ++i)
            QVERIFY2(qAbs(tops[p][i] - (i + 1) * lh) <= lh * 0.35,
                     qPrintable(QStringLiteral("page %1 line %2 at %3").arg(p).arg(i).arg(tops[p][i])));
    }
    if (fromPage > 0)
        return;
    // The lines as the data list shows them.
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("No\\s+DATE\\s+TIME\\s+HUMIDITY\\s+Temp"))));
    const TfrmGraph &v = *m_main->downloadView();
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("6\\s+%1\\s+%2\\s+OL\\s+%3")
                                                 .arg(QRegularExpression::escape(v.dataListModel->text(5, 1)),
                                                      QRegularExpression::escape(v.dataListModel->text(5, 2)),
                                                      QRegularExpression::escape(v.dataListModel->text(5, 4))))));
}

void TestPrint::graphOrientation_data()
{
    QTest::addColumn<QString>("setUp"); // what Printer Setup is given: "", "portrait", "unchanged"
    QTest::addColumn<bool>("landscape");
    // A printer nobody set up takes the chart's stored orientation.
    QTest::newRow("default") << "" << true;
    // One set up to portrait stays portrait.
    QTest::newRow("set up portrait") << "portrait" << false;
    // Printer Setup accepted as it opened leaves the graph as it was.
    QTest::newRow("set up, nothing changed") << "unchanged" << true;
}

void TestPrint::graphOrientation()
{
    QFETCH(QString, setUp);
    QFETCH(bool, landscape);
    startWithSets();
    QPrinter &printer = m_main->printing().printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    if (!setUp.isEmpty()) {
        // A page set-up: no printing from it.
        m_h->prompter().answerDialog([setUp](QDialog &d) {
            auto &dialog = dynamic_cast<QPageSetupDialog &>(d);
            if (setUp == QLatin1String("portrait"))
                dialog.printer()->setPageOrientation(QPageLayout::Portrait);
            return int(QDialog::Accepted);
        });
        m_main->PrinterSetup1Click();
        QCOMPARE(m_h->prompter().dialogs, QStringList{QStringLiteral("Printer Setup")});
    }
    const QString out = pdf(QStringLiteral("graph.pdf"));
    m_h->prompter().answerDialog([](QDialog &) { return answerOption(TfrmPrintOption::PrintGraph); });
    // The chart's own print dialog, on the shared printer.
    m_h->prompter().answerDialog([&out, &printer](QDialog &d) {
        auto &dialog = dynamic_cast<QPrintDialog &>(d);
        if (dialog.printer() != &printer)
            return int(QDialog::Rejected);
        dialog.printer()->setOutputFileName(out);
        return int(QDialog::Accepted);
    });
    m_main->btnPrintClick();
    QCOMPARE(pdfPages(out), 1);
    const QSizeF size = pdfPageSize(out);
    QCOMPARE(size.width() > size.height(), landscape);
    // The labels keep the size they have on screen, a few points, not
    // inches (fonts scaled twice once made them unreadable).
    const QString words = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), out, QStringLiteral("-")});
    const QRegularExpression box(QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\""));
    int labels = 0;
    for (auto it = box.globalMatch(words); it.hasNext(); ++labels) {
        const QRegularExpressionMatch m = it.next();
        const double height = m.captured(2).toDouble() - m.captured(1).toDouble();
        QVERIFY2(height > 2.0 && height < 20.0, qPrintable(QString::number(height)));
    }
    QVERIFY(labels >= 10);
    // The next run prints the graph the same way; the text keeps its own.
    PrintSettings kept(m_h->ctx().folders().programFolder());
    kept.load();
    QCOMPARE(kept.graphLandscape.value_or(true), landscape);
    QVERIFY(!kept.textLandscape.value_or(false));
}

void TestPrint::previewShowsThePrintedPages_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("pages");
    QTest::newRow("graph") << int(TfrmPrintOption::PrintGraph) << 1;
    QTest::newRow("text, 25 lines on 20-line pages") << int(TfrmPrintOption::PrintText) << 2;
}

void TestPrint::previewShowsThePrintedPages()
{
    QFETCH(int, option);
    QFETCH(int, pages);
    startWithSets();
    pageOfLines(23.5);
    int shown = -1;
    m_h->prompter().answerDialog([option](QDialog &) { return option; });
    m_h->prompter().answerDialog([&shown](QDialog &d) {
        auto *preview = d.findChild<QPrintPreviewWidget *>();
        if (preview) {
            preview->updatePreview();
            shown = preview->pageCount();
        }
        return int(QDialog::Rejected);
    });
    m_main->PrintPreview1->trigger();
    QCOMPARE(m_h->prompter().dialogs.size(), 2);
    QCOMPARE(shown, pages);
}

void TestPrint::refusedWhileTheMeterIsHeld()
{
    startWithSets();
    PrintController busy(m_h->ctx(), m_main->workspace(), m_main->session().store(), [] { return true; });
    QVERIFY(busy.chosenView());
    busy.btnPrintClick();
    busy.PrinterSetup1Click();
    busy.PrintPreviewClick();
    busy.ExportReportClick();
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QVERIFY(m_h->prompter().fileDialogs.isEmpty());
}

void TestPrint::reportFromTheWindow()
{
    startWithSets();
    TfrmGraph &v = *m_main->downloadView();
    // The window's limits go into the report, with the figures its panel shows.
    AlarmSettings limits = m_h->ctx().alarmLimits().settings();
    limits.setLimits(1, {std::nullopt, 21.0}, TemperatureUnit::Celsius);
    QVERIFY(m_h->ctx().alarmLimits().apply(limits));
    v.panel()->TabControl1->setCurrentIndex(1);
    const QString out = pdf(QStringLiteral("report.pdf"));
    m_h->prompter().answerFile(out);
    QSignalSpy finished(&m_main->printing(), &PrintController::reportFinished);
    m_main->ExportReport1->trigger();
    QVERIFY(m_main->printing().reportRunning());
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(!m_main->printing().reportRunning());
    QCOMPARE(pdfPages(out), 2);

    // The window's own texts: the strip, the statistics of each channel, the rows.
    const QString text = run(QStringLiteral("pdftotext"), {out, QStringLiteral("-")});
    QVERIFY(text.contains(QStringLiteral("DataLogger")));
    QVERIFY(text.contains(v.txtStartTime->text()));
    QVERIFY(text.contains(v.panel()->txtT1Max->text()));
    QVERIFY(text.contains(v.panel()->txtT1Min->text()));
    QVERIFY(text.contains(v.panel()->txtT1Avg->text()));
    QVERIFY(text.contains(QStringLiteral("Page 2 of 2")));
    QVERIFY(text.contains(QStringLiteral("Temperature limits: ") + v.panel()->txtLimits->text()));
    QVERIFY2(text.contains(QStringLiteral("Above: ") + v.panel()->txtAbove->text()), qPrintable(v.panel()->txtAbove->text()));
    QVERIFY(v.panel()->txtAbove->text().startsWith(QStringLiteral("13 samples")));
    QVERIFY(text.contains(QStringLiteral("Mean Kinetic Temperature: ") + v.panel()->txtMkt->text().chopped(3)));
    for (int r = 0; r < v.dataListModel->rowCount(); ++r)
        QVERIFY2(text.contains(v.dataListModel->text(r, DataListModel::Time)), qPrintable(QString::number(r)));
}

void TestPrint::reportThatCannotBeWritten()
{
    startWithSets();
    const QString out = pdf(QStringLiteral("missing/folder/report.pdf"));
    m_h->prompter().answerFile(out);
    m_h->prompter().answerMessage(QMessageBox::Ok);
    QSignalSpy finished(&m_main->printing(), &PrintController::reportFinished);
    m_main->ExportReport1->trigger();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(m_h->prompter().messages.size(), 1);
    QVERIFY(m_h->prompter().messages.first().startsWith(QStringLiteral("Cannot create file")));
    QVERIFY(!QFileInfo::exists(out));
}


// A data view of an archived run reports that run: its fingerprint and its
// signature on every page, its history on a page of its own. The report, and
// a file saved from the view, are entries of the audit trail.
void TestPrint::archivedRunSteps_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("report") << "report" << "run.pdf";
    QTest::newRow("text file") << "export" << "run.txt";
    QTest::newRow("graph file") << "export" << "run.ghf";
}

void TestPrint::archivedRunSteps()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    const QString archivePath = Archive::defaultPath(m_h->ctx().folders().programFolder());
    QString fingerprint;
    {
        Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
        QVERIFY(archive);
        ImageSet s;
        s.at(QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0))).every(60).ramp(120, 400, 1, 200, 1);
        QVERIFY((*archive)->add(ArchiveDownload::here(ImageBuilder().add(s).build(), ArchiveSource::Download)));
        SigningSession session([](const QString &, const QByteArray &) { return Result<>(); });
        QVERIFY(session.sign(**archive, 1, QStringLiteral("approved"), AuditActor::here().user, "any"));
        fingerprint = (*archive)->run(1)->samplesSha256;
    }
    m_main->Archive1->trigger();
    TfrmArchive *window = m_main->workspace().archiveWindow();
    QVERIFY(window);
    window->selectRow(0);
    QVERIFY(window->openSelectedRun());

    const QString out = pdf(file);
    m_h->prompter().answerFile(out);
    if (kind == u"report") {
        QSignalSpy finished(&m_main->printing(), &PrintController::reportFinished);
        m_main->ExportReport1->trigger();
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().toBool(), true);
        // Page 1, three pages of 50 rows for 120 samples, one of history.
        QCOMPARE(pdfPages(out), 5);
        // The text extractor gives "fi" and "ff" as their ligatures.
        const QString text = run(QStringLiteral("pdftotext"), {out, QStringLiteral("-")})
                                 .normalized(QString::NormalizationForm_KC);
        QCOMPARE(text.count(QStringLiteral("Archived run: fingerprint ") + fingerprint.left(16)), 5);
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("Signed: .*, approved"))), 5);
        QVERIFY(text.contains(QStringLiteral("Run history")));
        QVERIFY(text.contains(QStringLiteral("Fingerprint (SHA-256 of its samples): ") + fingerprint));
    } else {
        if (file.endsWith(u".txt")) // the range window: all
            m_h->prompter().answerDialog([](QDialog &) { return int(QDialog::Accepted); });
        QSignalSpy finished(&m_main->dataFiles(), &DataFileController::saveFinished);
        m_main->Save1Click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.first().at(1).toBool(), true);
        QTRY_VERIFY(!m_main->dataFiles().busy());
    }
    QVERIFY(m_h->prompter().allAnswered());

    Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
    QVERIFY(archive);
    AuditFilter steps;
    steps.kind = kind;
    const QList<AuditEntry> entries = AuditTrail::list(**archive, steps).valueOr({});
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().runId, 1);
    QCOMPARE(entries.first().samplesSha256, fingerprint);
    QCOMPARE(entries.first().newValue, QFileInfo(out).absoluteFilePath());
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
