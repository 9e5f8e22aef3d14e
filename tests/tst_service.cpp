// The packaged service unit: systemd-analyze accepts it (with the built
// kv518-cli in its command line), as a template and as an instance.
#include "TestProcesses.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestService : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void unitVerifies_data();
    void unitVerifies();
};

void TestService::unitVerifies_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("template") << "kv518-watch@.service";
    QTest::newRow("instance") << "kv518-watch@ttyUSB0.service";
}

void TestService::unitVerifies()
{
    QFETCH(QString, name);
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty())
        QSKIP("systemd-analyze is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray unit = readFile(QStringLiteral(KV518_SERVICE_UNIT));
    QVERIFY(unit.contains("@KV518_CLI@ watch --port /dev/%I"));
    unit.replace("@KV518_CLI@", QByteArray(KV518_CLI_PATH));
    const QString path = QDir(dir.path()).filePath(name);
    QVERIFY(writeFile(path, unit));
    QProcess p;
    p.start(analyze, {"verify", "--man=no", path});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(p.exitCode() == 0 && !err.contains(name.toUtf8()), err.constData());
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
