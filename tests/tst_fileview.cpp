// Single data files through the windows: a data set saved as a graph, TXT or
// CSV file and opened again into a file view, the range window, files that
// cannot be read or written, and the close question's single-file save.
// ctest runs this program under en_US and de_DE as well as the C locale.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include "chart/ChartWidget.h"
#include "core/chart/ChartModel.h"
#include "core/chart/DataListModel.h"
#include "core/chart/GraphFile.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/download/TfrmScope.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"
#include "Outcome.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// Answers the range window: "&Select" with the two limits, or "&All" when both are empty.
std::function<int(QDialog &)> range(const QString &from = {}, const QString &to = {})
{
    return [from, to](QDialog &d) {
        auto &scope = static_cast<TfrmScope &>(d);
        if (!from.isEmpty() || !to.isEmpty()) {
            scope.radNo->setChecked(true);
            scope.edtSelFrom->setText(from);
            scope.edtSelTo->setText(to);
        }
        return int(QDialog::Accepted);
    };
}

bool decimalComma()
{
    return QLocale::system().decimalPoint() == u',';
}

QStringList lines(const QString &path)
{
    QString text = QString::fromUtf8(readFile(path));
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

// What a view shows of its chart: points, statistics and the data list.
struct Shown
{
    QList<double> x;
    QList<float> y;
    QStringList texts;
};

Shown shown(const TfrmGraph &v, int points)
{
    Shown s;
    const ChartModel &m = v.PESGraph1->model();
    for (int i = 0; i < points; ++i) {
        s.x << m.xDataII(0, i);
        s.y << m.yData(0, i) << m.yData(1, i);
    }
    s.texts << v.txtStartTime->text() << v.txtDataNo->text() << v.panel()->txtT1Max->text() << v.panel()->txtT1Min->text()
            << v.panel()->txtT1Avg->text() << v.panel()->txtCursorA->text() << v.panel()->txtCursorB->text() << v.panel()->txtAvgAB->text();
    for (int r = 0; r < points; ++r)
        for (int c = 0; c < DataListModel::ColumnCount; ++c)
            s.texts << v.dataListModel->index(r, c).data().toString();
    return s;
}

// Presses Cancel on the "Saving Progress" window as it is shown.
class CancelOnShow : public QObject
{
public:
    explicit CancelOnShow(bool on)
    {
        if (on)
            qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *scope = qobject_cast<TfrmScope *>(o);
        if (e->type() == QEvent::Show && scope && scope->windowTitle() == QLatin1String("Saving Progress")) {
            qApp->removeEventFilter(this);
            scope->BitBtn2->click();
        }
        return false;
    }
};

} // namespace

class TestFileView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void rangeWindow_data();
    void rangeWindow();
    void unreadableFiles_data();
    void unreadableFiles();
    void textViewScalesXToItsData_data();
    void textViewScalesXToItsData();
    void failedWrites_data();
    void failedWrites();
    void savesSayWhatTheyWrote_data();
    void savesSayWhatTheyWrote();
    void closeQuestionWithASingleFileSave();
    void viewsKeepTheRoleTheyWereMadeFor_data();
    void viewsKeepTheRoleTheyWereMadeFor();

private:
    std::unique_ptr<TfrmMain> startedWithSample();
    // Saves what the download view shows through Save and the choice
    // "single data file"; waits for a text file's write to end.
    void saveSingle(TfrmMain &w, const QString &path, const std::function<int(QDialog &)> &rangeAnswer = range());
    // Opens a data file through Open; returns the new view, or null.
    TfrmGraph *open(TfrmMain &w, const QString &path);
    QString path(const QString &name) const { return m_h->filePath(name); }

    std::unique_ptr<Harness::TestContext> m_h;
};

void TestFileView::initTestCase()
{
    // The German run must really write decimal commas, or it tests nothing new.
    if (qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("de_DE")))
        QVERIFY(decimalComma());
}

void TestFileView::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Root);
    QVERIFY(m_h->isValid());
}

