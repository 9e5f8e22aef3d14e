#include "core/archive/Archive.h"
#include "core/archive/Review.h"
#include "gui/audit/TfrmAudit.h"

#include "ImageBuilder.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
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
};

QTEST_MAIN(TestAuditWindow)
#include "tst_audit_window.moc"
