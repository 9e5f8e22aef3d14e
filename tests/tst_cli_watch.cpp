// kv518-cli watch end to end: a steady kv518-sim whose readings the test
// changes on its standard input, the events the watch prints, runs and
// mails, what it keeps in the archive, its port lock and its MQTT messages.
#include "TestProcesses.h"

#include "core/archive/MonitorStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 20000;

// A process whose standard output is read line by line.
class LineProcess
{
public:
    explicit LineProcess(QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(env);
    }
    ~LineProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QProcess &process() { return m_process; }
    // The next line (without its line break); empty when none came in time.
    QByteArray nextLine()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(WaitMs))
                return {};
        return m_process.readLine().trimmed();
    }

private:
    QProcess m_process;
};

QJsonObject object(const QByteArray &line)
{
    return QJsonDocument::fromJson(line).object();
}

QDateTime timeOf(const QJsonObject &o)
{
    return QDateTime::fromString(o.value(u"time").toString(), Qt::ISODateWithMs);
}

// A TCP port on 127.0.0.1 that nothing listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0;
    ::close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

bool writeScript(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size()
        && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestCliWatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void eventsInOrder();
    void mqtt();
};

void TestCliWatch::eventsInOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A sendmail that keeps each message, first on PATH, and an event command
    // that keeps its environment and input.
    QVERIFY(writeScript(dir.filePath("sendmail"), "#!/bin/sh\necho \"$@\" > \"$0.$$.args\"\ncat > \"$0.$$.eml\"\n"));
    QVERIFY(writeScript(dir.filePath("on-event"),
                        "#!/bin/sh\n{ echo \"$KV518_EVENT|$KV518_CHANNEL|$KV518_VALUE|$KV518_TIME|$1\"; cat; } > \"$0.$$.out\"\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", dir.path() + ':' + env.value("PATH"));
    env.insert("KV518_LOCK_DIR", dir.path());
    const QString archive = dir.filePath("archive.sqlite");

    LineProcess sim;
    sim.process().start(QStringLiteral(KV518_SIM_PATH), {"--control"});
    const QString port = QString::fromUtf8(sim.nextLine());
    QVERIFY(port.startsWith("/dev/"));

    LineProcess watch(env);
    watch.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    watch.process().start(QStringLiteral(KV518_CLI_PATH),
                          {"watch", "--port", port, "--archive", archive, "--limits", "temp=:30", "--record-every", "1s",
                           "--delay", "1s", "--silent-after", "1s", "--on-event", dir.filePath("on-event") + " \"an arg\"",
                           "--mail-to", "ops@example.org"});
    QList<QJsonObject> periods;
    QList<QJsonObject> events;
    // The next event (the periods between are kept); none after 15 periods.
    auto nextEvent = [&]() -> QJsonObject {
        QByteArray line;
        for (int n = 0; n < 15 && !(line = watch.nextLine()).isEmpty(); ++n) {
            const QJsonObject o = object(line);
            if (o.value(u"kind").toString() != u"period") {
                events << o;
                return o;
            }
            periods << o;
        }
        return {};
    };
    QByteArray first = watch.nextLine();
    QCOMPARE(object(first).value(u"kind").toString(), QStringLiteral("period"));
    periods << object(first);

    // While the watch runs, the port is its own.
    const CliRun live = [&] {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KV518_CLI_PATH), {"live", "--port", port, "--count", "1"});
        p.waitForFinished(WaitMs);
        return CliRun{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }();
    QCOMPARE(live.code, 3);
    QVERIFY2(live.err.contains(QStringLiteral("is watched by kv518-cli watch (pid %1)").arg(watch.process().processId()).toUtf8()),
             live.err.constData());

    struct Step
    {
        QByteArray control;
        QString kind;
        qint64 earliestMs; // after the control was sent
    };
    const QList<Step> steps{{"temperature 35", "breach", 1000},
                            {"temperature 20", "within", 0},
                            {"silent on", "silent", 500},
                            {"silent off", "back", 0},
                            {"recording on", "recording_started", 0}};
    for (const Step &step : steps) {
        const QDateTime sent = QDateTime::currentDateTimeUtc();
        sim.process().write(step.control + '\n');
        QVERIFY(sim.process().waitForBytesWritten(WaitMs));
        const QJsonObject e = nextEvent();
        QVERIFY2(e.value(u"kind").toString() == step.kind, step.control.constData());
        QVERIFY2(timeOf(e) >= sent.addMSecs(step.earliestMs), qPrintable(e.value(u"time").toString()));
        QCOMPARE(e.value(u"utc_offset_s").toInt(), 0);
    }
    QCOMPARE(events[0].value(u"channel").toString(), QStringLiteral("temperature"));
    QCOMPARE(events[0].value(u"value").toDouble(), 35.0);
    QCOMPARE(events[0].value(u"limit").toDouble(), 30.0);
    QCOMPARE(events[1].value(u"value").toDouble(), 20.0);
    QVERIFY(events[2].value(u"channel").isNull());

    watch.process().terminate();
    QVERIFY(watch.process().waitForFinished(WaitMs));
    QCOMPARE(watch.process().exitCode(), 0);
    for (const QByteArray &line : watch.process().readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            periods << object(line); // the last, partial period
    QCOMPARE(periods.last().value(u"kind").toString(), QStringLiteral("period"));

    // The archive holds what was printed, in order.
    Result<std::unique_ptr<MonitorStore>> store = MonitorStore::open(archive);
    QVERIFY2(store.ok(), store.ok() ? "" : qPrintable(store.message()));
    const QList<MonitorStore::RunInfo> runs = (*store)->runs().valueOr({});
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].port, port);
    QCOMPARE(runs[0].intervalSeconds, 1);
    QCOMPARE(runs[0].unit, QStringLiteral("C"));
    QCOMPARE((*store)->events(runs[0].id).valueOr({}), events);
    QCOMPARE((*store)->periods(runs[0].id).valueOr({}), periods);

    // One command run and one mail per event.
    const QDir folder(dir.path());
    const QStringList outs = folder.entryList({"on-event.*.out"});
    const QStringList mails = folder.entryList({"sendmail.*.eml"});
    QCOMPARE(outs.size(), events.size());
    QCOMPARE(mails.size(), events.size());
    QStringList told;
    for (const QString &name : outs) {
        const QList<QByteArray> lines = readFile(folder.filePath(name)).split('\n');
        const QJsonObject input = object(lines.value(1));
        QVERIFY(events.contains(input));
        const QStringList fields = QString::fromUtf8(lines.value(0)).split(u'|');
        QCOMPARE(fields.value(0), input.value(u"kind").toString());
        QCOMPARE(fields.value(1), input.value(u"channel").toString());
        QCOMPARE(fields.value(3), input.value(u"time").toString());
        QCOMPARE(fields.value(4), QStringLiteral("an arg"));
        told << fields.value(0);
    }
    QVERIFY(told.contains("breach") && told.contains("back"));
    const QByteArray mail = readFile(folder.filePath(mails.first()));
    QVERIFY2(mail.startsWith("From: kv518-watch@") && mail.contains("\nTo: ops@example.org\n")
                 && mail.contains("\nSubject: KV518 on ") && mail.contains("\nDate: ") && mail.contains("\n\n"),
             mail.constData());
    QCOMPARE(readFile(folder.filePath(folder.entryList({"sendmail.*.args"}).first())).trimmed(), QByteArray("-t"));
}

