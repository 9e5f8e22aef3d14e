// kv518-cli's meter commands end to end: the real serial backend against
// kv518-sim on a pseudo-terminal.
#include "ImageBuilder.h"
#include "PtyPair.h"
#include "TestProcesses.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Sim = SimProcess;

constexpr int ProcessLimitMs = 60000;

// The JSON objects of a transfer log, one a line.
QList<QJsonObject> traceLines(const QString &path)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : readFile(path).split('\n')) {
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    }
    return out;
}

} // namespace

class TestCliPort : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void downloadGivesTheMetersImage_data();
    void downloadGivesTheMetersImage();
    void downloadFailureWritesNothing_data();
    void downloadFailureWritesNothing();
    void traceShowsEveryRejectedPacket();
    void identify_data();
    void identify();
    void permissionDeniedNamesTheGroup();
    void liveJson();
    void liveText();
    void liveStopsCleanlyOnSigterm();
    void liveWithoutMeter();
    void liveRecoversFromLineNoise();
    void portsJson();
};

void TestCliPort::downloadGivesTheMetersImage_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("nak");
    QTest::newRow("clean") << QStringList{} << false;
    QTest::newRow("bad checksum in the directory") << QStringList{"--bad-checksum", "2"} << true;
    QTest::newRow("bad checksum after it") << QStringList{"--bad-checksum", "6"} << true;
}

void TestCliPort::downloadGivesTheMetersImage()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, nak);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray image = ImageBuilder::sampleCollection().build();
    const QString source = dir.filePath(QStringLiteral("source.518"));
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    const QString output = dir.filePath(QStringLiteral("out.518"));
    QVERIFY(writeFile(source, image));
    QVERIFY(writeFile(output, "an older file that the download replaces"));

    Sim sim(QStringList{"--image", source, "--log", log} + faults);
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"download", "--port", sim.path(), "-o", output, "--no-archive"});

    QCOMPARE(r.code, 0);
    QCOMPARE(readFile(output), image);
    QVERIFY2(r.out.contains("Saved 3 data set(s)"), r.out.constData());
    QVERIFY2(r.err.isEmpty(), r.err.constData()); // no progress bar without a terminal
    const QByteArray requests = readFile(log);
    QVERIFY(requests.startsWith("DOWNLOAD_REQUEST"));
    QCOMPARE(requests.contains("NAK"), nak);
}

void TestCliPort::downloadFailureWritesNothing_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("hang-up mid-transfer") << QStringList{"--hangup-after", "1000"} << 4
                                          << QByteArray("failed: The line went away after 896 of");
    QTest::newRow("hang-up before the directory") << QStringList{"--hangup-after", "150"} << 4
                                                  << QByteArray("before the memory directory was complete");
    QTest::newRow("empty logger") << QStringList{"--sets", "0"} << 5
                                  << QByteArray("There is not any recorded data in memory!");
    QTest::newRow("data set past the image") << QStringList{"--run-past-image"} << 5
                                             << QByteArray("Data set 1 runs past");
    QTest::newRow("no meter") << QStringList{"--silent"} << 3 << QByteArray("No KV518 answers on");
}

void TestCliPort::downloadFailureWritesNothing()
{
    QFETCH(QStringList, simArguments);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(QStringLiteral("out.518"));
    const QByteArray older = "an older file that a failed download leaves alone";
    QVERIFY(writeFile(output, older));

    Sim sim(simArguments);
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"download", "--port", sim.path(), "-o", output, "--quiet", "--no-archive"});

    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(message), r.err.constData());
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(readFile(output), older);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.518"});
}

void TestCliPort::traceShowsEveryRejectedPacket()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString trace = dir.filePath(QStringLiteral("trace.jsonl"));
    Sim sim({"--bad-checksum-always", "5"});
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"--trace", trace, "download", "--port", sim.path(), "-o",
                             dir.filePath(QStringLiteral("out.518")), "--quiet", "--no-archive"});
    QCOMPARE(r.code, 4);
    QVERIFY2(r.err.contains("was rejected 21 times"), r.err.constData());

    // Packet 5 came again after every NAK, and every time it was rejected.
    QList<int> packets;
    QList<int> naks;
    for (const QJsonObject &o : traceLines(trace)) {
        const QString msg = o.value("msg").toString();
        if (msg == QLatin1String("DATA_PACKET"))
            packets << o.value("packet").toInt();
        else if (msg == QLatin1String("NAK"))
            naks << o.value("packet").toInt();
    }
    QCOMPARE(packets, QList<int>({0, 1, 2, 3, 4}) + QList<int>(21, 5));
    QCOMPARE(naks, QList<int>(21, 5));

    // A trace that cannot be written is refused before the meter is asked.
    const CliRun refused = runCli({"--trace", dir.filePath(QStringLiteral("no/such/trace.jsonl")), "identify",
                                   "--port", sim.path()});
    QCOMPARE(refused.code, 5);
    QVERIFY2(refused.err.contains("Cannot create file"), refused.err.constData());
    QVERIFY(refused.out.isEmpty());
}

