#include "core/archive/Archive.h"
#include "core/archive/Review.h"
#include "core/archive/Signatures.h"
#include "core/archive/AuditTrail.h"
#include "gui/archive/TfrmReview.h"
#include "gui/audit/TfrmAudit.h"
#include "gui/audit/TfrmSign.h"

#include "ImageBuilder.h"
#include "ScriptedPrompter.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// The Audit Trail window lists the archive's entries through its filters
// and exports what it lists.
class TestAuditWindow : public QObject
{
    Q_OBJECT

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // An archive at path with one download of a data set for each hour
    // (2026-03-01), its run 1 marked approved.
    static bool approvedDownload(const QString &path, std::initializer_list<int> hours)
    {
        auto archive = Archive::open(path);
        if (!archive)
            return false;
        ImageBuilder b;
        for (int hour : hours) {
            ImageSet s;
            s.at(QDateTime(QDate(2026, 3, 1), QTime(hour, 0)));
            s.ramp(5, 400, 1, 200, 2);
            b.add(s);
        }
        return (*archive)->add(ArchiveDownload::here(b.build(), ArchiveSource::Download))
               && Review::markRun(**archive, 1, QStringLiteral("approved"), QStringLiteral("ok"));
    }

    // A PAM service "kv518" in a folder of dir's that accepts the password
    // s3cret alone; the folder, or empty when it cannot be written.
    static QString pamService(const QTemporaryDir &dir)
    {
        const QString folder = dir.filePath(QStringLiteral("pam.d"));
        const QString script = dir.filePath(QStringLiteral("check-password"));
        QFile s(script);
        if (!QDir().mkpath(folder) || !s.open(QIODevice::WriteOnly))
            return {};
        s.write("#!/bin/sh\nIFS= read -r pw || true\npw=$(printf '%s' \"$pw\" | tr -d '\\000')\n"
                "[ \"$pw\" = s3cret ]\n");
        s.close();
        s.setPermissions(s.permissions() | QFile::ExeOwner);
        QFile service(QDir(folder).filePath(QStringLiteral("kv518")));
        if (!service.open(QIODevice::WriteOnly))
            return {};
        service.write("auth required pam_exec.so expose_authtok quiet " + script.toLocal8Bit()
                      + "\naccount required pam_permit.so\n");
        return folder;
    }

private slots:
    void filters_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("run");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("rows");
        QTest::newRow("all") << "" << 0 << "" << "" << 3;
        QTest::newRow("kind") << "review" << 0 << "" << "" << 1;
        QTest::newRow("run") << "" << 2 << "" << "" << 1;
        QTest::newRow("another user") << "" << 0 << "nobody-else" << "" << 0;
        QTest::newRow("until long ago") << "" << 0 << "" << "2000-01-01" << 0;
    }
    void filters()
    {
        QFETCH(QString, kind);
        QFETCH(int, run);
        QFETCH(QString, user);
        QFETCH(QString, to);
        QFETCH(int, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        QVERIFY(approvedDownload(path, {8, 9}));
        ScriptedPrompter prompter;
        SigningSession session;
        TfrmAudit window(prompter, session, path);
        QCOMPARE(window.model().rowCount(), 3);
        auto *kinds = window.findChild<QComboBox *>(QStringLiteral("cmbKind"));
        kinds->setCurrentIndex(kinds->findData(kind));
        window.findChild<QSpinBox *>(QStringLiteral("spnRun"))->setValue(run);
        window.findChild<QLineEdit *>(QStringLiteral("edtUser"))->setText(user);
        window.findChild<QLineEdit *>(QStringLiteral("edtTo"))->setText(to);
        window.findChild<QPushButton *>(QStringLiteral("btnApply"))->click();
        QCOMPARE(window.model().rowCount(), rows);
        // Both exports write what the window lists, and say so.
        QStringList hashes;
        for (const AuditEntry &e : window.model().entries())
            hashes << e.entryHash;
        const auto *status = window.findChild<QLabel *>(QStringLiteral("lblStatus"));
        const QString listed = rows == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(rows);
        const QString csv = dir.filePath(QStringLiteral("trail.csv"));
        prompter.answerFile(csv);
        window.findChild<QPushButton *>(QStringLiteral("btnExport"))->click();
        QCOMPARE(status->text(), QStringLiteral("Wrote %1 to %2").arg(listed, csv));
        QCOMPARE(readAll(csv).count("\r\n"), rows + 1);
        const QString pdf = dir.filePath(QStringLiteral("trail.pdf"));
        prompter.answerFile(pdf);
        window.findChild<QPushButton *>(QStringLiteral("btnExportPdf"))->click();
        QCOMPARE(status->text(), QStringLiteral("Wrote %1 to %2").arg(listed, pdf));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        // The text extractor gives "ff" as its ligature.
        const QString page = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        QCOMPARE(page.count(QStringLiteral("Entry hash ")), rows);
        for (const QString &h : std::as_const(hashes))
            QVERIFY2(page.contains(h), qPrintable(h));
        // A file that cannot be written says why in the status line.
        prompter.answerFile(dir.filePath(QStringLiteral("missing/trail.pdf")));
        window.findChild<QPushButton *>(QStringLiteral("btnExportPdf"))->click();
        QVERIFY2(status->text().startsWith(QStringLiteral("Cannot create file")), qPrintable(status->text()));
        QVERIFY(prompter.unanswered.isEmpty());
    }

    // Verify Archive checks every hash away from the window's thread,
    // records the verdict in the trail and lists it; problems are shown.
    void verifyButton_data()
    {
        QTest::addColumn<QString>("edit"); // by hand, beside the program
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("status");
        QTest::newRow("sound") << "" << ""
                               << "The archive is sound: 1 download(s), every image, run and record matches its hash.";
        QTest::newRow("edited entry") << "UPDATE audit_entry SET reason = 'later' WHERE id = 2"
                                      << "Audit entry 2: it does not match its hash."
                                      << "The archive \"%1\" does not match its hashes in 1 place(s).";
    }
    void verifyButton()
    {
        QFETCH(QString, edit);
        QFETCH(QString, problem);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        QVERIFY(approvedDownload(path, {8}));
        if (!edit.isEmpty())
            QCOMPARE(QProcess::execute(QStringLiteral("sqlite3"), {path, edit}), 0);
        ScriptedPrompter prompter;
        if (!problem.isEmpty())
            prompter.answerMessage(QMessageBox::Ok);
        SigningSession session;
        TfrmAudit window(prompter, session, path);
        QSignalSpy verified(&window, &TfrmAudit::verified);
        window.findChild<QPushButton *>(QStringLiteral("btnVerify"))->click();
        QVERIFY(verified.wait(30000));
        QCOMPARE(verified.first().first().toBool(), problem.isEmpty());
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(), status.arg(path));
        QCOMPARE(prompter.messages.size(), problem.isEmpty() ? 0 : 1);
        if (!problem.isEmpty())
            QVERIFY2(prompter.messages.first().contains(problem), qPrintable(prompter.messages.first()));
        // The verdict is the trail's last entry, listed.
        QCOMPARE(window.model().rowCount(), 3);
        const AuditEntry last = window.model().entries().constLast();
        QCOMPARE(last.kind, QStringLiteral("verify"));
        QCOMPARE(last.newValue, problem.isEmpty() ? QStringLiteral("sound") : QStringLiteral("1 problem(s): ") + problem);
    }

    // The sign dialog signs with the user's password, asks for the user
    // only at the session's first signing, and stays open on a refusal.
    void signDialog_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("signedRun");
        QTest::newRow("right") << "s3cret" << true;
        QTest::newRow("wrong") << "guess" << false;
    }
    void signDialog()
    {
        QFETCH(QString, password);
        QFETCH(bool, signedRun);
        QTemporaryDir dir;
        auto archive = Archive::open(dir.filePath(QStringLiteral("archive.sqlite")));
        QVERIFY(archive);
        ImageSet s;
        s.at(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
        s.ramp(5, 400, 1, 200, 2);
        ImageBuilder b;
        b.add(s);
        QVERIFY((*archive)->add(ArchiveDownload::here(b.build(), ArchiveSource::Download)));
        // The password goes through Linux-PAM, with a service of this
        // test's own that accepts one password, so no account is touched.
        const QString pam = pamService(dir);
        QVERIFY(!pam.isEmpty());
        SigningSession session([pam](const QString &user, const QByteArray &p) {
            return checkPassword(user, p, {}, pam);
        });
        TfrmSign dialog(session, **archive, 1);
        QVERIFY(dialog.findChild<QLineEdit *>(QStringLiteral("edtUser"))->isEnabled());
        dialog.findChild<QLineEdit *>(QStringLiteral("edtPassword"))->setText(password);
        dialog.accept();
        QCOMPARE(dialog.result() == QDialog::Accepted, signedRun);
        AuditFilter filter;
        filter.kind = signedRun ? QStringLiteral("signature") : QStringLiteral("signature-failed");
        QCOMPARE(AuditTrail::list(**archive, filter).valueOr({}).size(), 1);
        if (!signedRun)
            QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(),
                     QStringLiteral("The user name or password is wrong."));
        TfrmSign next(session, **archive, 1);
        QCOMPARE(next.findChild<QLineEdit *>(QStringLiteral("edtUser"))->isEnabled(), !signedRun);
    }

    // The review dialog hands the user's input to the review and shows its
    // answer: an empty comment is refused and nothing is written; otherwise
    // the step is an audit entry, shown in the run's record.
    void reviewDialog_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("record"); // the record's line; empty: refused
        QTest::newRow("acknowledge without comment") << "acknowledge" << "  "
                                                     << "An acknowledgement needs a comment." << "";
        QTest::newRow("acknowledge") << "acknowledge" << "door open" << "Excursion 1 acknowledged (audit entry 2)."
                                     << "Excursion 1 of 1 beyond humidity none, temperature up to 20.4 acknowledged by ";
        QTest::newRow("review without comment") << "review" << "" << "A review needs a comment." << "";
        QTest::newRow("approved") << "review" << "all fine" << "Run 1 marked Approved (audit entry 2)."
                                  << "Approved by ";
    }
    void reviewDialog()
    {
        QFETCH(QString, step);
        QFETCH(QString, comment);
        QFETCH(QString, status);
        QFETCH(QString, record);
        QTemporaryDir dir;
        auto archive = Archive::open(dir.filePath(QStringLiteral("archive.sqlite")));
        QVERIFY(archive);
        ImageSet s;
        s.at(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
        s.ramp(5, 400, 1, 200, 2); // temperatures 20.0 to 20.8: one excursion above 20.4
        ImageBuilder b;
        b.add(s);
        QVERIFY((*archive)->add(ArchiveDownload::here(b.build(), ArchiveSource::Download)));
        SigningSession session;
        ChannelLimits limits[2];
        limits[1].high = 20.4;
        TfrmReview dialog(**archive, session, 1, limits, QStringLiteral("humidity none, temperature up to 20.4"));
        QCOMPARE(dialog.gridExcursions->rowCount(), 1);
        QCOMPARE(dialog.gridExcursions->item(0, 3)->text(), DateTimeText().dateAndTime(
                                                                FrameworkTime::fromDateTime(QDateTime(QDate(2026, 3, 1), QTime(8, 3)))));
        if (step == u"acknowledge") {
            dialog.edtAcknowledgement->setText(comment);
            dialog.btnAcknowledge->click();
        } else {
            dialog.cmbStatus->setCurrentIndex(dialog.cmbStatus->findData(QStringLiteral("approved")));
            dialog.edtReview->setText(comment);
            dialog.btnReview->click();
        }
        QCOMPARE(dialog.lblStatus->text(), status);
        AuditFilter filter;
        filter.kind = step;
        const QList<AuditEntry> written = AuditTrail::list(**archive, filter).valueOr({});
        QCOMPARE(written.size(), record.isEmpty() ? 0 : 1);
        QCOMPARE(dialog.lstRecord->count(), written.size());
        if (record.isEmpty())
            return;
        QCOMPARE(written.first().reason, comment);
        QCOMPARE(written.first().runId, 1);
        QVERIFY2(dialog.lstRecord->item(0)->text().startsWith(record), qPrintable(dialog.lstRecord->item(0)->text()));
        QVERIFY(dialog.lstRecord->item(0)->text().endsWith(QStringLiteral(": ") + comment));
        if (step == u"acknowledge")
            QVERIFY(dialog.gridExcursions->item(0, 6)->text().endsWith(QStringLiteral(": door open")));
    }
};

QTEST_MAIN(TestAuditWindow)
#include "tst_audit_window.moc"
