// The archive window's view of the site archive, against a real PostgreSQL
// server: ctest runs this program under pg_virtualenv, which starts a
// throw-away cluster and sets PGHOST, PGPORT, PGUSER and PGPASSWORD. The
// runs of two workstations are listed with their names, read off the
// window's thread; a server that cannot be reached is said so.
#include "Harness.h"
#include "ImageBuilder.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SiteRuns.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/shell/TfrmMain.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestSiteArchiveWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_url = QStringLiteral("postgresql:///kv518_window");

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PGPORT"))
            QSKIP("no PostgreSQL server: run under pg_virtualenv (ctest does)");
        QVERIFY(m_dir.isValid());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
            db.setDatabaseName(QStringLiteral("postgres"));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY2(q.exec(QStringLiteral("CREATE DATABASE kv518_window")), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
        Result<SiteUrl> url = SiteUrl::parse(m_url);
        QVERIFY(url);
        Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*url);
        QVERIFY2(site, qPrintable(site ? QString() : site.message()));
        QVERIFY((*site)->init());
        // Each workstation archives a logger of its own, then sends the record.
        for (const QString &workstation : {QStringLiteral("ws-north"), QStringLiteral("ws-south")}) {
            ImageSet set;
            set.minute = quint8(workstation == u"ws-north" ? 10 : 20);
            set.ramp(400, 300, 1, 200, 1);
            Result<std::unique_ptr<Archive>> local = Archive::open(m_dir.filePath(workstation + ".sqlite"));
            QVERIFY(local);
            Result<ArchiveOutcome> added =
                (*local)->add(ArchiveDownload::here(ImageBuilder().add(set).build(), ArchiveSource::Import));
            QVERIFY2(added, qPrintable(added ? QString() : added.message()));
            Result<ArchiveRecord> record = (*local)->record(added->downloadId);
            QVERIFY(record);
            Result<bool> sent = (*site)->forward(*record, workstation);
            QVERIFY2(sent && *sent, qPrintable(sent ? QString() : sent.message()));
        }
    }

    void siteRunsListed_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("status"); // the start of the count line once read
        QTest::addColumn<QStringList>("workstations");
        QTest::newRow("two workstations") << m_url << QStringLiteral("2 runs of the site archive")
                                          << QStringList{"ws-north", "ws-south"};
        QTest::newRow("no server there")
            << QStringLiteral("postgresql://127.0.0.1:1/kv518_window")
            << QStringLiteral("The site archive postgresql://127.0.0.1:1/kv518_window cannot be reached: ")
            << QStringList{};
    }

    void siteRunsListed()
    {
        QFETCH(QString, url);
        QFETCH(QString, status);
        QFETCH(QStringList, workstations);
        Harness::TestContext h(Harness::ProgramFolder::Subfolder);
        QVERIFY(h.isValid());
        QVERIFY(SiteRuns::setConfiguredUrl(h.ctx().folders().programFolder(), url));
        QCOMPARE(configuredSiteUrl(h.ctx().folders().programFolder()), url);
        auto w = Harness::startMainWindow(h.ctx());
        w->Archive1Click();
        TfrmArchive *window = w->workspace().archiveWindow();
        QVERIFY(window);
        QCOMPARE(window->cmbSource->count(), 2);
        window->cmbSource->setCurrentIndex(1);
        // The switch returns at once; the server answers later.
        QVERIFY(window->siteLoading());
        QCOMPARE(window->lblCount->text(), QStringLiteral("Loading the site archive\u2026"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->siteLoading(), 20000);
        QVERIFY2(window->lblCount->text().startsWith(status), qPrintable(window->lblCount->text()));
        QStringList listed;
        for (int row = 0; row < window->model().rowCount(); ++row) {
            listed << window->model().text(row, ArchiveRunModel::Workstation);
            QVERIFY(!window->model().text(row, ArchiveRunModel::User).isEmpty());
        }
        listed.sort();
        QCOMPARE(listed, workstations);
        QCOMPARE(window->btnOpen->isEnabled(), false);
    }
};

QTEST_MAIN(TestSiteArchiveWindow)
#include "tst_site_archive_window.moc"