void TestFileView::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestFileView::startedWithSample()
{
    auto w = startMainWindow(m_h->ctx());
    const QByteArray image = ImageBuilder::sampleCollection().build();
    if (!w->session().ParseLoggerImage(image, image.size()))
        qWarning("the sample did not parse");
    w->session().showFirstDataSet();
    return w;
}

void TestFileView::saveSingle(TfrmMain &w, const QString &file, const std::function<int(QDialog &)> &rangeAnswer)
{
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(w.downloadView()->parentWidget()));
    QSignalSpy finished(&w.dataFiles(), &DataFileController::saveFinished);
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(file);
    const QString suffix = QFileInfo(file).suffix().toLower();
    const bool text = suffix == QLatin1String("txt") || (suffix == QLatin1String("csv") && !decimalComma());
    if (text)
        m_h->prompter().answerDialog(rangeAnswer);
    w.Save1Click();
    if (text && w.dataFiles().busy())
        QVERIFY(finished.wait(10000));
    QTRY_VERIFY(!w.dataFiles().busy());
}

TfrmGraph *TestFileView::open(TfrmMain &w, const QString &file)
{
    QSignalSpy opened(&w.dataFiles(), &DataFileController::fileOpened);
    QSignalSpy failed(&w.dataFiles(), &DataFileController::openFailed);
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(file);
    w.btnOpenClick();
    if (!QTest::qWaitFor([&] { return opened.size() + failed.size() > 0; }, 10000))
        return nullptr;
    return opened.isEmpty() ? nullptr : opened.first().first().value<TfrmGraph *>();
}

void TestFileView::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("graph file") << "set1.ghf";
    QTest::newRow("graph file, no extension typed") << "set1";
    QTest::newRow("tab-separated") << "set1.txt";
    QTest::newRow("comma-separated") << "set1.CSV";
}

// The file view of a saved data set shows what the download view showed:
// the same points, statistics, cursors and data list.
void TestFileView::roundTrip()
{
    QFETCH(QString, name);
    auto w = startedWithSample();
    TfrmGraph &download = *w->downloadView();
    const int n = download.PESGraph1->model().points();
    QCOMPARE(n, 10);
    const Shown before = shown(download, n);

    const bool csv = name.endsWith(QLatin1String(".CSV"));
    const bool refused = csv && decimalComma();
    if (refused)
        m_h->prompter().answerMessage(QMessageBox::Ok);
    saveSingle(*w, path(name));
    const QString saved = QFileInfo(name).suffix().isEmpty() ? path(name + QStringLiteral(".GHF")) : path(name);
    if (refused) {
        // Its fields could not be told apart: nothing is written, and the
        // message says why.
        QVERIFY(!QFileInfo::exists(saved));
        QCOMPARE(m_h->prompter().messages.size(), 1);
        QVERIFY(m_h->prompter().messages.first().startsWith(QStringLiteral("Nothing was written to")));
        return;
    }
    QVERIFY(QFileInfo::exists(saved));
    if (!saved.endsWith(QLatin1String(".GHF")) && !saved.endsWith(QLatin1String(".ghf")))
        QCOMPARE(lines(saved).size(), n);

    TfrmGraph *view = open(*w, saved);
    QVERIFY(view);
    QCOMPARE(view->windowTitle(), QDir::toNativeSeparators(QFileInfo(saved).absoluteFilePath()));
    QCOMPARE(w->mdiArea->currentSubWindow()->widget(), view);
    QVERIFY(!view->Grid2->isVisibleTo(view) && !view->StaticText1->isVisibleTo(view));
    QVERIFY(view->pnlDataList->isVisibleTo(view));
    QCOMPARE(view->PESGraph1->model().points(), n);
    const Shown after = shown(*view, n);
    for (int i = 0; i < n; ++i)
        QVERIFY2(std::abs(after.x.at(i) - before.x.at(i)) < 1e-8, qPrintable(QString::number(i)));
    QCOMPARE(after.y, before.y);
    QCOMPARE(after.texts, before.texts);
    QCOMPARE(view->dataListModel->rowCount(), n);
    QVERIFY(view->Grid3->selectionModel()->isRowSelected(0, {}));
}

