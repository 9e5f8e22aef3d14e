// The LCD mirror window: what UpdateLcd lights, what it leaves alone, the
// diagnostic tag list, the held-back close and the picture it paints.
#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"
#include "gui/live/LcdImage.h"
#include "gui/live/LiveReadings.h"
#include "gui/live/TfrmLCD.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

QByteArray liveFrame(int temperature, int humidity, int battery, int memory, int status)
{
    return Meter::LIVE_FRAME(qint16(temperature), qint16(humidity), quint8(battery),
                             quint8(memory), quint8(status));
}

LiveDisplayState decoded(const QByteArray &frame)
{
    return decodeLiveFrame(frame);
}

LcdImage *image(const TfrmLCD &mirror, const char *name)
{
    return mirror.findChild<LcdImage *>(QLatin1String(name));
}

// Counts every visibility change and picture assignment of the mirror's images.
class ChangeCounter : public QObject
{
public:
    explicit ChangeCounter(TfrmLCD &mirror)
    {
        for (LcdImage *img : mirror.findChildren<LcdImage *>()) {
            img->installEventFilter(this);
            connect(img, &LcdImage::pictureSet, this, [this] { ++pictures; });
        }
    }
    int visibility = 0;
    int pictures = 0;
    int total() const { return visibility + pictures; }
    void reset() { visibility = pictures = 0; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
            ++visibility;
        return false;
    }
};

const char *const kTaggedNames[] = {
    "imgMCell0", "imgMCell1", "imgMCell2", "imgMCell3", "imgMCell4", "imgMCell5", "imgMCell6",
    "imgMCell7", "imgMEM", "imgT1Minus", "imgINTV", "imgRec", "imgMPoint4", "imgC", "imgF",
    "imgBATEmpty", "imgBCell4", "imgBCell3", "imgBCell2", "imgBCell1", "imgBCell0",
};

// Segments lit by each figure (a top, b upper right, c lower right, d bottom,
// e lower left, f upper left, g middle), and a point well inside each segment
// of a 34 x 62 figure leaning slightly forwards.
const std::map<int, QString> kLitSegments{
    {0, "abcdef"}, {1, "bc"},     {2, "abdeg"}, {3, "abcdg"},   {4, "bcfg"},   {5, "acdfg"},
    {6, "acdefg"}, {7, "abc"},    {8, "abcdefg"}, {9, "abcdfg"}, {11, ""},
};
const std::map<QChar, QPoint> kSegmentCentre{
    {u'a', {18, 4}}, {u'b', {28, 16}}, {u'c', {26, 46}}, {u'd', {15, 58}},
    {u'e', {5, 46}}, {u'f', {7, 16}},  {u'g', {16, 31}},
};
const int kDigitLeft[] = {74, 114, 155, 198};
constexpr int kDigitTop = 32;

bool isGround(QRgb c)
{
    return c == qRgb(0xE4, 0xE4, 0xE4);
}

bool isSegment(QRgb c)
{
    return qGray(c) < 0x50;
}

} // namespace

class TestLcdMirror : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void window();
    void firstFrameLightsWhatIsSet();
    void identicalFrameChangesNothing();
    void humiditySymbolFollowsTheUnit();
    void intervalSymbolNeverLit();
    void rs232Symbol();
    void writesTagList();
    void tagListFailureIsSilent();
    void closeWhileReceivingIsHeldBack();
    void readingsSurviveAClosedMirror();
    void staleReadingIsFaded();
    void paintsSegments_data();
    void paintsSegments();

private:
    QTemporaryDir m_dir;
    QString m_oldCurrent;
};

void TestLcdMirror::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestLcdMirror::cleanupTestCase()
{
    QDir::setCurrent(m_oldCurrent);
}