void TestCliWatch::mqtt()
{
    const QString broker = QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"});
    const QString sub = QStandardPaths::findExecutable("mosquitto_sub");
    if (broker.isEmpty() || sub.isEmpty())
        QSKIP("mosquitto and mosquitto_sub are not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString brokerPort = QString::number(freePort());
    QVERIFY(brokerPort != u"0");
    QVERIFY(writeFile(dir.filePath("mosquitto.conf"), "listener " + brokerPort.toUtf8() + " 127.0.0.1\nallow_anonymous true\n"));
    LineProcess server;
    server.process().setProcessChannelMode(QProcess::MergedChannels);
    server.process().start(broker, {"-c", dir.filePath("mosquitto.conf")});
    // The broker says so once it listens.
    for (QByteArray line; !(line = server.nextLine()).contains("running");)
        QVERIFY2(!line.isEmpty(), "the broker did not start");

    LineProcess sim;
    sim.process().start(QStringLiteral(KV518_SIM_PATH), {"--control"});
    const QString port = QString::fromUtf8(sim.nextLine());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV518_LOCK_DIR", dir.path());
    LineProcess watch(env);
    watch.process().start(QStringLiteral(KV518_CLI_PATH),
                          {"watch", "--port", port, "--no-archive", "--limits", "temp=:30", "--record-every", "1s",
                           "--mqtt", "mqtt://127.0.0.1:" + brokerPort + "/lab/kv518"});
    QCOMPARE(object(watch.nextLine()).value(u"kind").toString(), QStringLiteral("period"));

    LineProcess reader;
    reader.process().start(sub, {"-h", "127.0.0.1", "-p", brokerPort, "-t", "lab/kv518/#", "-v"});
    // Retained: the status and the latest reading come at once.
    QStringList topics;
    auto waitFor = [&](const QString &wanted) {
        for (QByteArray line; !(line = reader.nextLine()).isEmpty();) {
            topics << QString::fromUtf8(line);
            if (topics.last().startsWith(wanted))
                return true;
        }
        return false;
    };
    QVERIFY2(waitFor("lab/kv518/status online"), qPrintable(topics.join('\n')));
    QVERIFY2(waitFor("lab/kv518/reading {"), qPrintable(topics.join('\n')));
    sim.process().write("temperature 31\n");
    QVERIFY(sim.process().waitForBytesWritten(WaitMs));
    QVERIFY2(waitFor("lab/kv518/event {\"channel\":\"temperature\""), qPrintable(topics.join('\n')));
    QVERIFY(topics.last().contains("\"kind\":\"breach\""));
    watch.process().terminate();
    QVERIFY(watch.process().waitForFinished(WaitMs));
    QCOMPARE(watch.process().exitCode(), 0);
    QVERIFY2(waitFor("lab/kv518/status offline"), qPrintable(topics.join('\n')));
}

QTEST_GUILESS_MAIN(TestCliWatch)
#include "tst_cli_watch.moc"