void TestFileView::rangeWindow_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("first");  // first point written, from 1; 0: nothing written
    QTest::addColumn<int>("count");

    QTest::newRow("all") << QString() << QString() << 1 << 10;
    QTest::newRow("swapped") << "8" << "3" << 3 << 6;
    QTest::newRow("beyond the end") << "1" << "50" << 1 << 10;
    QTest::newRow("negative") << "-2" << "5" << 2 << 4;
    QTest::newRow("zero") << "0" << "4" << 1 << 4;
    QTest::newRow("lowest 64-bit") << "1" << "-9223372036854775808" << 1 << 10;
    QTest::newRow("text") << "1" << "five" << 0 << 0;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << "2" << 0 << 0;
}

void TestFileView::rangeWindow()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, first);
    QFETCH(int, count);
    auto w = startedWithSample();
    const ChartModel &m = w->downloadView()->PESGraph1->model();
    QString caption;
    QString shownTo;
    const auto answer = range(from, to);
    if (first == 0)
        m_h->prompter().answerMessage(QMessageBox::Ok);
    saveSingle(*w, path(QStringLiteral("range.txt")), [&](QDialog &d) {
        caption = d.windowTitle();
        shownTo = static_cast<TfrmScope &>(d).edtSelTo->text();
        return answer(d);
    });
    QCOMPARE(caption, QStringLiteral("Save File"));
    QCOMPARE(shownTo, QStringLiteral("10"));
    if (first == 0) {
        QCOMPARE(m_h->prompter().messages, QStringList{QStringLiteral("invalid integer")});
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("range.txt"))));
        return;
    }
    const QStringList written = lines(path(QStringLiteral("range.txt")));
    QCOMPARE(written.size(), count);
    const DateTimeText &texts = w->downloadView()->texts();
    QVERIFY(written.first().startsWith(texts.dateTime(m.xDataII(0, first - 1))));
    QVERIFY(written.last().startsWith(texts.dateTime(m.xDataII(0, first + count - 2))));
}

void TestFileView::unreadableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");  // the start of the one message

    ChartModel chart;
    chart.setSubsets(2);
    chart.setPoints(3);
    chart.setXDataII(-1, 0, 40000.0);
    const QByteArray good = chart.store();
    const auto graphFile = [](const QByteArray &body, quint32 count) {
        QByteArray file(4, 0);
        qToLittleEndian<quint32>(count, file.data());
        return file + body;
    };
    ChartModel nan = chart;
    nan.setXDataII(0, 1, std::numeric_limits<double>::quiet_NaN());
    // The model holds no note numbered beyond 1,000,000; a damaged file may.
    ChartModel note = chart;
    note.setGraphAnnotation(ChartModel::MaxAnnotationIndex, {40000.0, 0.0, 0, 0, {}});
    QByteArray top(4, 0), huge(4, 0);
    qToLittleEndian<qint32>(ChartModel::MaxAnnotationIndex, top.data());
    qToLittleEndian<qint32>(std::numeric_limits<qint32>::max(), huge.data());
    const QByteArray hugeNote = note.store().replace(top, huge);
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char &c : random)
        c = char(generator.bounded(256));
    QByteArray randomText = random;
    randomText.replace('\t', 'x');

    QTest::newRow("truncated") << "a.ghf" << graphFile(good, quint32(good.size())).left(good.size() / 2)
                               << "The graph file";
    QTest::newRow("over-long count") << "b.ghf" << graphFile(good, 0xfffffff0u) << "The graph file";
    QTest::newRow("NaN time") << "c.ghf" << graphFile(nan.store(), quint32(nan.store().size())) << "The graph file";
    QTest::newRow("huge note index") << "d.ghf" << graphFile(hugeNote, quint32(hugeNote.size()))
                                     << "The graph file";
    QTest::newRow("random graph file") << "e.ghf" << random << "The graph file";
    QTest::newRow("random text") << "f.txt" << randomText << "The file";
    QTest::newRow("empty text") << "g.txt" << QByteArray() << "The file";
    QTest::newRow("heading only") << "h.txt" << QByteArray("Time\tHumidity\tTemperature\r\n") << "The file";
    QTest::newRow("missing") << "" << QByteArray() << "Cannot open file";
    QTest::newRow("other extension") << "i.dat" << QByteArray("1\t2\t3\r\n") << "The file";
}

