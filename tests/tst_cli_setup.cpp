// kv518-cli setup end to end: the logger setup commands against kv518-sim on
// a pseudo-terminal, their output, exit codes and effect on the meter.
#include "ImageBuilder.h"
#include "TestProcesses.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The requests the simulator received, by name.
QStringList requestNames(const QString &log)
{
    QStringList names;
    for (const QByteArray &line : readFile(log).split('\n'))
        if (!line.isEmpty())
            names << QString::fromLatin1(line.split(' ').constFirst());
    return names;
}

QJsonObject show(const QString &port, const QStringList &extra = {})
{
    const CliRun run = runCli(QStringList{"setup", "show", "--port", port, "--json"} + extra);
    if (run.code != 0)
        qWarning("setup show: %d %s", run.code, run.err.constData());
    return QJsonDocument::fromJson(run.out).object();
}

const QStringList ChangingRequests = {"SET_CLOCK", "SET_UNIT", "SET_INTERVAL", "ERASE_REQUEST",
                                      "DEFAULT_SETUP_REQUEST"};

} // namespace

class TestCliSetup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void usageErrorsSendNothing_data();
    void usageErrorsSendNothing();
    void showListsTheMeter();
    void showWithoutIntervalAnswer();
    void commandsChangeTheMeter();
    void notConfirmed_data();
    void notConfirmed();
    void refused_data();
    void refused();

private:
    QString file(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCliSetup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestCliSetup::usageErrorsSendNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{"setup"};
    QTest::newRow("unknown command") << QStringList{"setup", "reset"};
    QTest::newRow("unit X") << QStringList{"setup", "unit", "K"};
    QTest::newRow("unit without value") << QStringList{"setup", "unit"};
    QTest::newRow("interval not in the list") << QStringList{"setup", "interval", "07:00"};
    QTest::newRow("interval 0xFF") << QStringList{"setup", "interval", "255"};
    QTest::newRow("erase without --yes") << QStringList{"setup", "erase"};
    QTest::newRow("defaults without --yes") << QStringList{"setup", "defaults"};
    QTest::newRow("show with a value") << QStringList{"setup", "show", "now"};
}

void TestCliSetup::usageErrorsSendNothing()
{
    QFETCH(QStringList, arguments);
    const QString log = file(QStringLiteral("sim.log"));
    SimProcess sim({"--log", log});
    QVERIFY(!sim.path().isEmpty());
    const CliRun run = runCli(arguments + QStringList{"--port", sim.path()});
    QCOMPARE(run.code, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!run.err.isEmpty());
    QVERIFY(requestNames(log).isEmpty());
    QCOMPARE(runCli({"setup", "show"}).code, 2); // no --port
}

void TestCliSetup::showListsTheMeter()
{
    ImageSet a;
    a.at(QDateTime(QDate(2011, 5, 2), QTime(8, 0, 0))).ramp(40, 400, 2, 200, 1);
    ImageSet b; // an impossible date
    b.at(QDateTime(QDate(2011, 5, 3), QTime(9, 30, 0))).ramp(7, 600, -1, 250, 2);
    b.day = 32;
    // A start in the hour the PC's zone skips in spring: a naive local
    // value like any other, listed as it was recorded.
    ImageSet c;
    c.at(QDateTime(QDate(2021, 3, 28), QTime(2, 30, 0))).ramp(5, 500, 1, 300, 1);
    const QString image = file(QStringLiteral("meter.518"));
    QVERIFY(writeFile(image, ImageBuilder().add(a).add(b).add(c).build()));
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    const auto restoreZone = qScopeGuard([&] {
        if (zone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
    });
    SimProcess sim({"--image", image, "--clock", "2020-01-31T12:00:00"});
    const QJsonObject o = show(sim.path(), {"--locale", "en_US"});
    QCOMPARE(o.value("unit").toString(), QStringLiteral("C"));
    QCOMPARE(o.value("interval").toString(), QStringLiteral("01:00"));
    QCOMPARE(o.value("interval_index").toInt(), 7);
    const QDateTime clock = QDateTime::fromString(o.value("clock").toString(), Qt::ISODate);
    QVERIFY2(qAbs(clock.secsTo(QDateTime(QDate(2020, 1, 31), QTime(12, 0)))) <= 10, qPrintable(o.value("clock").toString()));
    const QDateTime pc = QDateTime::fromString(o.value("pc_clock").toString(), Qt::ISODate);
    QVERIFY(qAbs(pc.secsTo(QDateTime::currentDateTime())) <= 10);
    const QJsonArray expected = QJsonDocument::fromJson(
        R"([{"set":1,"date":"5/2/2011","time":"8:00:00 AM","start":"2011-05-02T08:00:00","samples":40},
            {"set":2,"date":null,"time":null,"start":null,"samples":7},
            {"set":3,"date":"3/28/2021","time":"2:30:00 AM","start":"2021-03-28T02:30:00","samples":5}])").array();
    QCOMPARE(o.value("sets").toArray(), expected);

    // The text lists the grid's 15 rows.
    const CliRun text = runCli({"setup", "show", "--port", sim.path(), "--locale", "en_US"});
    QCOMPARE(text.code, 0);
    const QStringList lines = QString::fromUtf8(text.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4 + 1 + 15);
    QVERIFY(lines.at(0).startsWith(QStringLiteral("Logger clock  1/31/2020")));
    QCOMPARE(lines.at(3), QStringLiteral("Interval      01:00"));
    QCOMPARE(lines.at(5).simplified(), QStringLiteral("1 5/2/2011 8:00:00 AM 40"));
    QCOMPARE(lines.at(6).simplified(), QStringLiteral("2 empty 7"));
    QCOMPARE(lines.at(7).simplified(), QStringLiteral("3 3/28/2021 2:30:00 AM 5"));
    QCOMPARE(lines.at(8).simplified(), QStringLiteral("4 empty"));
}

