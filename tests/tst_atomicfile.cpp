// The one writer of the program: a file is replaced whole or left as it was,
// and a device or FIFO named as the target is written in place (never
// replaced by a regular file) without waiting for a reader.
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

bool isCharDevice(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

enum class Step { Commit, Cancel, Destroy, FailedWrite };

} // namespace

class tst_AtomicFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replacesWholeOrNothing_data();
    void replacesWholeOrNothing();
    void devicesAreWrittenInPlace_data();
    void devicesAreWrittenInPlace();
    void fifoWithoutReaderFailsAtOnce();
    void writeCutShortSaysWhy_data();
    void writeCutShortSaysWhy();
};

void tst_AtomicFile::replacesWholeOrNothing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("ok");

    QTest::newRow("new file") << false << int(Step::Commit) << QByteArray("new content") << true;
    QTest::newRow("replaced") << true << int(Step::Commit) << QByteArray("new content") << true;
    QTest::newRow("cancelled") << true << int(Step::Cancel) << QByteArray("old") << true;
    QTest::newRow("dropped unfinished") << true << int(Step::Destroy) << QByteArray("old") << true;
    QTest::newRow("cancelled, none before") << false << int(Step::Cancel) << QByteArray("<none>") << true;
}

void tst_AtomicFile::replacesWholeOrNothing()
{
    QFETCH(bool, existing);
    QFETCH(int, step);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    if (existing)
        QVERIFY(AtomicFile::write(path, "old").ok());
    {
        AtomicFile file(path);
        QVERIFY(file.open().ok());
        QVERIFY(file.write("new "));
        file.device().write("content");
        if (Step(step) == Step::Commit)
            QVERIFY(file.commit().ok());
        else if (Step(step) == Step::Cancel)
            file.cancel();
    }
    QCOMPARE(contents(path), expected);
    // No temporary file stays behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), expected == "<none>" ? 0 : 1);
}

void tst_AtomicFile::devicesAreWrittenInPlace_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::newRow("null") << 3 << true << QString();
    QTest::newRow("full") << 7 << false << QStringLiteral("Cannot write file \"%1\": No space left on device");
}

void tst_AtomicFile::devicesAreWrittenInPlace()
{
    QFETCH(int, minor);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    // Nodes of our own, so that a fault here could never replace the system's.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("device"));
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        QSKIP("making a device node needs root");
    if (!QFile(path).open(QIODevice::WriteOnly))
        QSKIP("device nodes do not open on this file system");
    const Result<> written = AtomicFile::write(path, QByteArray(100000, 'x'));
    QCOMPARE(written.ok(), ok);
    if (!ok) {
        QCOMPARE(written.code(), ErrorCode::WriteFailed);
        QCOMPARE(written.message(), message.arg(path));
    }
    QVERIFY(isCharDevice(path));
}

void tst_AtomicFile::fifoWithoutReaderFailsAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const Result<> written = AtomicFile::write(path, "x");
    QVERIFY(!written.ok());
    QCOMPARE(written.message(), QStringLiteral("Cannot create file \"%1\"").arg(path));
    struct stat st;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    // A folder that does not exist.
    const Result<> missing = AtomicFile::write(dir.filePath(QStringLiteral("no/such/out.txt")), "x");
    QCOMPARE(missing.message(), QStringLiteral("Cannot create file \"%1\"").arg(dir.filePath("no/such/out.txt")));
}

// A disk that fills up takes the first part of a write without complaint;
// the reason must still reach the message, and the old file stay. A file
// size limit stands in for the full disk.
void tst_AtomicFile::writeCutShortSaysWhy_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("written at once") << 100000;
    QTest::newRow("held in the buffer until the commit") << 10000;
}

void tst_AtomicFile::writeCutShortSaysWhy()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(AtomicFile::write(path, "old").ok());
    struct rlimit before;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result<> written = AtomicFile::write(path, QByteArray(size, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(written.message(), QStringLiteral("Cannot write file \"%1\": File too large").arg(path));
    QCOMPARE(contents(path), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.txt")});
}

QTEST_GUILESS_MAIN(tst_AtomicFile)
#include "tst_atomicfile.moc"