// One clear message, no window, nothing changed.
void TestFileView::unreadableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    auto w = startedWithSample();
    const QString file = name.isEmpty() ? path(QStringLiteral("missing.txt")) : path(name);
    if (!name.isEmpty())
        QVERIFY(writeFile(file, bytes));
    const ShownView before = shownView(*w->downloadView());
    m_h->prompter().answerMessage(QMessageBox::Ok);
    QVERIFY(!open(*w, file));
    QCOMPARE(m_h->prompter().messages.size(), 1);
    QVERIFY2(m_h->prompter().messages.first().startsWith(message), qPrintable(m_h->prompter().messages.first()));
    QVERIFY(m_h->prompter().messages.first().contains(QDir::toNativeSeparators(file)));
    QCOMPARE(w->mdiArea->subWindowList().size(), 1);
    QVERIFY(shownView(*w->downloadView()) == before);
}

void TestFileView::textViewScalesXToItsData_data()
{
    QTest::addColumn<QStringList>("times");
    QTest::newRow("one line") << QStringList{"2009-03-01T10:20:00"};
    QTest::newRow("times going back") << QStringList{"2009-03-01T10:20:00", "2009-03-01T10:00:00",
                                                     "2009-03-01T09:40:00"};
    QTest::newRow("irregular") << QStringList{"2009-03-01T10:20:00", "2009-03-01T10:21:00", "2009-03-05T10:00:00"};
}

// Whatever X range the template keeps (here the start-up chart's, years
// away), a text file's view shows its own points.
void TestFileView::textViewScalesXToItsData()
{
    QFETCH(QStringList, times);
    auto w = startMainWindow(m_h->ctx());
    const DateTimeText texts;
    QByteArray text;
    QList<double> xs;
    for (const QString &t : times) {
        const double x = FrameworkTime::fromDateTime(QDateTime::fromString(t, Qt::ISODate));
        xs << x;
        text += (texts.dateTime(x) + u'\t' + texts.reading(25.0f) + u'\t' + texts.reading(30.5f)).toUtf8() + "\r\n";
    }
    QVERIFY(writeFile(path(QStringLiteral("few.txt")), text));
    TfrmGraph *view = open(*w, path(QStringLiteral("few.txt")));
    QVERIFY(view);
    const ChartWidget &chart = *view->PESGraph1;
    QCOMPARE(chart.model().points(), 4);
    QCOMPARE(chart.model().xAxis().scaleControl, ScaleControl::sgAutoScale);
    const auto [lo, hi] = chart.visibleXRange();
    for (double x : xs)
        QVERIFY2(x >= lo && x <= hi, qPrintable(QStringLiteral("%1 outside %2 .. %3").arg(x).arg(lo).arg(hi)));
    QCOMPARE(view->txtDataNo->text(), QStringLiteral("4"));
}

void TestFileView::failedWrites_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("graph file, missing folder") << "missing/set.ghf";
    QTest::newRow("text file, missing folder") << "missing/set.txt";
    QTest::newRow("graph file, a folder in the way") << "taken.ghf";
    QTest::newRow("text file, a folder in the way") << "taken.txt";
}