void TestCliPort::identify_data()
{
    QTest::addColumn<QStringList>("simArguments"); // empty: no simulator at all
    QTest::addColumn<int>("code");
    QTest::newRow("found") << QStringList{"--sets", "1"} << 0;
    QTest::newRow("silent meter") << QStringList{"--silent"} << 3;
    QTest::newRow("no such device") << QStringList{} << 3;
}

void TestCliPort::identify()
{
    QFETCH(QStringList, simArguments);
    QFETCH(int, code);
    std::unique_ptr<Sim> sim;
    QString port = QStringLiteral("/dev/kv518-no-such-port");
    if (!simArguments.isEmpty()) {
        sim = std::make_unique<Sim>(simArguments);
        port = sim->path();
        QVERIFY(!port.isEmpty());
    }
    const CliRun r = runCli({"identify", "--port", port});
    QCOMPARE(r.code, code);
    if (code == 0) {
        QCOMPARE(r.out, QByteArray("KV518 found on " + port.toLocal8Bit() + '\n'));
    } else {
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.contains(port.toLocal8Bit()), r.err.constData());
    }
}

void TestCliPort::permissionDeniedNamesTheGroup()
{
    // A user outside the device's group: the most common first-run failure.
    // Root opens any device, so the command runs as "nobody".
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
        QSKIP("needs root and runuser to run the command as another user");
    auto asNobody = [](const QStringList &arguments) {
        QProcess p;
        p.start(QStringLiteral("runuser"),
                QStringList{"-u", "nobody", "--", QStringLiteral(KV518_CLI_PATH)} + arguments);
        p.waitForFinished(30000);
        return std::make_pair(p.exitCode(), p.readAllStandardError());
    };
    if (asNobody({"--version"}).first != 0)
        QSKIP("the build folder is not reachable by an unprivileged user");
    Sim sim({"--sets", "1"});
    QVERIFY(!sim.path().isEmpty());
    const QString device = QFileInfo(sim.path()).canonicalFilePath();
    QVERIFY(QFile::setPermissions(device, QFile::ReadOwner | QFile::WriteOwner));
    const auto [code, err] = asNobody({"identify", "--port", device});
    QCOMPARE(code, 3);
    QVERIFY2(err.contains("permission denied: add yourself to the dialout group"), err.constData());
}

void TestCliPort::liveJson()
{
    Sim sim({"--recording", "--noise"});
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"live", "--port", sim.path(), "--count", "2", "--json"});
    QCOMPARE(r.code, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    for (const QByteArray &line : lines) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QStringList keys = o.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"battery", "humidity", "lcd", "memory", "recording", "temperature", "unit"}));
        QVERIFY(o.value("temperature").isDouble());
        QVERIFY(o.value("humidity").toDouble() > 0.0);
        QCOMPARE(o.value("unit").toString(), QStringLiteral("C"));
        QCOMPARE(o.value("recording").toBool(), true);
        QCOMPARE(o.value("lcd").toString().size(), 6);
        // The LCD shows the temperature the object reports.
        QCOMPARE(o.value("lcd").toString().trimmed().toDouble(), o.value("temperature").toDouble());
    }
}

void TestCliPort::liveText()
{
    Sim sim({"--fahrenheit"});
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"live", "--port", sim.path(), "--count", "1"});
    QCOMPARE(r.code, 0);
    QVERIFY2(QRegularExpression(
                 QStringLiteral(R"(^\d+\.\d F  RH \d+\.\d %  battery \d/5  memory \d/8  LCD "[ -][ \d]{3}\.\d"\n$)"))
                 .match(QString::fromUtf8(r.out))
                 .hasMatch(),
             r.out.constData());
}

void TestCliPort::liveStopsCleanlyOnSigterm()
{
    Sim sim({});
    QVERIFY(!sim.path().isEmpty());
    QProcess live;
    live.start(QStringLiteral(KV518_CLI_PATH), {"live", "--port", sim.path()});
    while (!live.canReadLine() && live.waitForReadyRead(ProcessLimitMs)) {
    }
    QVERIFY(live.canReadLine());
    live.terminate();
    QVERIFY(live.waitForFinished(ProcessLimitMs));
    QCOMPARE(live.exitStatus(), QProcess::NormalExit);
    QCOMPARE(live.exitCode(), 0);
    QVERIFY(live.readAllStandardError().isEmpty());
}