void TestLcdMirror::window()
{
    TfrmLCD mirror;
    QCOMPARE(mirror.windowTitle(), QStringLiteral("LCD"));
    QCOMPARE(mirror.size(), QSize(276, 100));
    QCOMPARE(mirror.minimumSize(), mirror.maximumSize());
    QVERIFY(mirror.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(mirror.windowFlags() & Qt::WindowMaximizeButtonHint));

    QCOMPARE(image(mirror, "MainD2")->geometry(), QRect(74, 32, 33, 62));
    QCOMPARE(image(mirror, "imgRH")->geometry(), QRect(240, 64, 22, 27));
    QCOMPARE(image(mirror, "imgMCell7")->geometry(), QRect(28, 24, 16, 7));
    QCOMPARE(image(mirror, "imgBCell0")->geometry(), QRect(247, 11, 7, 9));
    QCOMPARE(image(mirror, "imgBCell4")->geometry(), QRect(211, 11, 7, 9));
    for (LcdImage *img : mirror.findChildren<LcdImage *>())
        QCOMPARE(img->isHidden(), !img->objectName().startsWith(u"MainD"));
}

void TestLcdMirror::firstFrameLightsWhatIsSet()
{
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    QCOMPARE(mirror.IndicatorImages().size(), 21);
    QCOMPARE(mirror.DigitImages().size(), 4);

    const LiveDisplayState s = decoded(liveFrame(235, 0, 4, 3, 0x09));
    mirror.UpdateLcd(s);
    for (int k = 0; k < 21; ++k)
        QVERIFY2(mirror.IndicatorImages().at(k)->isHidden() != s.lit(k), kTaggedNames[k]);
    QCOMPARE(mirror.DigitImages().at(0)->glyph(), 11);
    QCOMPARE(mirror.DigitImages().at(1)->glyph(), 2);
    QCOMPARE(mirror.DigitImages().at(2)->glyph(), 3);
    QCOMPARE(mirror.DigitImages().at(3)->glyph(), 5);
    QCOMPARE(mirror.ShownMask(), s.IndicatorMask);
    // Four bars: all but the leftmost.
    QVERIFY(image(mirror, "imgBCell4")->isHidden());
    QVERIFY(!image(mirror, "imgBCell3")->isHidden());
    QVERIFY(!image(mirror, "imgBCell0")->isHidden());
    QVERIFY(image(mirror, "imgMCell3")->isHidden());
    QVERIFY(image(mirror, "imgRH")->isHidden());
}

void TestLcdMirror::identicalFrameChangesNothing()
{
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    ChangeCounter count(mirror);

    // A blank hundreds digit is already shown by BuildLcdLists: nothing to set.
    mirror.UpdateLcd(decoded(liveFrame(235, 0, 4, 3, 0x01)));
    QCOMPARE(count.pictures, 3);
    count.reset();
    mirror.UpdateLcd(decoded(liveFrame(235, 0, 4, 3, 0x01)));
    QCOMPARE(count.total(), 0);

    // One tenth and one battery bar less: one picture, one image hidden.
    mirror.UpdateLcd(decoded(liveFrame(234, 0, 3, 3, 0x01)));
    QCOMPARE(count.pictures, 1);
    QCOMPARE(count.visibility, 1);
    QVERIFY(image(mirror, "imgBCell3")->isHidden());
}

void TestLcdMirror::humiditySymbolFollowsTheUnit()
{
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    LcdImage *c = image(mirror, "imgC");
    LcdImage *f = image(mirror, "imgF");
    LcdImage *rh = image(mirror, "imgRH");

    mirror.UpdateLcd(decoded(liveFrame(235, 350, 0, 0, 0x00)));
    QVERIFY(c->isHidden() && f->isHidden() && !rh->isHidden());
    mirror.UpdateLcd(decoded(liveFrame(235, 350, 0, 0, 0x01)));
    QVERIFY(!c->isHidden() && f->isHidden() && rh->isHidden());
    mirror.UpdateLcd(decoded(liveFrame(235, 350, 0, 0, 0x02)));
    QVERIFY(c->isHidden() && !f->isHidden() && rh->isHidden());
    mirror.UpdateLcd(decoded(liveFrame(235, 350, 0, 0, 0x03)));
    QVERIFY(!c->isHidden() && !f->isHidden() && rh->isHidden());
    mirror.UpdateLcd(decoded(liveFrame(235, 350, 0, 0, 0x08)));
    QVERIFY(c->isHidden() && f->isHidden() && !rh->isHidden());
}