// The message names the file; what was at the path before stays as it was.
void TestFileView::failedWrites()
{
    QFETCH(QString, name);
    auto w = startedWithSample();
    const QString file = path(name);
    if (name.startsWith(QLatin1String("taken"))) {
        QVERIFY(QDir().mkpath(file));
        QVERIFY(writeFile(file + QStringLiteral("/earlier"), "kept"));
    }
    const QStringList entries = QDir(m_h->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    m_h->prompter().answerMessage(QMessageBox::Ok);
    saveSingle(*w, file);
    QCOMPARE(m_h->prompter().messages,
             QStringList{QStringLiteral("Cannot create file \"") + QDir::toNativeSeparators(file) + u'"'});
    QCOMPARE(QDir(m_h->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
    if (name.startsWith(QLatin1String("taken")))
        QCOMPARE(readFile(file + QStringLiteral("/earlier")), QByteArray("kept"));
    // The progress window has gone with the failure.
    QTRY_VERIFY(!w->dataFiles().progressWindow());
}

void TestFileView::savesSayWhatTheyWrote_data()
{
    QTest::addColumn<bool>("undatedSource"); // save a file view with two undated lines, not the download
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("filter");         // index of the filter chosen; -1: none
    QTest::addColumn<bool>("cancel");        // Cancel on the progress window
    QTest::addColumn<QString>("written");    // the file that holds the lines; empty: none
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("message");    // the start of the one message; empty: none
    QTest::addColumn<QString>("status");     // %1: the path written or refused

    const QString refused = QStringLiteral("Nothing was written to ");
    QTest::newRow("undated lines skipped") << true << "again.txt" << -1 << false << "again.txt" << 10
                                           << "2 of the points have no date"
                                           << "10 lines written to %1 (2 without a date skipped)";
    QTest::newRow("unknown extension") << false << "set1.dat" << -1 << false << QString() << 0 << refused
                                       << "Nothing written to %1";
    if (decimalComma())
        QTest::newRow("csv with a decimal comma") << false << "set1.csv" << -1 << false << QString() << 0 << refused
                                                  << "Nothing written to %1";
    else
        QTest::newRow("csv filter, bare name") << false << "set1" << 2 << false << "set1.CSV" << 10 << QString()
                                               << "10 lines written to %1";
    QTest::newRow("txt filter, bare name") << false << "set1" << 1 << false << "set1.TXT" << 10 << QString()
                                           << "10 lines written to %1";
    QTest::newRow("cancel keeps the earlier file") << false << "set1.txt" << -1 << true << QString() << 0
                                                   << QString() << "Save cancelled: nothing written to %1";
}

// Every save says what it wrote in the status bar; a save that writes nothing
// or leaves points out says why in one message; a cancelled one leaves the
// file that was there before.
void TestFileView::savesSayWhatTheyWrote()
{
    QFETCH(bool, undatedSource);
    QFETCH(QString, typed);
    QFETCH(int, filter);
    QFETCH(bool, cancel);
    QFETCH(QString, written);
    QFETCH(int, count);
    QFETCH(QString, message);
    QFETCH(QString, status);
    auto w = startedWithSample();
    TfrmGraph *view = w->downloadView();
    if (undatedSource) {
        // A heading line and a date in another format: points at time 0.
        const QString source = path(QStringLiteral("source.txt"));
        saveSingle(*w, source);
        QStringList text = lines(source);
        QCOMPARE(text.size(), 10);
        text.insert(5, QStringLiteral("not a date\t50.0\t20.0"));
        text.prepend(QStringLiteral("Time\tHumidity\tTemperature"));
        QVERIFY(writeFile(source, (text.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()));
        m_h->prompter().answerMessage(QMessageBox::Ok);
        view = open(*w, source);
        QVERIFY(view);
        m_h->prompter().messages.clear();
    }
    const QString target = path(typed);
    const QByteArray earlier = "earlier\r\n";
    if (cancel)
        QVERIFY(writeFile(target, earlier));
    const QStringList entries = QDir(m_h->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    // Cancel as the progress window shows, before a line can be written.
    CancelOnShow canceller(cancel);
    w->mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(view->parentWidget()));
    QSignalSpy finished(&w->dataFiles(), &DataFileController::saveFinished);
    if (!undatedSource)
        m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(target, filter);
    if (written.endsWith(QLatin1String("txt"), Qt::CaseInsensitive)
        || written.endsWith(QLatin1String("csv"), Qt::CaseInsensitive) || cancel)
        m_h->prompter().answerDialog(range());
    if (!message.isEmpty())
        m_h->prompter().answerMessage(QMessageBox::Ok);
    w->Save1Click();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QTRY_VERIFY(!w->dataFiles().busy());

    const QString shownPath = QDir::toNativeSeparators(written.isEmpty() ? target : path(written));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SaveStatus"))->text(), status.arg(shownPath));
    QCOMPARE(m_h->prompter().messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(m_h->prompter().messages.first().startsWith(message), qPrintable(m_h->prompter().messages.first()));
    QCOMPARE(finished.first().at(1).toBool(), !written.isEmpty());
    if (written.isEmpty()) {
        // Nothing new in the folder, no partial file: the earlier one as it was.
        QCOMPARE(QDir(m_h->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
        if (cancel)
            QCOMPARE(readFile(target), earlier);
        return;
    }
    const QStringList got = lines(path(written));
    QCOMPARE(got.size(), count);
    for (const QString &line : got)
        QVERIFY2(!line.startsWith(QLatin1String("not a date")) && !line.startsWith(QLatin1String("Time")),
                 qPrintable(line));
}

// Yes to "Save DataLogger Data ?" and then a single data set file: the
// download is still unsaved, so the view stays open, and the user is told.
void TestFileView::closeQuestionWithASingleFileSave()
{
    auto w = startedWithSample();
    w->session().markUnsaved();
    const QPointer<TfrmGraph> view = w->downloadView();
    m_h->prompter().answerMessage(QMessageBox::Yes);
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(path(QStringLiteral("one.ghf")));
    m_h->prompter().answerMessage(QMessageBox::Ok);
    QVERIFY(!view->close());
    QVERIFY(view);
    QVERIFY(w->session().unsavedDownload());
    QVERIFY(QFileInfo::exists(path(QStringLiteral("one.ghf"))));
    QCOMPARE(m_h->prompter().messages.size(), 2);
    QVERIFY(m_h->prompter().messages.last().contains(QLatin1String("still not saved")));
}

void TestFileView::viewsKeepTheRoleTheyWereMadeFor_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("the download view") << QString();
    QTest::newRow("a graph file's view") << "set1.ghf";
    QTest::newRow("a text file's view") << "set1.txt";
}

void TestFileView::viewsKeepTheRoleTheyWereMadeFor()
{
    QFETCH(QString, file);
    auto w = startedWithSample();
    const bool download = file.isEmpty();
    if (!download)
        saveSingle(*w, path(file));
    TfrmGraph *v = download ? w->downloadView() : open(*w, path(file));
    QVERIFY(v);
    QCOMPARE(v->isDownloadView(), download);
    QCOMPARE(w->downloadView() == v, download);
    // A caption does not make a view the download view, nor take it away.
    const QString caption = v->windowTitle();
    v->setWindowTitle(download ? QStringLiteral("/data/DataLogger") : TfrmGraph::downloadCaption());
    QCOMPARE(v->isDownloadView(), download);
    v->setWindowTitle(caption);

    // What the view shows of itself: the data set list in the download view
    // only, the data list in both.
    QVERIFY(v->pnlDataSets->isVisibleTo(v));
    QVERIFY(v->pnlDataList->isVisibleTo(v));
    QCOMPARE(v->Grid2->isVisibleTo(v), download);
    QCOMPARE(v->StaticText1->isVisibleTo(v), download);
    auto *sub = qobject_cast<QMdiSubWindow *>(v->parentWidget());
    QVERIFY(sub);
    const int frame = sub->width() - v->width();
    QCOMPARE(sub->width(), download ? 1011 + frame : w->width());

    // Only the download view asks about the unsaved download when it closes.
    w->session().markUnsaved();
    const qsizetype asked = m_h->prompter().messages.size();
    if (download)
        m_h->prompter().answerMessage(QMessageBox::No);
    QVERIFY(sub->close());
    QCOMPARE(m_h->prompter().messages.size() - asked, download ? 1 : 0);
    QCOMPARE(w->session().unsavedDownload(), !download);
}

QTEST_MAIN(TestFileView)
#include "tst_fileview.moc"
