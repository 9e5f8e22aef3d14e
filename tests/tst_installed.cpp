// The installed program writes nothing beside itself or into the folder it is
// started from, whoever runs it: it is installed into a temporary prefix
// (cmake --install) and started there as root with the program folder owned
// by another user, and as a normal user; its files go to that user's
// application data folder.
#include "core/app/AppFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

constexpr uint Nobody = 65534;

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString found(const QString &folder, const QString &name)
{
    QDirIterator it(folder, {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

bool hand(const QString &path, uint user)
{
    return ::chown(QFile::encodeName(path).constData(), user, user) == 0;
}

} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void systemFoldersAreNeverTheProgramFolder();
    void writesNothingBesideItself_data();
    void writesNothingBesideItself();

private:
    QTemporaryDir m_prefix;
    QString m_bin;
    QStringList m_installed;
};

void TestInstalled::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("needs root, to run the program as root and as another user");
    QVERIFY(m_prefix.isValid());
    // Others must reach the program.
    QVERIFY(QFile::setPermissions(m_prefix.path(), QFile::permissions(m_prefix.path()) | QFile::ReadOther
                                                       | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(KV518_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(KV518_BUILD_DIR), QStringLiteral("--prefix"),
                   m_prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());
    m_bin = m_prefix.filePath(QStringLiteral("bin"));
    m_installed = entries(m_bin);
    QVERIFY(m_installed.contains(QStringLiteral("kv518")));
}

// Root may write anywhere: an installed program's folder is still not its own.
void TestInstalled::systemFoldersAreNeverTheProgramFolder()
{
    for (const char *folder : {"/usr/bin", "/usr/local/bin", "/usr"}) {
        if (QFileInfo(QString::fromLatin1(folder)).isDir())
            QVERIFY2(!AppFolders::isPortableFolder(QString::fromLatin1(folder)), folder);
    }
    QTemporaryDir own;
    QVERIFY(AppFolders::isPortableFolder(own.path()));
    QVERIFY(hand(own.path(), Nobody));
    QVERIFY(!AppFolders::isPortableFolder(own.path()));
}

void TestInstalled::writesNothingBesideItself_data()
{
    QTest::addColumn<bool>("asRoot");
    QTest::newRow("root, program folder of another user") << true;
    QTest::newRow("a normal user") << false;
}

void TestInstalled::writesNothingBesideItself()
{
    QFETCH(bool, asRoot);
    const uint user = asRoot ? 0 : Nobody;
    // As root, the folder belongs to someone else; as a user, to root.
    QVERIFY(hand(m_bin, asRoot ? Nobody : 0));
    QTemporaryDir home;
    QTemporaryDir start;
    QVERIFY(home.isValid() && start.isValid());
    QVERIFY(hand(home.path(), user) && hand(start.path(), user));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(start.path());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString kv518 = QDir(m_bin).filePath(QStringLiteral("kv518"));
    if (asRoot)
        program.start(kv518, {});
    else
        program.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=%1").arg(user),
                                                   QStringLiteral("--regid=%1").arg(user),
                                                   QStringLiteral("--clear-groups"), QStringLiteral("--"), kv518});
    QVERIFY(program.waitForStarted());
    // The LCD mirror writes its tag list as the window starts.
    const bool tagged = QTest::qWaitFor([&] { return !found(home.path(), QStringLiteral("lcdtag.txt")).isEmpty(); },
                                        30000);
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();
    program.waitForFinished();
    QVERIFY(tagged);

    QCOMPARE(entries(m_bin), m_installed);
    QCOMPARE(entries(start.path()), QStringList());
    // In the user's application data folder, which the program made its own.
    const QString tag = found(home.path(), QStringLiteral("lcdtag.txt"));
    QVERIFY2(tag.startsWith(home.filePath(QStringLiteral(".local/share/"))), qPrintable(tag));
    QCOMPARE(QFileInfo(tag).ownerId(), user);
}

QTEST_GUILESS_MAIN(TestInstalled)
#include "tst_installed.moc"
