// Alarm limits in the data views: the "Limits" dialog (valid entries, each
// kind of bad entry, a limits file that cannot be written), the statistics
// panel's limit and mean kinetic temperature boxes, the chart's limit lines,
// limits shared by every open view, and the units of a Fahrenheit data set
// and of a file view.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

#include "chart/ChartWidget.h"
#include "core/chart/CursorController.h"
#include "core/app/AlarmSettings.h"
#include "core/data/DateTimeText.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/dataview/TfrmLimits.h"
#include "gui/files/DataFileController.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"
#include "Outcome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// What the user types into the dialog's boxes, by object name.
using Entries = QMap<QString, QString>;

// The temperatures (tenths) of the set most tests show, one a minute from
// 01/03/2009 10:20:00: above 25.0 at samples 2-3 and 8, below 20.0 at 5-6.
const QList<qint16> kTemperatures = {200, 210, 255, 260, 220, 190, 180, 220, 270, 220};

double sampleTime(int i)
{
    return FrameworkTime::fromDateTime(QDateTime(QDate(2009, 3, 1), QTime(10, 20, 0))) + i * 60.0 / 86400.0;
}

QByteArray image(const QList<qint16> &temperatures, bool fahrenheit = false)
{
    ImageSet set;
    set.every(60);
    if (fahrenheit)
        set.fahrenheit();
    for (qint16 t : temperatures)
        set.add(500, t);
    return ImageBuilder().add(set).build();
}

} // namespace

Q_DECLARE_METATYPE(Entries)

class TestLimitsView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void validEntriesApplyAndAreSaved_data();
    void validEntriesApplyAndAreSaved();
    void badEntryChangesNothing_data();
    void badEntryChangesNothing();
    void unwritableFileStillApplies();
    void everyOpenViewFollows_data();
    void everyOpenViewFollows();
    void fahrenheitSetShowsConvertedLimits();
    void fileViewReadingsInFahrenheit();
    void shortFileCountsItsLinesOnly();
    void meanKineticTemperature_data();
    void meanKineticTemperature();

private:
    std::unique_ptr<TfrmMain> started(const QByteArray &image);
    // Answers the next "Limits" dialog: fills the boxes, presses OK and, when
    // OK refused the entries, Cancel.
    void answerLimits(const Entries &entries, int fileUnit = -1);
    TfrmGraph *openFileView(TfrmMain &w, const QList<qint16> &temperatures);
    QString limitsFile() const { return AlarmSettings(m_h->path()).filePath(); }
    AlarmSettings stored() const
    {
        AlarmSettings s(m_h->path());
        s.load();
        return s;
    }
    static QString side(const DateTimeText &t, const char *counts, int longestFrom)
    {
        return QString::fromLatin1(counts) + t.dateTime(sampleTime(longestFrom));
    }

    std::unique_ptr<Harness::TestContext> m_h;
    // Whether OK took the entries of the last dialog answered.
    bool m_accepted = false;
};

void TestLimitsView::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Root);
    QVERIFY(m_h->isValid());
}

void TestLimitsView::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestLimitsView::started(const QByteArray &bytes)
{
    auto w = startMainWindow(m_h->ctx());
    if (!w->session().ParseLoggerImage(bytes, bytes.size()) || !w->session().SaveTempImage())
        return nullptr;
    w->session().showFirstDataSet();
    return w;
}

void TestLimitsView::answerLimits(const Entries &entries, int fileUnit)
{
    m_h->prompter().answerDialog([this, entries, fileUnit](QDialog &d) {
        auto &dialog = static_cast<TfrmLimits &>(d);
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            auto *box = dialog.findChild<QLineEdit *>(it.key());
            if (!box)
                qFatal("no box %s", qPrintable(it.key()));
            box->setText(it.value());
        }
        if (fileUnit >= 0)
            dialog.cmbFileUnit->setCurrentIndex(fileUnit);
        dialog.BitBtn1->click();
        m_accepted = dialog.result() == QDialog::Accepted;
        if (!m_accepted)
            dialog.BitBtn2->click();
        return dialog.result();
    });
}

TfrmGraph *TestLimitsView::openFileView(TfrmMain &w, const QList<qint16> &temperatures)
{
    const DateTimeText texts;
    QByteArray text;
    for (int i = 0; i < temperatures.size(); ++i)
        text += (texts.dateTime(sampleTime(i)) + u'\t' + texts.reading(50.0f) + u'\t'
                 + texts.reading(temperatures[i] / 10.0f))
                    .toUtf8()
            + "\r\n";
    const QString path = m_h->filePath(QStringLiteral("readings.txt"));
    if (!writeFile(path, text))
        return nullptr;
    QSignalSpy opened(&w.dataFiles(), &DataFileController::fileOpened);
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(path);
    w.btnOpenClick();
    if (!QTest::qWaitFor([&] { return !opened.isEmpty(); }, 10000))
        return nullptr;
    return opened.first().first().value<TfrmGraph *>();
}