void TestLcdMirror::intervalSymbolNeverLit()
{
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    for (int status : {0x00, 0x01, 0x02, 0x03, 0x04, 0x08, 0x0F, 0xFF}) {
        mirror.UpdateLcd(decoded(liveFrame(-1, -1, 0x7F, 0x7F, status)));
        QVERIFY(image(mirror, "imgINTV")->isHidden());
    }
}

void TestLcdMirror::rs232Symbol()
{
    TfrmLCD mirror;
    LcdImage *rs = image(mirror, "imgRS232");
    mirror.setRs232Visible(true);
    QVERIFY(!rs->isHidden());
    mirror.UpdateLcd(decoded(liveFrame(235, 0, 0, 0, 0x01)));
    QVERIFY(!rs->isHidden());
    mirror.setRs232Visible(false);
    QVERIFY(rs->isHidden());
}

void TestLcdMirror::writesTagList()
{
    QTemporaryDir folder;
    TfrmLCD mirror;
    mirror.setTagFolder(folder.path());
    mirror.BuildLcdLists();
    // The program data folder, never the current one.
    QVERIFY(!QFile::exists(QDir(m_dir.path()).filePath(QStringLiteral("lcdtag.txt"))));
    QFile file(QDir(folder.path()).filePath(QStringLiteral("lcdtag.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 21);
    for (int i = 0; i < 21; ++i)
        QCOMPARE(lines.at(i), QStringLiteral("%1\t%2").arg(i).arg(QLatin1String(kTaggedNames[i])));
    QCOMPARE(lines.at(12), QStringLiteral("12\timgMPoint4"));

    // Rebuilding replaces the list rather than adding to it.
    mirror.BuildLcdLists();
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(QString::fromUtf8(file.readAll()).count(u'\n'), 21);
}

void TestLcdMirror::tagListFailureIsSilent()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("lcdtag.txt"))); // a folder in the way
    TfrmLCD mirror;
    mirror.setTagFolder(dir.path());
    mirror.BuildLcdLists();
    QCOMPARE(mirror.IndicatorImages().size(), 21);
    mirror.UpdateLcd(decoded(liveFrame(235, 0, 5, 8, 0x01)));
    QVERIFY(!image(mirror, "imgMCell7")->isHidden());
}

void TestLcdMirror::closeWhileReceivingIsHeldBack()
{
    bool receiveBusy = true;
    QPointer<TfrmLCD> mirror = new TfrmLCD(nullptr, [&receiveBusy] { return receiveBusy; });
    mirror->BuildLcdLists();
    mirror->show();

    int closeAttempts = 0;
    class CloseCounter : public QObject
    {
    public:
        explicit CloseCounter(int &n) : m_n(n) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Close)
                ++m_n;
            return false;
        }
        int &m_n;
    } counter(closeAttempts);
    mirror->installEventFilter(&counter);

    QVERIFY(!mirror->close());
    // The close is tried again from the event loop while the handler is busy.
    QTRY_VERIFY(closeAttempts >= 3);
    QVERIFY(mirror);
    QVERIFY(mirror->isVisible());

    receiveBusy = false;
    QTRY_VERIFY(mirror.isNull());
}

// While no meter is connected the last reading stays, faded: it must not
// look live. The segments go back to full black with the connection.
void TestLcdMirror::staleReadingIsFaded()
{
    LiveReadings readings;
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    readings.setMirror(&mirror);
    readings.onConnected(true);
    readings.onLiveFrame(liveFrame(235, 0, 2, 1, 0x01)); // 23.5 °C
    const QPoint tensTop(kDigitLeft[1] + kSegmentCentre.at(u'a').x(), kDigitTop + kSegmentCentre.at(u'a').y());
    const auto segment = [&] { return mirror.grab().toImage().pixel(tensTop); };
    QVERIFY(!mirror.isStale());
    QVERIFY(isSegment(segment()));
    readings.onConnected(false);
    QVERIFY(mirror.isStale());
    QCOMPARE(mirror.DigitImages().at(1)->glyph(), 2);
    QVERIFY2(!isSegment(segment()) && !isGround(segment()), qPrintable(QString::number(segment(), 16)));
    readings.onConnected(true);
    QVERIFY(!mirror.isStale());
    QVERIFY(isSegment(segment()));
}

