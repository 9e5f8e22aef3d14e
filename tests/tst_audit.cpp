#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/Review.h"
#include "core/archive/Signatures.h"

#include "ImageBuilder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray image(int samples, int hour)
{
    ImageSet s;
    s.at(QDateTime(QDate(2026, 3, 1), QTime(hour, 0)));
    s.ramp(samples, 400, 1, 200, 2);
    ImageBuilder b;
    b.add(s);
    return b.build();
}

bool sqlite3(const QString &path, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path, sql});
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool anyContains(const QStringList &lines, const QString &text)
{
    return std::any_of(lines.cbegin(), lines.cend(), [&](const QString &l) { return l.contains(text); });
}

// Accepts "s3cret" and nothing else.
Result<> fixedPassword(const QString &, const QByteArray &password)
{
    if (password == "s3cret")
        return {};
    return fail(ErrorCode::Refused, QStringLiteral("The user name or password is wrong."));
}

} // namespace

class TestAudit : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("archive-%1.sqlite").arg(++m_n));
        Result<std::unique_ptr<Archive>> a = Archive::open(m_path, 50);
        QVERIFY2(a, qPrintable(a ? QString() : a.message()));
        m_archive = std::move(a).value();
    }
    void cleanup() { m_archive.reset(); }

    // Downloads and imports are recorded in the same transaction, one
    // entry per data set, naming the run, its samples and the record.
    void downloadsAndImportsAreRecorded()
    {
        ArchiveDownload d = ArchiveDownload::here(image(10, 8), ArchiveSource::Download);
        d.port = QStringLiteral("/dev/ttyUSB0");
        QVERIFY(m_archive->add(d));
        ArchiveDownload i = ArchiveDownload::here(image(15, 8), ArchiveSource::Import);
        i.sourcePath = QStringLiteral("/data/grown.518");
        QVERIFY(m_archive->add(i));
        const QList<AuditEntry> entries = AuditTrail::list(*m_archive).valueOr({});
        QCOMPARE(entries.size(), 2);
        const QList<ArchiveDownloadInfo> records = m_archive->downloadsOf(1).valueOr({});
        QCOMPARE(records.size(), 2);
        const QList<ArchiveVersionInfo> versions = m_archive->versions(1).valueOr({});
        QCOMPARE(entries.at(0).kind, QStringLiteral("download"));
        QCOMPARE(entries.at(0).newValue, QStringLiteral("data set 1: new, from /dev/ttyUSB0"));
        QCOMPARE(entries.at(0).downloadHash, records.at(0).recordHash);
        QCOMPARE(entries.at(0).samplesSha256, versions.at(0).samplesSha256);
        QCOMPARE(entries.at(1).kind, QStringLiteral("import"));
        QCOMPARE(entries.at(1).newValue, QStringLiteral("data set 1: grown, from /data/grown.518"));
        QCOMPARE(entries.at(1).samplesSha256, versions.at(1).samplesSha256);
        QCOMPARE(entries.at(1).previousHash, entries.at(0).entryHash);
        QCOMPARE(m_archive->verify().valueOr({QStringLiteral("failed")}), QStringList());
    }

    // An entry edited, removed or re-chained behind the program breaks the
    // chain, and verify says where.
    void editedTrailIsFound_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("problem");
        QTest::newRow("reason") << "UPDATE audit_entry SET reason = 'none' WHERE id = 2"
                                << "Audit entry 2: it does not match its hash.";
        QTest::newRow("old value") << "UPDATE audit_entry SET old_value = '00:30' WHERE id = 3"
                                   << "Audit entry 3: it does not match its hash.";
        QTest::newRow("user") << "UPDATE audit_entry SET os_user = 'someone' WHERE id = 1"
                              << "Audit entry 1: it does not match its hash.";
        QTest::newRow("removed") << "DELETE FROM audit_entry WHERE id = 2"
                                 << "Audit entry 3: the entry before it (2) is missing.";
        QTest::newRow("re-chained") << "UPDATE audit_entry SET previous_hash = (SELECT previous_hash FROM audit_entry "
                                       "WHERE id = 2) WHERE id = 3"
                                    << "Audit entry 3: it does not follow the entry before it in the chain.";
    }
    void editedTrailIsFound()
    {
        QFETCH(QString, sql);
        QFETCH(QString, problem);
        QVERIFY(m_archive->add(ArchiveDownload::here(image(10, 8), ArchiveSource::Download)));
        QVERIFY(Review::markRun(*m_archive, 1, QStringLiteral("reviewed"), QStringLiteral("checked")));
        AuditEntry e = AuditEntry::here(QStringLiteral("setup-interval"));
        e.oldValue = QStringLiteral("01:00");
        e.newValue = QStringLiteral("05:00");
        QVERIFY(AuditTrail::append(*m_archive, e));
        QCOMPARE(m_archive->verify().valueOr({QStringLiteral("failed")}), QStringList());
        QVERIFY(sqlite3(m_path, sql));
        const QStringList problems = m_archive->verify().valueOr({});
        QVERIFY2(problems.contains(problem), qPrintable(problems.join(u'\n')));
    }

    // A signature holds for the samples it signed: altered samples, or a
    // signature moved to another run, fail verify.
    void signatureIsBoundToTheSamples_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unchanged") << "" << "";
        QTest::newRow("samples altered")
            << "UPDATE run_chunk SET samples = zeroblob(length(samples)) WHERE run_id = 1"
            << "Signature in audit entry 2 (approved, by %1) on run 1: the run's samples were altered since it was signed.";
        QTest::newRow("moved to another run")
            << "UPDATE audit_entry SET run_id = 2 WHERE kind = 'signature'"
            << "Signature in audit entry 2 (approved, by %1) on run 2: the run does not hold the samples it signed.";
    }
    void signatureIsBoundToTheSamples()
    {
        QFETCH(QString, sql);
        QFETCH(QString, problem);
        ArchiveDownload d = ArchiveDownload::here(image(10, 8), ArchiveSource::Download);
        QVERIFY(m_archive->add(d));
        SigningSession session(fixedPassword);
        QVERIFY(session.needsUser());
        const Result<qint64> id = session.sign(*m_archive, 1, QStringLiteral("approved"), AuditActor::here().user, "s3cret");
        QVERIFY2(id, qPrintable(id ? QString() : id.message()));
        QVERIFY(!session.needsUser());
        QVERIFY(m_archive->add(ArchiveDownload::here(image(5, 9), ArchiveSource::Download)));
        if (!sql.isEmpty())
            QVERIFY(sqlite3(m_path, sql));
        const QStringList problems = m_archive->verify().valueOr({QStringLiteral("failed")});
        const AuditActor me = AuditActor::here();
        if (problem.isEmpty())
            QCOMPARE(problems, QStringList());
        else
            QVERIFY2(problems.contains(problem.arg(me.fullName.isEmpty() ? me.user : me.fullName)),
                     qPrintable(problems.join(u'\n')));
    }

    // Three failed attempts in a row lock signing for five minutes, each
    // failure audited; the lock ends on time.
    void failuresLockSigning_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("secondsLater");
        QTest::addColumn<bool>("locked");
        QTest::newRow("two failures") << 2 << 0 << false;
        QTest::newRow("three failures") << 3 << 0 << true;
        QTest::newRow("just before the end") << 3 << 299 << true;
        QTest::newRow("at the end") << 3 << 300 << false;
    }
    void failuresLockSigning()
    {
        QFETCH(int, failures);
        QFETCH(int, secondsLater);
        QFETCH(bool, locked);
        QVERIFY(m_archive->add(ArchiveDownload::here(image(10, 8), ArchiveSource::Download)));
        QDateTime now = QDateTime::currentDateTimeUtc();
        SigningSession session(fixedPassword, [&now] { return now; });
        const QString me = AuditActor::here().user;
        for (int k = 0; k < failures; ++k)
            QCOMPARE(session.sign(*m_archive, 1, QStringLiteral("reviewed"), me, "wrong").code(), ErrorCode::Refused);
        AuditFilter failed;
        failed.kind = QStringLiteral("signature-failed");
        QCOMPARE(AuditTrail::list(*m_archive, failed).valueOr({}).size(), failures);
        now = now.addSecs(secondsLater);
        const Result<qint64> right = session.sign(*m_archive, 1, QStringLiteral("reviewed"), me, "s3cret");
        QCOMPARE(bool(right), !locked);
        if (locked)
            QVERIFY(right.message().startsWith(QStringLiteral("Signing is locked after 3 failed attempts")));
        // A refusal while locked is no attempt: the failures stay as they were.
        QCOMPARE(AuditTrail::list(*m_archive, failed).valueOr({}).size(), failures);
    }

    // Review steps need a comment, an existing excursion and a known status.
    void reviewRefusals_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<qint64>("excursion");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("message");
        QTest::newRow("review without comment") << "reviewed" << 0ll << "  " << "A review needs a comment.";
        QTest::newRow("unknown status") << "released" << 0ll << "ok" << "The status is reviewed or approved.";
        QTest::newRow("acknowledge without comment") << "ack" << 1ll << "" << "An acknowledgement needs a comment.";
        QTest::newRow("no such excursion") << "ack" << 2ll << "door open"
                                           << "Run 1 has 1 excursion(s) beyond T; there is no excursion 2.";
        QTest::newRow("the excursion") << "ack" << 1ll << "door open" << "";
    }
    void reviewRefusals()
    {
        QFETCH(QString, step);
        QFETCH(qint64, excursion);
        QFETCH(QString, comment);
        QFETCH(QString, message);
        QVERIFY(m_archive->add(ArchiveDownload::here(image(10, 8), ArchiveSource::Download)));
        // The ramp's temperatures rise past the limit once and stay there.
        ChannelLimits limits[2];
        limits[1].high = 20.4;
        QCOMPARE(Review::excursionCount(*m_archive, 1, limits).valueOr(-1), 1);
        const Result<qint64> r = step == u"ack"
                                     ? Review::acknowledge(*m_archive, 1, excursion, limits, QStringLiteral("T"), comment)
                                     : Review::markRun(*m_archive, 1, step, comment);
        QCOMPARE(r ? QString() : r.message(), message);
        AuditFilter filter;
        filter.kind = QStringLiteral("acknowledge");
        QCOMPARE(AuditTrail::list(*m_archive, filter).valueOr({}).size(), message.isEmpty() ? 1 : 0);
    }

    // The excursions are maximal stretches beyond a limit, numbered humidity
    // above, below, then temperature above, below, as acknowledgements count them.
    void excursionsListed_data()
    {
        // NaN: no such limit.
        QTest::addColumn<double>("humidityHigh");
        QTest::addColumn<double>("temperatureLow");
        QTest::addColumn<double>("temperatureHigh");
        QTest::addColumn<QString>("excursions"); // number:channel side first x samples = extreme
        const double none = qQNaN();
        QTest::newRow("no limits") << none << none << none << "";
        QTest::newRow("temperature both sides") << none << 18.0 << 25.0 << "1:T+1x2=27.0 2:T+5x1=26.0 3:T-4x1=15.0";
        QTest::newRow("humidity throughout") << 39.9 << none << 26.5 << "1:H+0x7=40.0 2:T+2x1=27.0";
        QTest::newRow("a reading at the limit is within") << none << 15.0 << 27.0 << "";
    }
    void excursionsListed()
    {
        QFETCH(double, humidityHigh);
        QFETCH(double, temperatureLow);
        QFETCH(double, temperatureHigh);
        const auto limit = [](double v) { return qIsNaN(v) ? std::optional<double>() : std::optional(v); };
        QFETCH(QString, excursions);
        ImageSet s;
        s.at(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
        for (const qint16 t : {200, 260, 270, 200, 150, 260, 200})
            s.add(400, t);
        ImageBuilder b;
        b.add(s);
        QVERIFY(m_archive->add(ArchiveDownload::here(b.build(), ArchiveSource::Download)));
        ChannelLimits limits[2];
        limits[0].high = limit(humidityHigh);
        limits[1] = ChannelLimits(limit(temperatureLow), limit(temperatureHigh));
        const Result<QList<Review::Excursion>> found = Review::excursions(*m_archive, 1, limits);
        QVERIFY2(found, qPrintable(found ? QString() : found.message()));
        QStringList shown;
        for (const Review::Excursion &e : *found)
            shown << QStringLiteral("%1:%2%3%4x%5=%6")
                         .arg(e.number)
                         .arg(QChar(e.channel == 0 ? u'H' : u'T'))
                         .arg(QChar(e.above ? u'+' : u'-'))
                         .arg(e.first)
                         .arg(e.samples)
                         .arg(double(e.extreme), 0, 'f', 1);
        QCOMPARE(shown.join(u' '), excursions);
        QCOMPARE(Review::excursionCount(*m_archive, 1, limits).valueOr(-1), qint64(found->size()));
    }

    // A CSV cell a spreadsheet would run as a formula stays text; numbers
    // stay numbers, and quoting still holds.
    void csvGuardsFormulas_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plain") << "door open" << "door open";
        QTest::newRow("equals") << "=HYPERLINK(\"x\")" << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("plus") << "+cmd|' /C calc'!A0" << "'+cmd|' /C calc'!A0";
        QTest::newRow("minus, not a number") << "-2+3" << "'-2+3";
        QTest::newRow("at") << "@SUM(1)" << "'@SUM(1)";
        QTest::newRow("tab") << "\t=1" << "'\t=1";
        QTest::newRow("carriage return") << "\r=1" << "\"'\r=1\"";
        QTest::newRow("formula with a comma") << "=1,2" << "\"'=1,2\"";
        QTest::newRow("negative number") << "-5" << "-5";
        QTest::newRow("signed decimal") << "+2.50" << "+2.50";
        QTest::newRow("exponent") << "-1.5e3" << "-1.5e3";
        QTest::newRow("minus later") << "a-b" << "a-b";
    }
    void csvGuardsFormulas()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QCOMPARE(AuditTrail::csvCell(text), cell);
        AuditEntry e = AuditEntry::here(QStringLiteral("acknowledge"));
        e.reason = text;
        e.entryHash = QStringLiteral("h");
        const QString csv = QString::fromUtf8(AuditTrail::csv({e}));
        QVERIFY2(csv.endsWith(u',' + cell + QStringLiteral(",h\r\n")), qPrintable(csv));
    }

    // The password check through Linux-PAM, with a service of this test's
    // own that accepts one password, so no account is touched.
    void passwordThroughPam_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << QByteArray("s3cret") << true;
        QTest::newRow("wrong") << QByteArray("s3cre") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void passwordThroughPam()
    {
        QFETCH(QByteArray, password);
        QFETCH(bool, accepted);
        const QString script = m_dir.filePath(QStringLiteral("check-password"));
        QFile s(script);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("#!/bin/sh\nIFS= read -r pw || true\npw=$(printf '%s' \"$pw\" | tr -d '\\000')\n"
                "[ \"$pw\" = s3cret ]\n");
        s.close();
        QVERIFY(s.setPermissions(s.permissions() | QFile::ExeOwner));
        QFile service(m_dir.filePath(QStringLiteral("kv518")));
        QVERIFY(service.open(QIODevice::WriteOnly));
        service.write(("auth required pam_exec.so expose_authtok quiet " + script.toLocal8Bit()
                       + "\naccount required pam_permit.so\n"));
        service.close();
        const Result<> checked = checkPassword(QStringLiteral("signer"), password, {}, m_dir.path());
        QCOMPARE(bool(checked), accepted);
        if (!accepted)
            QCOMPARE(checked.message(), QStringLiteral("The user name or password is wrong."));
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_n = 0;
    std::unique_ptr<Archive> m_archive;
};

QTEST_GUILESS_MAIN(TestAudit)
#include "tst_audit.moc"