// The dialog's entries reach the panel (counts and durations at the set's
// one-minute interval, a reading equal to a limit within), the chart and the
// limits file.
void TestLimitsView::validEntriesApplyAndAreSaved_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("limits");
    QTest::addColumn<QString>("above");
    QTest::addColumn<QString>("below");
    QTest::addColumn<QString>("within");
    QTest::addColumn<double>("energy");
    const DateTimeText t;
    const auto entries = [&t](const char *low, const char *high, const char *energy) {
        const auto typed = [&t](const char *v) {
            return *v ? t.fixed(QByteArray(v).toDouble(), 1) : QString();
        };
        return Entries{{QStringLiteral("edtTemperatureLow"), typed(low)},
                       {QStringLiteral("edtTemperatureHigh"), typed(high)},
                       {QStringLiteral("edtActivationEnergy"), QString::fromLatin1(energy)}};
    };
    const QString twoBelow = side(t, "2 samples, 0:02:00, 1 excursion, longest 0:02:00 from ", 5);
    QTest::newRow("both limits")
        << entries("20", "25", "83.144") << t.oneDecimal(20) + QStringLiteral(" to ") + t.oneDecimal(25)
        << side(t, "3 samples, 0:03:00, 2 excursions, longest 0:02:00 from ", 2) << twoBelow
        << t.oneDecimal(50) + QStringLiteral(" %") << 83.144;
    QTest::newRow("high limit only, the largest activation energy")
        << entries("", "25", "10000") << QStringLiteral("up to ") + t.oneDecimal(25)
        << side(t, "3 samples, 0:03:00, 2 excursions, longest 0:02:00 from ", 2) << QStringLiteral("none")
        << t.oneDecimal(70) + QStringLiteral(" %") << 10000.0;
    QTest::newRow("a reading equal to the high limit is within")
        << entries("19.5", "26", "50") << t.oneDecimal(19.5) + QStringLiteral(" to ") + t.oneDecimal(26)
        << side(t, "1 sample, 0:01:00, 1 excursion, longest 0:01:00 from ", 8) << twoBelow
        << t.oneDecimal(70) + QStringLiteral(" %") << 50.0;
}

void TestLimitsView::validEntriesApplyAndAreSaved()
{
    QFETCH(Entries, entries);
    QFETCH(QString, limits);
    QFETCH(QString, above);
    QFETCH(QString, below);
    QFETCH(QString, within);
    QFETCH(double, energy);
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph &v = *w->downloadView();
    v.panel()->TabControl1->setCurrentIndex(1);
    QVERIFY(!v.panel()->txtAbove->isVisibleTo(&v));
    answerLimits(entries);
    v.panel()->btnLimits->click();
    QVERIFY(m_accepted);
    QCOMPARE(m_h->prompter().dialogs, QStringList{QStringLiteral("Limits")});
    QCOMPARE(v.panel()->txtLimits->text(), limits);
    QCOMPARE(v.panel()->txtAbove->text(), above);
    QCOMPARE(v.panel()->txtBelow->text(), below);
    QCOMPARE(v.panel()->txtWithin->text(), within);
    QVERIFY(v.panel()->txtAbove->isVisibleTo(&v));

    const AlarmSettings file = stored();
    QCOMPARE(file.limits[1], m_h->ctx().alarmLimits().settings().limits[1]);
    QCOMPARE(file.activationEnergy, energy);
    QVERIFY(!file.limits[0].isSet());
    QList<ChartLimitLine> lines;
    for (const std::optional<double> &l : {file.limits[1].low, file.limits[1].high}) {
        if (l)
            lines.append({1, *l});
    }
    QCOMPARE(v.PESGraph1->limitLines(), lines);

    // Emptied boxes take the limits away again.
    answerLimits({{QStringLiteral("edtTemperatureLow"), QString()}, {QStringLiteral("edtTemperatureHigh"), QString()}});
    v.panel()->btnLimits->click();
    QVERIFY(m_accepted);
    QCOMPARE(v.panel()->txtLimits->text(), QStringLiteral("none"));
    QVERIFY(v.PESGraph1->limitLines().isEmpty());
    QVERIFY(!v.panel()->txtAbove->isVisibleTo(&v));
    QVERIFY(!stored().limits[1].isSet());
}