void TestCliSetup::showWithoutIntervalAnswer()
{
    SimProcess sim({"--mute", "INTERVAL_REQUEST", "--mute", "CLOCK_REQUEST"});
    const QJsonObject o = show(sim.path());
    QVERIFY(o.contains("interval") && o.value("interval").isNull());
    QVERIFY(o.contains("interval_index") && o.value("interval_index").isNull());
    QVERIFY(o.contains("clock") && o.value("clock").isNull());
    QCOMPARE(o.value("sets").toArray().size(), 3);
}

void TestCliSetup::commandsChangeTheMeter()
{
    SimProcess sim({"--sets", "4", "--clock", "2020-01-31T12:00:00"});
    const QString port = sim.path();
    QCOMPARE(show(port).value("sets").toArray().size(), 4);

    CliRun run = runCli({"setup", "clock", "--port", port});
    QCOMPARE(run.code, 0);
    QVERIFY(run.out.startsWith("Logger clock set to "));
    QJsonObject o = show(port);
    const QDateTime clock = QDateTime::fromString(o.value("clock").toString(), Qt::ISODate);
    const QDateTime pc = QDateTime::fromString(o.value("pc_clock").toString(), Qt::ISODate);
    QVERIFY2(qAbs(clock.secsTo(pc)) <= 1, qPrintable(o.value("clock").toString() + u' ' + o.value("pc_clock").toString()));

    QCOMPARE(runCli({"setup", "unit", "F", "--port", port}).code, 0);
    QCOMPARE(runCli({"setup", "interval", "05:00", "--port", port}).code, 0);
    o = show(port);
    QCOMPARE(o.value("unit").toString(), QStringLiteral("F"));
    QCOMPARE(o.value("interval").toString(), QStringLiteral("05:00"));
    QCOMPARE(o.value("interval_index").toInt(), 9);

    // Erase refuses while the logger holds data sets the archive does not.
    const QString archive = file(QStringLiteral("archive.sqlite"));
    run = runCli({"setup", "erase", "--port", port, "--yes", "--archive", archive});
    QCOMPARE(run.code, 5);
    QVERIFY2(run.err.contains("4 of 4 data sets on the logger are not archived; download them first or give --force."),
             run.err.constData());
    QCOMPARE(show(port).value("sets").toArray().size(), 4);
    QCOMPARE(runCli({"download", "--port", port, "-o", file(QStringLiteral("all.518")), "--archive", archive}).code, 0);
    run = runCli({"setup", "erase", "--port", port, "--yes", "--archive", archive});
    QCOMPARE(run.code, 0);
    QCOMPARE(show(port).value("sets").toArray().size(), 0);

    // With an archive in use, each change is in its audit trail, the value
    // before it beside the value after.
    QCOMPARE(runCli({"setup", "interval", "10:00", "--port", port, "--archive", archive}).code, 0);
    QCOMPARE(runCli({"setup", "unit", "C", "--port", port, "--archive", archive}).code, 0);
    QCOMPARE(runCli({"setup", "clock", "--port", port, "--archive", archive}).code, 0);
    run = runCli({"audit", "list", "--json", "--archive", archive});
    QCOMPARE(run.code, 0);
    QMap<QString, QStringList> changes;
    for (const QJsonValue &e : QJsonDocument::fromJson(run.out).array())
        changes[e["kind"].toString()] = {e["old_value"].toString(), e["new_value"].toString()};
    QVERIFY2(changes.value("setup-erase").value(0).contains("set 4: "), run.out.constData());
    QCOMPARE(changes.value("setup-erase").value(1), QStringLiteral("erased"));
    QCOMPARE(changes.value("setup-interval"), QStringList({"05:00", "10:00"}));
    QCOMPARE(changes.value("setup-unit"), QStringList({"F", "C"}));
    QVERIFY(QDateTime::fromString(changes.value("setup-clock").value(0), Qt::ISODate).isValid());

    run = runCli({"setup", "defaults", "--port", port, "--yes"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QByteArray("Load default setup successfully.\n"));
    o = show(port);
    QCOMPARE(o.value("unit").toString(), QStringLiteral("C"));
    QCOMPARE(o.value("interval").toString(), QStringLiteral("01:00"));
}

void TestCliSetup::notConfirmed_data()
{
    QTest::addColumn<QString>("muted");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("clock") << "SET_CLOCK" << QStringList{"clock"} << "SET_CLOCK";
    QTest::newRow("unit") << "SET_UNIT" << QStringList{"unit", "C"} << "SET_UNIT";
    QTest::newRow("interval") << "SET_INTERVAL" << QStringList{"interval", "00:01"} << "SET_INTERVAL";
    QTest::newRow("erase") << "ERASE_REQUEST" << QStringList{"erase", "--yes", "--force"} << "ERASE_REQUEST";
    QTest::newRow("defaults, no identity") << "IDENTIFY_REQUEST" << QStringList{"defaults", "--yes"}
                                           << "IDENTIFY_REPLY";
    QTest::newRow("defaults, not confirmed") << "DEFAULT_SETUP_REQUEST" << QStringList{"defaults", "--yes"}
                                             << "DEFAULT_SETUP_REQUEST";
}

void TestCliSetup::notConfirmed()
{
    QFETCH(QString, muted);
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const QString log = file(QStringLiteral("sim.log"));
    SimProcess sim({"--mute", muted, "--log", log});
    const CliRun run = runCli(QStringList{"setup"} + arguments + QStringList{"--port", sim.path()});
    QCOMPARE(run.code, 4);
    QVERIFY2(run.err.contains(named.toLatin1()), run.err.constData());
    QVERIFY(run.out.isEmpty());
}

void TestCliSetup::refused_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    const QByteArray recording = "The Logger is recording , please stop recording before setup.";
    QTest::newRow("recording: erase") << QStringList{"--recording"} << QStringList{"erase", "--yes"} << 5 << recording;
    QTest::newRow("recording: unit") << QStringList{"--recording"} << QStringList{"unit", "F"} << 5 << recording;
    QTest::newRow("recording: show") << QStringList{"--recording"} << QStringList{"show"} << 5 << recording;
    QTest::newRow("no meter") << QStringList{"--silent"} << QStringList{"clock"} << 3 << QByteArray("No KV518 answers");
}

void TestCliSetup::refused()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    const QString log = file(QStringLiteral("sim.log"));
    SimProcess sim(simArgs + QStringList{"--log", log});
    const CliRun run = runCli(QStringList{"setup"} + arguments + QStringList{"--port", sim.path()});
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.contains(message), run.err.constData());
    // One live reading was asked for, and nothing that changes the logger.
    const QStringList names = requestNames(log);
    QVERIFY(names.contains(QStringLiteral("LIVE_REQUEST")));
    for (const QString &name : ChangingRequests)
        QVERIFY2(!names.contains(name), qPrintable(names.join(u' ')));
    QVERIFY(!names.contains(QStringLiteral("DIRECTORY_REQUEST")));

    // A device that does not exist.
    QCOMPARE(runCli(QStringList{"setup"} + arguments + QStringList{"--port", file("none")}).code, 3);
}

QTEST_GUILESS_MAIN(TestCliSetup)
#include "tst_cli_setup.moc"
