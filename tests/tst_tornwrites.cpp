// A process killed (SIGKILL) while it writes a collection file, a TXT export
// or the settings file leaves the old file or the new one, byte for byte,
// never a mixture or a stump. The writer is this program started again with
// --writer: it rewrites the file over and over, alternating two versions and
// telling on its standard output when it begins each write; the test kills it
// as one of them begins and looks at what is on disk.
#include "core/app/Settings.h"
#include "core/data/CollectionFile.h"
#include "core/data/DateTimeText.h"
#include "core/files/TextDataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <vector>

namespace {

constexpr int Kills = 25;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Two versions of a file: version 0 is on disk first, then the writer
// alternates 1, 0, 1, ...
struct Kind
{
    QString fileName;   // inside the folder
    std::function<bool(const QString &folder, int version)> write;
};

QByteArray collectionImage(int version)
{
    // Large enough that a write takes a while, so kills land inside one.
    QByteArray image(2 * 1024 * 1024, char(0xA0 + version));
    for (qsizetype i = 0; i < image.size(); i += 4096)
        image[i] = char(i / 4096 + version);
    return image;
}

bool writeExport(const QString &path, int version)
{
    static const DateTimeText texts{QLocale(QStringLiteral("en_US"))};
    const int n = 20000;
    std::vector<double> x(n);
    std::vector<float> humidity(n), temperature(n);
    for (int i = 0; i < n; ++i) {
        x[size_t(i)] = 45000.0 + (i + version * n) / 86400.0;
        humidity[size_t(i)] = 40.0f + float(i % 500) / 10.0f;
        temperature[size_t(i)] = 20.0f + float(version);
    }
    return TextDataFile::save(path, x, humidity, temperature, 0, n, u'\t', texts).ok();
}

Kind kind(const QString &name)
{
    if (name == QLatin1String("collection"))
        return {QStringLiteral("sets.518"), [](const QString &folder, int version) {
                    return CollectionFile::writeImage(QDir(folder).filePath(QStringLiteral("sets.518")),
                                                      collectionImage(version))
                        .ok();
                }};
    if (name == QLatin1String("export"))
        return {QStringLiteral("set1.txt"), [](const QString &folder, int version) {
                    return writeExport(QDir(folder).filePath(QStringLiteral("set1.txt")), version);
                }};
    return {QStringLiteral("ini/KV518.ini"), [](const QString &folder, int version) {
                Settings settings(folder);
                settings.PortIndex = version ? 1234567 : 3;
                settings.AutoScaleSetting = version;
                return settings.SaveSettings().ok();
            }};
}

// The writer process: rewrites the file until it is killed.
int runWriter(const QString &kindName, const QString &folder)
{
    const Kind k = kind(kindName);
    for (int version = 1;; version ^= 1) {
        std::printf("%d\n", version);
        std::fflush(stdout);
        if (!k.write(folder, version))
            return 1;
    }
}

} // namespace

class TestTornWrites : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedWriterLeavesOldOrNew_data();
    void killedWriterLeavesOldOrNew();
};

void TestTornWrites::killedWriterLeavesOldOrNew_data()
{
    QTest::addColumn<QString>("kindName");
    QTest::newRow("collection") << "collection";
    QTest::newRow("TXT export") << "export";
    QTest::newRow("settings") << "settings";
}

void TestTornWrites::killedWriterLeavesOldOrNew()
{
    QFETCH(QString, kindName);
    QTemporaryDir dir;
    const Kind k = kind(kindName);
    const QString path = dir.filePath(k.fileName);
    QByteArray versions[2];
    for (int v : {1, 0}) {
        QVERIFY(k.write(dir.path(), v));
        versions[v] = contents(path);
    }
    QVERIFY(versions[0] != versions[1]);

    // A fixed seed: the kill moments vary within a run, the test the same.
    QRandomGenerator random(518);
    int interrupted = 0;   // kills that came before the write they met ended
    for (int i = 0; i < Kills; ++i) {
        // The writer's first version is 1, so each write it begins replaces
        // the other version.
        QVERIFY(k.write(dir.path(), 0));
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), kindName, dir.path()});
        QVERIFY(writer.waitForStarted());
        // Kill as the first, second or third write begins.
        const int at = int(random.bounded(1, 4));
        QByteArray line;
        for (int begun = 0; begun < at;) {
            if (!writer.canReadLine())
                QVERIFY2(writer.waitForReadyRead(30000), "the writer stopped writing");
            while (writer.canReadLine() && begun < at) {
                line = writer.readLine().trimmed();
                ++begun;
            }
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        const QByteArray now = contents(path);
        QVERIFY2(now == versions[0] || now == versions[1],
                 qPrintable(QStringLiteral("kill %1 left %2 bytes that are neither version").arg(i).arg(now.size())));
        if (now != versions[line.toInt()])
            ++interrupted;
    }
    // The large files take milliseconds to write, so the kills land inside
    // writes, not only between them; the settings file is written in a flash.
    qInfo("%d of %d kills came before the write under way ended", interrupted, Kills);
    if (kindName != QLatin1String("settings"))
        QVERIFY(interrupted > 0);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--writer") == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestTornWrites test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tornwrites.moc"