// A bad entry is named, the dialog stays open, and neither the limits, nor
// the panel, nor the file change.
void TestLimitsView::badEntryChangesNothing_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("message");
    const auto box = [](const char *name, const char *text) {
        return Entries{{QString::fromLatin1(name), QString::fromLatin1(text)}};
    };
    QTest::newRow("humidity low not a number")
        << box("edtHumidityLow", "abc") << "The humidity low limit \"abc\" is not a number.";
    QTest::newRow("temperature high not a number")
        << box("edtTemperatureHigh", "12a") << "The temperature high limit \"12a\" is not a number.";
    QTest::newRow("humidity high infinite")
        << box("edtHumidityHigh", "inf") << "The humidity high limit \"inf\" is not a number.";
    QTest::newRow("temperature low nan")
        << box("edtTemperatureLow", "nan") << "The temperature low limit \"nan\" is not a number.";
    QTest::newRow("temperature low above high")
        << box("edtTemperatureLow", "30") << "The temperature low limit is above its high limit.";
    QTest::newRow("humidity low above high")
        << Entries{{QStringLiteral("edtHumidityLow"), QStringLiteral("60")},
                   {QStringLiteral("edtHumidityHigh"), QStringLiteral("40")}}
        << "The humidity low limit is above its high limit.";
    QTest::newRow("activation energy empty")
        << box("edtActivationEnergy", "") << "The activation energy \"\" is not a number.";
    QTest::newRow("activation energy zero")
        << box("edtActivationEnergy", "0") << "The activation energy must be above 0 and at most 10000 kJ/mol.";
    QTest::newRow("activation energy above 10000")
        << box("edtActivationEnergy", "10001") << "The activation energy must be above 0 and at most 10000 kJ/mol.";
}

void TestLimitsView::badEntryChangesNothing()
{
    QFETCH(Entries, entries);
    QFETCH(QString, message);
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph &v = *w->downloadView();
    v.panel()->TabControl1->setCurrentIndex(1);
    answerLimits({{QStringLiteral("edtTemperatureLow"), QStringLiteral("20")},
                  {QStringLiteral("edtTemperatureHigh"), QStringLiteral("25")}});
    v.panel()->btnLimits->click();
    QVERIFY(m_accepted);
    const AlarmSettings before = m_h->ctx().alarmLimits().settings();
    const QByteArray file = readFile(limitsFile());
    const QStringList panel = {v.panel()->txtLimits->text(), v.panel()->txtAbove->text(), v.panel()->txtBelow->text(), v.panel()->txtWithin->text()};
    QSignalSpy changed(&m_h->ctx().alarmLimits(), &SharedAlarmLimits::changed);

    m_h->prompter().answerMessage(QMessageBox::Ok);
    answerLimits(entries);
    v.panel()->btnLimits->click();
    QVERIFY(!m_accepted);
    QCOMPARE(m_h->prompter().messages, QStringList{message});
    QCOMPARE(changed.size(), 0);
    QVERIFY(m_h->ctx().alarmLimits().settings() == before);
    QCOMPARE(readFile(limitsFile()), file);
    QCOMPARE((QStringList{v.panel()->txtLimits->text(), v.panel()->txtAbove->text(), v.panel()->txtBelow->text(), v.panel()->txtWithin->text()}), panel);
}

// A limits file that cannot be written is reported; the limits hold for the run.
void TestLimitsView::unwritableFileStillApplies()
{
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph &v = *w->downloadView();
    // A file where the folder of the limits file should be.
    const QString folder = QFileInfo(limitsFile()).absolutePath();
    QVERIFY(writeFile(folder, "not a folder"));
    m_h->prompter().answerMessage(QMessageBox::Ok);
    answerLimits({{QStringLiteral("edtHumidityHigh"), QStringLiteral("55")}});
    v.panel()->btnLimits->click();
    QVERIFY(m_accepted);
    QCOMPARE(m_h->prompter().messages,
             QStringList{QStringLiteral("Cannot create ") + QDir::toNativeSeparators(folder) + QStringLiteral(" directory.")});
    QCOMPARE(m_h->ctx().alarmLimits().settings().limits[0].high, std::optional<double>(55.0));
    QCOMPARE(v.panel()->txtLimits->text(), QStringLiteral("up to ") + v.texts().oneDecimal(55));
    QCOMPARE(v.PESGraph1->limitLines(), (QList<ChartLimitLine>{{0, 55.0}}));
}

