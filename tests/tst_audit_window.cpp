#include "core/archive/Archive.h"
#include "core/archive/Review.h"
#include "core/archive/AuditTrail.h"
#include "gui/archive/TfrmReview.h"
#include "gui/audit/TfrmAudit.h"
#include "gui/audit/TfrmSign.h"

#include "ImageBuilder.h"

#include <QComboBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// The Audit Trail window lists the archive's entries through its filters
// and exports what it lists.
class TestAuditWindow : public QObject
{
    Q_OBJECT

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
        {
            auto archive = Archive::open(path);
            QVERIFY(archive);
            ImageBuilder b;
            for (int hour : {8, 9}) {
                ImageSet s;
                s.at(QDateTime(QDate(2026, 3, 1), QTime(hour, 0)));
                s.ramp(5, 400, 1, 200, 2);
                b.add(s);
            }
            QVERIFY((*archive)->add(ArchiveDownload::here(b.build(), ArchiveSource::Download)));
            QVERIFY(Review::markRun(**archive, 1, QStringLiteral("approved"), QStringLiteral("ok")));
        }
        TfrmAudit window(path);
        QCOMPARE(window.model().rowCount(), 3);
        auto *kinds = window.findChild<QComboBox *>(QStringLiteral("cmbKind"));
        kinds->setCurrentIndex(kinds->findData(kind));
        window.findChild<QSpinBox *>(QStringLiteral("spnRun"))->setValue(run);
        window.findChild<QLineEdit *>(QStringLiteral("edtUser"))->setText(user);
        window.findChild<QLineEdit *>(QStringLiteral("edtTo"))->setText(to);
        window.findChild<QPushButton *>(QStringLiteral("btnApply"))->click();
        QCOMPARE(window.model().rowCount(), rows);
        const QString csv = dir.filePath(QStringLiteral("trail.csv"));
        QVERIFY(window.exportCsv(csv));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("\r\n"), rows + 1);
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
        SigningSession session([](const QString &, const QByteArray &p) {
            return p == "s3cret" ? Result<>() : Result<>(fail(ErrorCode::Refused, QStringLiteral("The user name or password is wrong.")));
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
