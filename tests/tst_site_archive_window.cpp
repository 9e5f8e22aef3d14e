// The archive window's view of the site archive, against a real PostgreSQL
// server: ctest runs this program under pg_virtualenv, which starts a
// throw-away cluster and sets PGHOST, PGPORT, PGUSER and PGPASSWORD. The
// runs of two workstations are listed with their names, read off the
// window's thread, and open into data views; a server that cannot be
// reached, or a copy changed on the server, is said so.
#include "Harness.h"
#include "ImageBuilder.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveRunModel.h"
#include "core/archive/SiteArchive.h"
#include "core/archive/SiteRuns.h"
#include "chart/ChartWidget.h"
#include "gui/archive/TfrmArchive.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/Workspace.h"

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QtEndian>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

class TestSiteArchiveWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_url = QStringLiteral("postgresql:///kv518_window");
    const QString m_away = QStringLiteral("postgresql://127.0.0.1:1/kv518_window");

    // One channel of a workstation's archived run as the archive stores it:
    // little-endian floats, humidity then temperature per sample.
    QList<float> archived(const QString &workstation, int channel)
    {
        Result<std::unique_ptr<Archive>> local = Archive::open(m_dir.filePath(workstation + ".sqlite"));
        Result<QByteArray> bytes = local ? (*local)->samples(1, 1) : Result<QByteArray>(local.failure());
        QList<float> values;
        for (qsizetype i = 4 * channel; bytes && i + 4 <= bytes->size(); i += 8) {
            const quint32 word = qFromLittleEndian<quint32>(bytes->constData() + i);
            float v;
            std::memcpy(&v, &word, sizeof v);
            values << v;
        }
        return values;
    }

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
        QCOMPARE(window->btnOpen->isEnabled(), !workstations.isEmpty());
    }

    void siteRunOpens_data()
    {
        QTest::addColumn<QString>("workstation"); // whose run is opened
        QTest::addColumn<QString>("openUrl");     // where the site is when Open is pressed
        QTest::addColumn<bool>("altered");        // its samples changed on the server first
        QTest::addColumn<QString>("failure");     // the start of the message; empty: opens
        QTest::newRow("opens") << "ws-north" << m_url << false << QString();
        QTest::newRow("server gone meanwhile")
            << "ws-north" << m_away << false
            << QStringLiteral("The run cannot be opened: The site archive %1 cannot be reached: ").arg(m_away);
        QTest::newRow("samples altered on the server")
            << "ws-south" << m_url << true
            << QStringLiteral("The run cannot be opened: The site archive's copy of run ");
    }

    // Open fetches the run off the window's thread and shows the server's
    // copy, checked against its fingerprint, in a data view of its own.
    void siteRunOpens()
    {
        QFETCH(QString, workstation);
        QFETCH(QString, openUrl);
        QFETCH(bool, altered);
        QFETCH(QString, failure);
        Harness::TestContext h(Harness::ProgramFolder::Subfolder);
        QVERIFY(h.isValid());
        const QString folder = h.ctx().folders().programFolder();
        QVERIFY(SiteRuns::setConfiguredUrl(folder, m_url));
        auto w = Harness::startMainWindow(h.ctx());
        w->Archive1Click();
        TfrmArchive *window = w->workspace().archiveWindow();
        QVERIFY(window);
        window->cmbSource->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window->siteLoading(), 20000);
        int row = 0;
        while (row < window->model().rowCount() && window->model().text(row, ArchiveRunModel::Workstation) != workstation)
            ++row;
        QVERIFY(row < window->model().rowCount());
        window->selectRow(row);
        if (altered) {
            // The owner turns the triggers off for the session and changes one sample.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("owner"));
            db.setDatabaseName(QStringLiteral("kv518_window"));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            for (const QString &sql : {QStringLiteral("SET session_replication_role = replica"),
                                       QStringLiteral("UPDATE run_version SET bytes = decode('00000000', 'hex') || "
                                                      "substring(bytes from 5) WHERE run_id = %1")
                                           .arg(window->model().entry(row)->info.id)})
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("owner"));
        QVERIFY(SiteRuns::setConfiguredUrl(folder, openUrl));
        const qsizetype views = w->workspace().documentArea().subWindowList().size();
        qRegisterMetaType<TfrmGraph *>();
        QSignalSpy opened(window, &TfrmArchive::siteRunOpened);
        if (!failure.isEmpty())
            h.prompter().answerMessage(QMessageBox::Ok);

        QVERIFY(!window->openSelectedRun());
        QVERIFY(window->siteOpening());
        QVERIFY2(window->lblCount->text().startsWith(QStringLiteral("Fetching run")), qPrintable(window->lblCount->text()));
        QVERIFY(!window->btnOpen->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window->siteOpening(), 20000);
        QCOMPARE(window->btnOpen->isEnabled(), true);
        if (!failure.isEmpty()) {
            QCOMPARE(opened.size(), 0);
            QCOMPARE(h.prompter().messages.size(), 1);
            QVERIFY2(h.prompter().messages.first().startsWith(failure), qPrintable(h.prompter().messages.first()));
            QCOMPARE(w->workspace().documentArea().subWindowList().size(), views);
            return;
        }
        QCOMPARE(opened.size(), 1);
        auto *view = opened.first().first().value<TfrmGraph *>();
        QVERIFY(view);
        QCOMPARE(w->workspace().activeDataView(), view);
        QVERIFY2(view->windowTitle().startsWith(QStringLiteral("Site archive run")) && view->windowTitle().endsWith(workstation),
                 qPrintable(view->windowTitle()));
        const ChartModel &chart = view->PESGraph1->model();
        for (int channel : {0, 1}) {
            const std::span<const float> shown = chart.yOfSubset(channel);
            QCOMPARE(QList<float>(shown.begin(), shown.end()), archived(workstation, channel));
        }
        QVERIFY(!archived(workstation, 0).isEmpty());
    }
};

QTEST_MAIN(TestSiteArchiveWindow)
#include "tst_site_archive_window.moc"