// Limits set in one view show at once in every other open view.
void TestLimitsView::everyOpenViewFollows_data()
{
    QTest::addColumn<bool>("fromFileView");
    QTest::newRow("set in the download view") << false;
    QTest::newRow("set in a file view") << true;
}

void TestLimitsView::everyOpenViewFollows()
{
    QFETCH(bool, fromFileView);
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph *fileView = openFileView(*w, kTemperatures);
    QVERIFY(fileView);
    TfrmGraph &setter = fromFileView ? *fileView : *w->downloadView();
    TfrmGraph &other = fromFileView ? *w->downloadView() : *fileView;
    QCOMPARE(other.panel()->txtLimits->text(), QStringLiteral("none"));
    answerLimits({{QStringLiteral("edtHumidityLow"), QStringLiteral("45")},
                  {QStringLiteral("edtHumidityHigh"), QStringLiteral("55")}});
    setter.panel()->btnLimits->click();
    QVERIFY(m_accepted);
    const DateTimeText &t = other.texts();
    QCOMPARE(other.panel()->txtLimits->text(), t.oneDecimal(45) + QStringLiteral(" to ") + t.oneDecimal(55));
    // Every humidity reading is 50.0.
    QCOMPARE(other.panel()->txtWithin->text(), t.oneDecimal(100) + QStringLiteral(" %"));
    QCOMPARE(other.panel()->txtAbove->text(), QStringLiteral("none"));
    QCOMPARE(other.PESGraph1->limitLines(), (QList<ChartLimitLine>{{0, 45.0}, {0, 55.0}}));
}

// A Fahrenheit set shows limits kept in degrees Celsius converted, and
// limits entered on it are kept in degrees Fahrenheit.
void TestLimitsView::fahrenheitSetShowsConvertedLimits()
{
    AlarmSettings celsius(m_h->path());
    celsius.setLimits(1, {20.0, 25.0}, TemperatureUnit::Celsius);
    QVERIFY(celsius.save());
    auto w = started(image({680, 700, 780, 770}, true));
    QVERIFY(w);
    TfrmGraph &v = *w->downloadView();
    v.panel()->TabControl1->setCurrentIndex(1);
    const DateTimeText &t = v.texts();
    QCOMPARE(v.panel()->txtLimits->text(), t.oneDecimal(68) + QStringLiteral(" to ") + t.oneDecimal(77));
    QCOMPARE(v.panel()->txtAbove->text(), side(t, "1 sample, 0:01:00, 1 excursion, longest 0:01:00 from ", 2));
    QCOMPARE(v.PESGraph1->limitLines(), (QList<ChartLimitLine>{{1, 68.0}, {1, 77.0}}));

    m_h->prompter().answerDialog([](QDialog &d) {
        auto &dialog = static_cast<TfrmLimits &>(d);
        [&] {
            QCOMPARE(dialog.edtTemperatureLow->text(), QStringLiteral("68"));
            QCOMPARE(dialog.edtTemperatureHigh->text(), QStringLiteral("77"));
            QCOMPARE(dialog.lblTemperatureUnit->text(), QStringLiteral("°F"));
            QVERIFY(!dialog.cmbFileUnit->isVisibleTo(&dialog));
        }();
        dialog.edtTemperatureLow->setText(QStringLiteral("50"));
        dialog.BitBtn1->click();
        return dialog.result();
    });
    v.panel()->btnLimits->click();
    QCOMPARE(v.panel()->txtLimits->text(), t.oneDecimal(50) + QStringLiteral(" to ") + t.oneDecimal(77));
    const AlarmSettings file = stored();
    QCOMPARE(file.temperatureUnit, TemperatureUnit::Fahrenheit);
    QCOMPARE(file.limitsFor(1, TemperatureUnit::Celsius), (ChannelLimits{10.0, 25.0}));
}