void TestLcdMirror::readingsSurviveAClosedMirror()
{
    LiveReadings readings;
    QSignalSpy decodedSpy(&readings, &LiveReadings::frameDecoded);
    readings.onLiveFrame(liveFrame(-500, 0, 2, 1, 0x0A));
    QVERIFY(readings.loggerRecording());
    QVERIFY(!readings.unitIsCelsius());

    // A mirror attached later shows the latest frame and the RS-232 state at once.
    readings.onRs232Visible(true);
    QPointer<TfrmLCD> mirror = new TfrmLCD;
    mirror->BuildLcdLists();
    readings.setMirror(mirror);
    QVERIFY(!image(*mirror, "imgT1Minus")->isHidden());
    QVERIFY(!image(*mirror, "imgRS232")->isHidden());

    readings.onLiveFrame(liveFrame(235, 0, 2, 1, 0x01));
    QCOMPARE(mirror->DigitImages().at(1)->glyph(), 2);

    QVERIFY(mirror->close());
    QTRY_VERIFY(mirror.isNull());
    QVERIFY(!readings.mirror());

    readings.onLiveFrame(liveFrame(235, 350, 2, 1, 0x00));
    readings.onRs232Visible(false);
    QCOMPARE(decodedSpy.count(), 3);
    QVERIFY(!readings.loggerRecording());
    QVERIFY(readings.unitIsCelsius()); // kept through the humidity frame
    QCOMPARE(lcdText(readings.state()), QStringLiteral("  35.0"));
    QCOMPARE(readings.reading().humidity, 35.0);

    // A mirror attached before any frame keeps its start-up look.
    LiveReadings fresh;
    TfrmLCD other;
    other.BuildLcdLists();
    fresh.setMirror(&other);
    QVERIFY(image(other, "imgRH")->isHidden());
}

void TestLcdMirror::paintsSegments_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : {1.0, 2.0}) {
        const QByteArray suffix = ratio > 1 ? " @2x" : "";
        QTest::newRow("888.8" + suffix) << 18888 << ratio;
        QTest::newRow("123.4" + suffix) << 1234 << ratio;
        QTest::newRow("-56.7" + suffix) << -567 << ratio;
        QTest::newRow("0.0" + suffix) << 0 << ratio;
        QTest::newRow("90.9" + suffix) << 909 << ratio;
    }
}

void TestLcdMirror::paintsSegments()
{
    QFETCH(int, value);
    QFETCH(qreal, ratio);
    TfrmLCD mirror;
    mirror.BuildLcdLists();
    const LiveDisplayState s = decoded(liveFrame(value, 0, 0, 0, 0x01));
    mirror.UpdateLcd(s);

    QPixmap pixmap(mirror.size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    mirror.render(&pixmap);
    const QImage shot = pixmap.toImage();
    const auto pixel = [&](QPoint p) { return shot.pixel(p * ratio); };

    for (int j = 0; j < 4; ++j) {
        const QString lit = kLitSegments.at(s.DigitCodes[3 + j]);
        for (const auto &[segment, centre] : kSegmentCentre) {
            const QRgb c = pixel(QPoint(kDigitLeft[j], kDigitTop) + centre);
            const QString where = QStringLiteral("digit %1 segment %2 colour %3")
                                      .arg(j).arg(segment).arg(c, 6, 16);
            if (lit.contains(segment))
                QVERIFY2(isSegment(c), qPrintable(where));
            else
                QVERIFY2(isGround(c), qPrintable(where));
        }
    }
    QVERIFY(isSegment(pixel({192, 90})));                      // decimal point
    QCOMPARE(isSegment(pixel({57, 66})), value < 0);           // minus sign
    QVERIFY(isGround(pixel({57, 50})));
    QVERIFY(isGround(pixel({20, 50})));                        // between the bar graph and the digits
}

QTEST_MAIN(TestLcdMirror)
#include "tst_lcdmirror.moc"