void TestCliPort::liveWithoutMeter()
{
    Sim sim({"--silent"});
    QVERIFY(!sim.path().isEmpty());
    const CliRun r = runCli({"live", "--port", sim.path(), "--count", "1"});
    QCOMPARE(r.code, 3);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("No KV518 answers on"), r.err.constData());
}

// A relay on a pseudo-terminal pair in front of the simulator floods the line
// with random bytes, in place of the meter's answers, then passes them again.
void TestCliPort::liveRecoversFromLineNoise()
{
    Sim sim({});
    QVERIFY(!sim.path().isEmpty());
    const int meter = ::open(QFile::encodeName(sim.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(meter >= 0);
    const auto closeMeter = qScopeGuard([meter] { ::close(meter); });
    termios raw {};
    QCOMPARE(::tcgetattr(meter, &raw), 0);
    ::cfmakeraw(&raw);
    QCOMPARE(::tcsetattr(meter, TCSANOW, &raw), 0);
    PtyPair line;
    QVERIFY2(line.isValid(), qPrintable(line.errorText()));

    constexpr qint64 NoiseBytes = 512 * 1024;
    qint64 noiseSent = -1;   // -1: not yet flooding
    char chunk[4096];
    QSocketNotifier fromProgram(line.masterFd(), QSocketNotifier::Read);
    connect(&fromProgram, &QSocketNotifier::activated, this, [&] {
        ssize_t n = 0;
        while ((n = ::read(line.masterFd(), chunk, sizeof chunk)) > 0)
            QVERIFY(::write(meter, chunk, size_t(n)) == n);
    });
    QSocketNotifier fromMeter(meter, QSocketNotifier::Read);
    connect(&fromMeter, &QSocketNotifier::activated, this, [&] {
        ssize_t n = 0;
        while ((n = ::read(meter, chunk, sizeof chunk)) > 0) {
            if (noiseSent < 0 || noiseSent >= NoiseBytes)
                line.writeMaster(QByteArray(chunk, n));
        }
    });
    QRandomGenerator random(518);
    QByteArray noise(4096, Qt::Uninitialized);
    QTimer flood;
    flood.setInterval(0);
    connect(&flood, &QTimer::timeout, this, [&] {
        random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        const ssize_t n = ::write(line.masterFd(), noise.constData(), size_t(noise.size()));
        if (n > 0)
            noiseSent += n;
        if (noiseSent >= NoiseBytes)
            flood.stop();
    });

    QProcess live;
    QList<QJsonObject> readings;
    connect(&live, &QProcess::readyReadStandardOutput, this, [&] {
        while (live.canReadLine())
            readings << QJsonDocument::fromJson(live.readLine()).object();
    });
    live.start(QStringLiteral(KV518_CLI_PATH), {"live", "--port", line.slavePath(), "--json"});
    QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= 2, 10000);

    QElapsedTimer clock;
    clock.start();
    const qsizetype before = readings.size();
    noiseSent = 0;
    flood.start();
    QTRY_VERIFY_WITH_TIMEOUT(noiseSent >= NoiseBytes || live.state() != QProcess::Running, 30000);
    QCOMPARE(live.state(), QProcess::Running);
    // At most one reading per poll (500 ms), and none decoded from the noise.
    QVERIFY2(readings.size() - before <= clock.elapsed() / 500 + 2, qPrintable(QString::number(readings.size())));
    const qsizetype during = readings.size();
    QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= during + 3 || live.state() != QProcess::Running, 10000);
    QCOMPARE(live.state(), QProcess::Running);
    QVERIFY2(readings.size() >= during + 3, live.readAllStandardError().constData());
    for (const QJsonObject &o : std::as_const(readings)) {
        QCOMPARE(o.value("unit").toString(), QStringLiteral("C"));
        const double humidity = o.value("humidity").toDouble(-1.0);
        QVERIFY(humidity >= 0.0 && humidity <= 100.0);
        QCOMPARE(o.value("lcd").toString().trimmed().toDouble(), o.value("temperature").toDouble());
    }
    live.terminate();
    QVERIFY(live.waitForFinished(ProcessLimitMs));
    QCOMPARE(live.exitCode(), 0);
}

void TestCliPort::portsJson()
{
    const CliRun r = runCli({"ports", "--json"});
    QCOMPARE(r.code, 0);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(doc.isArray());
    for (const QJsonValue &v : doc.array()) {
        QVERIFY(v.toObject().contains("name"));
        QVERIFY(v.toObject().value("path").toString().startsWith(u'/'));
        QVERIFY(v.toObject().contains("description"));
    }
}

QTEST_GUILESS_MAIN(TestCliPort)
#include "tst_cli_port.moc"