// A file view takes its readings as degrees Celsius until the user says
// Fahrenheit (for that view only); its limits then count converted, as for a
// Fahrenheit data set.
void TestLimitsView::fileViewReadingsInFahrenheit()
{
    AlarmSettings celsius(m_h->path());
    celsius.setLimits(1, {20.0, 25.0}, TemperatureUnit::Celsius);
    QVERIFY(celsius.save());
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph *view = openFileView(*w, {770, 770, 770, 770, 770});
    QVERIFY(view);
    view->panel()->TabControl1->setCurrentIndex(1);
    const DateTimeText &t = view->texts();
    QCOMPARE(view->panel()->txtMkt->text(), t.oneDecimal(77) + QStringLiteral(" °C"));
    QCOMPARE(view->panel()->txtLimits->text(), t.oneDecimal(20) + QStringLiteral(" to ") + t.oneDecimal(25));

    answerLimits({}, 1);
    view->panel()->btnLimits->click();
    QVERIFY(m_accepted);
    QCOMPARE(view->panel()->txtMkt->text(), t.oneDecimal(77) + QStringLiteral(" °F"));
    QCOMPARE(view->panel()->txtMktAB->text(), t.oneDecimal(77) + QStringLiteral(" °F"));
    QCOMPARE(view->panel()->txtLimits->text(), t.oneDecimal(68) + QStringLiteral(" to ") + t.oneDecimal(77));
    QCOMPARE(view->PESGraph1->limitLines(), (QList<ChartLimitLine>{{1, 68.0}, {1, 77.0}}));
    QCOMPARE(view->panel()->txtAbove->text(), QStringLiteral("none"));
    // The choice is the view's own: the kept limits and the other views keep their unit.
    QCOMPARE(stored().temperatureUnit, TemperatureUnit::Celsius);
    QCOMPARE(stored().limits[1], (ChannelLimits{20.0, 25.0}));
    w->downloadView()->panel()->TabControl1->setCurrentIndex(1);
    QVERIFY(w->downloadView()->panel()->txtMkt->text().endsWith(QStringLiteral(" °C")));
}

// A file of two lines is charted on four points; the two of padding are no
// readings above any limit, and the interval comes from the lines.
void TestLimitsView::shortFileCountsItsLinesOnly()
{
    AlarmSettings limits(m_h->path());
    limits.setLimits(1, {std::nullopt, 25.0}, TemperatureUnit::Celsius);
    QVERIFY(limits.save());
    auto w = started(image(kTemperatures));
    QVERIFY(w);
    TfrmGraph *view = openFileView(*w, {300, 300});
    QVERIFY(view);
    QCOMPARE(view->cursors().points(), 4);
    view->panel()->TabControl1->setCurrentIndex(1);
    const DateTimeText &t = view->texts();
    QCOMPARE(view->panel()->txtAbove->text(), side(t, "2 samples, 0:02:00, 1 excursion, longest 0:02:00 from ", 0));
    QCOMPARE(view->panel()->txtWithin->text(), t.oneDecimal(0) + QStringLiteral(" %"));
    QCOMPARE(view->panel()->txtMkt->text(), t.oneDecimal(30) + QStringLiteral(" °C"));
}

// The mean kinetic temperature of the set and between the cursors (both
// included), on the Temperature tab only. Worked by hand with dH/R = 10,000 K:
// 20 and 30 degrees Celsius give 26.26, 20, 30 and 20 give 24.60.
void TestLimitsView::meanKineticTemperature_data()
{
    QTest::addColumn<QList<qint16>>("temperatures");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("whole");
    QTest::addColumn<QString>("between");
    const DateTimeText t;
    QTest::newRow("two temperatures")
        << QList<qint16>{200, 300, 200, 300, 200, 300} << false << t.oneDecimal(26.3) + QStringLiteral(" °C")
        << t.oneDecimal(24.6) + QStringLiteral(" °C");
    QTest::newRow("Fahrenheit set")
        << QList<qint16>{770, 770, 770, 770, 770, 770} << true << t.oneDecimal(77) + QStringLiteral(" °F")
        << t.oneDecimal(77) + QStringLiteral(" °F");
    QTest::newRow("no reading counts")
        << QList<qint16>{-32768, -32768, -32768, -32768, -32768, -32768} << false << QStringLiteral("****")
        << QStringLiteral("****");
}

void TestLimitsView::meanKineticTemperature()
{
    QFETCH(QList<qint16>, temperatures);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, whole);
    QFETCH(QString, between);
    auto w = started(image(temperatures, fahrenheit));
    QVERIFY(w);
    TfrmGraph &v = *w->downloadView();
    QVERIFY(!v.panel()->txtMkt->isVisibleTo(&v));
    v.panel()->TabControl1->setCurrentIndex(1);
    QCOMPARE(v.cursors().CursorAIndex(), 2);
    QCOMPARE(v.cursors().CursorBIndex(), 4);
    QVERIFY(v.panel()->txtMkt->isVisibleTo(&v) && v.panel()->txtMktAB->isVisibleTo(&v));
    QCOMPARE(v.panel()->txtMkt->text(), whole);
    QCOMPARE(v.panel()->txtMktAB->text(), between);
}

QTEST_MAIN(TestLimitsView)
#include "tst_limits_view.moc"
