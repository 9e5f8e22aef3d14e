// The readers given files that have no size (devices, pipes) or no line
// breaks: each reads a bounded amount and refuses, instead of growing
// without end; and the text reader counts the dates it could not read.
#include "ImageBuilder.h"
#include "TestFiles.h"

#include "core/data/BoundedRead.h"
#include "core/data/CollectionFile.h"
#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"
#include "core/link/MeterMessages.h"
#include "core/sim/MeterModel.h"
#include "Outcome.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <unistd.h>

namespace {

constexpr qint64 Cap = Meter::MaxImageBytes;

// A pipe whose far end a thread fills with bytes, then closes; its path
// (/dev/fd/N) reads like a file that has no size.
class FilledPipe
{
public:
    explicit FilledPipe(QByteArray bytes)
    {
        if (::pipe(m_fd) != 0)
            return;
        m_writer = std::thread([fd = m_fd[1], bytes = std::move(bytes)] {
            qsizetype done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
                if (n <= 0)
                    break;   // the reader stopped reading
                done += n;
            }
            ::close(fd);
        });
    }
    ~FilledPipe()
    {
        // Unblocks a writer the reader left behind.
        if (m_fd[0] >= 0)
            ::close(m_fd[0]);
        if (m_writer.joinable())
            m_writer.join();
    }
    QString path() const { return QStringLiteral("/dev/fd/%1").arg(m_fd[0]); }

private:
    int m_fd[2] = {-1, -1};
    std::thread m_writer;
};

QByteArray dataLines(int count, const DateTimeText &texts)
{
    QString out;
    for (int i = 0; i < count; ++i)
        TextDataFile::appendLine(out, 45000.0 + i / 1440.0, 50.0f + float(i), 20.0f, u'\t', texts);
    return out.toUtf8();
}

} // namespace

class TestBoundedReads : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void collectionWithoutASize_data();
    void collectionWithoutASize();
    void simulatorImageFromADevice();
    void textWithoutLineBreaks_data();
    void textWithoutLineBreaks();
    void undatedPointsAreCounted_data();
    void undatedPointsAreCounted();
};

void TestBoundedReads::collectionWithoutASize_data()
{
    QTest::addColumn<QByteArray>("bytes");   // through a pipe; empty: /dev/zero
    QTest::addColumn<bool>("loads");
    const QByteArray image = ImageBuilder::sampleCollection().build();
    QTest::newRow("/dev/zero") << QByteArray() << false;
    QTest::newRow("pipe, one byte too many") << QByteArray(Cap + 1, '\x5a') << false;
    QTest::newRow("pipe, the largest image") << QByteArray(Cap, '\x5a') << true;
    QTest::newRow("pipe, a collection") << image << true;
}

void TestBoundedReads::collectionWithoutASize()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    std::optional<FilledPipe> pipe;
    if (!bytes.isEmpty())
        pipe.emplace(bytes);
    qint64 size = -1;
    const Result<QByteArray> read = CollectionFile::readImage(pipe ? pipe->path() : "/dev/zero", &size);
    QCOMPARE(read.ok(), loads);
    if (loads) {
        QCOMPARE(*read, bytes);
        QCOMPARE(size, bytes.size());
    } else {
        // One byte past the cap tells "too large"; nothing further was read.
        QCOMPARE(size, Cap + 1);
    }
}

void TestBoundedReads::simulatorImageFromADevice()
{
    MeterModel model;
    const QByteArray before = model.image();
    QVERIFY(!model.loadImage(QStringLiteral("/dev/zero")));
    QCOMPARE(model.image(), before);
    const QByteArray image = ImageBuilder::sampleCollection().build();
    FilledPipe pipe(image);
    QVERIFY(model.loadImage(pipe.path()));
    QCOMPARE(model.image(), image);
}

void TestBoundedReads::textWithoutLineBreaks_data()
{
    const DateTimeText texts{QLocale(QStringLiteral("en_US"))};
    const QByteArray lines = dataLines(3, texts);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<qint64>("filled");
    QTest::newRow("no line break at all") << QByteArray(TextDataFile::MaxLineSpan + 1, '\0')
                                          << QStringLiteral("not data") << qint64(0);
    QTest::newRow("endless line after data") << lines + QByteArray(TextDataFile::MaxLineSpan + 1, 'x')
                                             << QStringLiteral("not data") << qint64(3);
    // Long lines that end are one line each, cut, as they always were.
    QTest::newRow("a line just short of the bound")
        << QByteArray(TextDataFile::MaxLineSpan - 4096, 'x') + "\r\n" + lines << QStringLiteral("ok") << qint64(3);
    QTest::newRow("last line long without a break") << lines + QByteArray(1 << 20, 'x') << QStringLiteral("ok")
                                                    << qint64(3);
}

// Both passes give up on a line that never ends, whether the device delivers
// it at once or in small pieces.
void TestBoundedReads::textWithoutLineBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    QFETCH(qint64, filled);
    const DateTimeText texts{QLocale(QStringLiteral("en_US"))};
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(outcome(TextDataFile::scan(buffer, u'\t', texts)), status);
    QVERIFY(buffer.seek(0));
    TextFilePoints points;
    QCOMPARE(outcome(TextDataFile::readPoints(buffer, u'\t', texts, 8, points)), status);
    QCOMPARE(points.filled, filled);
}

void TestBoundedReads::undatedPointsAreCounted_data()
{
    QTest::addColumn<QString>("readLocale");
    QTest::addColumn<QByteArray>("spoil");   // replaces the first line's date when not empty
    QTest::addColumn<qint64>("undated");
    QTest::newRow("all read") << "en_US" << QByteArray() << qint64(0);
    QTest::newRow("other regional format") << "de_DE" << QByteArray() << qint64(5);
    QTest::newRow("one unreadable date") << "en_US" << QByteArray("13/45/2024 99:00:00 AM") << qint64(1);
    // Reads as time 0, where a written file would end.
    QTest::newRow("the date of time 0") << "en_US" << QByteArray("12/30/1899 12:00:00 AM") << qint64(1);
}

void TestBoundedReads::undatedPointsAreCounted()
{
    QFETCH(QString, readLocale);
    QFETCH(QByteArray, spoil);
    QFETCH(qint64, undated);
    QByteArray bytes = dataLines(5, DateTimeText(QLocale(QStringLiteral("en_US"))));
    if (!spoil.isEmpty())
        bytes = spoil + bytes.mid(bytes.indexOf('\t'));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("points.txt"));
    QVERIFY(writeFile(path, bytes));
    TextFileExtent extent;
    TextFilePoints points;
    QVERIFY(TextDataFile::read(path, u'\t', DateTimeText(QLocale(readLocale)), extent, points));
    // The points still load, at time 0, as they always did.
    QCOMPARE(points.filled, 5);
    QCOMPARE(points.undated, undated);
    QCOMPARE(qint64(std::count(points.x.begin(), points.x.begin() + 5, 0.0)), undated);
}

QTEST_GUILESS_MAIN(TestBoundedReads)
#include "tst_boundedreads.moc"
