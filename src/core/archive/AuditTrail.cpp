#include "core/archive/AuditTrail.h"

#include "core/archive/Archive.h"
#include "core/archive/SqlStatements.h"
#include "core/base/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

const QString Columns = QStringLiteral(
    "id, when_utc, utc_offset, host, os_user, full_name, kind, run_id, samples_sha256, download_hash, "
    "old_value, new_value, reason, previous_hash, entry_hash");

AuditEntry entryOf(const QSqlQuery &q)
{
    AuditEntry e;
    e.id = q.value(0).toLongLong();
    e.whenUtc = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
    e.utcOffsetSeconds = q.value(2).toInt();
    e.host = q.value(3).toString();
    e.osUser = q.value(4).toString();
    e.fullName = q.value(5).toString();
    e.kind = q.value(6).toString();
    e.runId = q.value(7).toLongLong();
    e.samplesSha256 = q.value(8).toString();
    e.downloadHash = q.value(9).toString();
    e.oldValue = q.value(10).toString();
    e.newValue = q.value(11).toString();
    e.reason = q.value(12).toString();
    e.previousHash = q.value(13).toString();
    e.entryHash = q.value(14).toString();
    return e;
}

QString whenText(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

AuditActor AuditActor::here()
{
    AuditActor a;
    a.host = QSysInfo::machineHostName();
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd *found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found) {
        a.user = QString::fromLocal8Bit(found->pw_name);
        a.fullName = QString::fromLocal8Bit(found->pw_gecos).section(u',', 0, 0).trimmed();
    } else {
        a.user = qEnvironmentVariable("USER");
    }
    return a;
}

QString AuditActor::fullNameOf(const QString &user)
{
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd *found = nullptr;
    const QByteArray name = user.toLocal8Bit();
    if (::getpwnam_r(name.constData(), &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QString::fromLocal8Bit(found->pw_gecos).section(u',', 0, 0).trimmed();
}

AuditEntry AuditEntry::here(const QString &kind)
{
    const AuditActor a = AuditActor::here();
    AuditEntry e;
    const QDateTime now = QDateTime::currentDateTime();
    e.whenUtc = now.toUTC();
    e.utcOffsetSeconds = now.offsetFromUtc();
    e.host = a.host;
    e.osUser = a.user;
    e.fullName = a.fullName;
    e.kind = kind;
    return e;
}

namespace AuditTrail {

QStringList kinds()
{
    return {QStringLiteral("download"),       QStringLiteral("import"),         QStringLiteral("export"),
            QStringLiteral("report"),         QStringLiteral("print"),          QStringLiteral("setup-clock"),
            QStringLiteral("setup-unit"),     QStringLiteral("setup-interval"), QStringLiteral("setup-erase"),
            QStringLiteral("setup-default"),  QStringLiteral("limits"),         QStringLiteral("activation-energy"),
            QStringLiteral("review"),         QStringLiteral("acknowledge"),    QStringLiteral("signature"),
            QStringLiteral("signature-failed"), QStringLiteral("verify")};
}

QStringList migration()
{
    return {
        QStringLiteral("CREATE TABLE audit_entry (id BIGINT PRIMARY KEY, when_utc TEXT NOT NULL, "
                       "utc_offset INTEGER NOT NULL, host TEXT NOT NULL, os_user TEXT NOT NULL, "
                       "full_name TEXT NOT NULL, kind TEXT NOT NULL, run_id BIGINT NOT NULL, "
                       "samples_sha256 TEXT NOT NULL, download_hash TEXT NOT NULL, old_value TEXT NOT NULL, "
                       "new_value TEXT NOT NULL, reason TEXT NOT NULL, previous_hash TEXT NOT NULL, "
                       "entry_hash TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX audit_entry_run ON audit_entry (run_id)"),
        QStringLiteral("CREATE INDEX audit_entry_when ON audit_entry (when_utc)"),
    };
}

QString genesisHash()
{
    return QString(64, u'0');
}

QString entryHash(const QString &previousHash, const AuditEntry &e)
{
    const QJsonArray fields{QStringLiteral("kv518-audit-1"), previousHash, double(e.id), whenText(e.whenUtc),
                            e.utcOffsetSeconds, e.host, e.osUser, e.fullName, e.kind, double(e.runId),
                            e.samplesSha256, e.downloadHash, e.oldValue, e.newValue, e.reason};
    return QString::fromLatin1(
        QCryptographicHash::hash(QJsonDocument(fields).toJson(QJsonDocument::Compact), QCryptographicHash::Sha256)
            .toHex());
}

Result<qint64> appendInTransaction(const QString &connection, const QString &path, AuditEntry e)
{
    SqlStatements sql(connection, path);
    Result<QSqlQuery> last = sql.exec(QStringLiteral("SELECT id, entry_hash FROM audit_entry ORDER BY id DESC LIMIT 1"));
    if (!last)
        return last.failure();
    const bool any = last->next();
    e.id = any ? last->value(0).toLongLong() + 1 : 1;
    e.previousHash = any ? last->value(1).toString() : genesisHash();
    // Milliseconds are what the record keeps.
    e.whenUtc = QDateTime::fromString(whenText(e.whenUtc), Qt::ISODateWithMs);
    e.entryHash = entryHash(e.previousHash, e);
    if (Result<QSqlQuery> q = sql.exec(QStringLiteral("INSERT INTO audit_entry (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                                      "?, ?, ?, ?, ?)")
                                           .arg(Columns),
                                       {e.id, whenText(e.whenUtc), e.utcOffsetSeconds, e.host, e.osUser, e.fullName,
                                        e.kind, e.runId, e.samplesSha256, e.downloadHash, e.oldValue, e.newValue,
                                        e.reason, e.previousHash, e.entryHash});
        !q)
        return q.failure();
    qCInfo(lcData) << "audit entry" << e.id << e.kind << "run" << e.runId << "in" << path;
    return e.id;
}

Result<qint64> append(Archive &archive, AuditEntry e)
{
    SqlStatements sql(archive.connectionName(), archive.path());
    SqlWriteTransaction tx(sql);
    if (Result<> begun = tx.begin(); !begun)
        return begun.failure();
    Result<qint64> id = appendInTransaction(archive.connectionName(), archive.path(), std::move(e));
    if (!id)
        return id;
    if (Result<> committed = tx.commit(); !committed)
        return committed.failure();
    Q_EMIT AuditTrailEvents::instance().appended(archive.path());
    return id;
}

Result<> appendIfArchived(const QString &path, AuditEntry e)
{
    if (!QFileInfo::exists(path))
        return {};
    Result<std::unique_ptr<Archive>> archive = Archive::open(path);
    if (!archive)
        return archive.failure();
    if (Result<qint64> id = append(**archive, std::move(e)); !id)
        return id.failure();
    return {};
}

Result<QList<AuditEntry>> list(Archive &archive, const AuditFilter &filter)
{
    QStringList where;
    QVariantList values;
    if (filter.from.isValid()) {
        where << QStringLiteral("when_utc >= ?");
        values << whenText(filter.from);
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("when_utc <= ?");
        values << whenText(filter.to);
    }
    if (filter.runId > 0) {
        where << QStringLiteral("run_id = ?");
        values << filter.runId;
    }
    if (!filter.user.isEmpty()) {
        where << QStringLiteral("os_user = ?");
        values << filter.user;
    }
    if (!filter.kind.isEmpty()) {
        where << QStringLiteral("kind = ?");
        values << filter.kind;
    }
    const QString sql = QStringLiteral("SELECT %1 FROM audit_entry %2 ORDER BY id")
                            .arg(Columns, where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND ")));
    Result<QSqlQuery> q = SqlStatements(archive.connectionName(), archive.path()).exec(sql, values);
    if (!q)
        return q.failure();
    QList<AuditEntry> entries;
    while (q->next())
        entries.append(entryOf(*q));
    return entries;
}

Result<QStringList> verify(Archive &archive)
{
    Result<QList<AuditEntry>> entries = list(archive);
    if (!entries)
        return entries.failure();
    QStringList problems;
    QString previous = genesisHash();
    qint64 expectedId = 1;
    for (const AuditEntry &e : *entries) {
        if (e.id != expectedId)
            problems << QStringLiteral("Audit entry %1: the entry before it (%2) is missing.").arg(e.id).arg(expectedId);
        if (e.previousHash != previous)
            problems << QStringLiteral("Audit entry %1: it does not follow the entry before it in the chain.").arg(e.id);
        if (entryHash(e.previousHash, e) != e.entryHash)
            problems << QStringLiteral("Audit entry %1: it does not match its hash.").arg(e.id);
        previous = e.entryHash;
        expectedId = e.id + 1;
        if (e.kind != u"signature")
            continue;
        // A signature holds for the samples it was made on: the run must
        // still have a version with that hash, and its samples must match it.
        const QString what = QStringLiteral("Signature in audit entry %1 (%2, by %3) on run %4")
                                 .arg(e.id)
                                 .arg(e.newValue, e.fullName.isEmpty() ? e.osUser : e.fullName)
                                 .arg(e.runId);
        Result<QList<ArchiveVersionInfo>> versions = archive.versions(e.runId);
        if (!versions) {
            problems << what + QStringLiteral(": the run is not in the archive.");
            continue;
        }
        const auto signedVersion = std::find_if(versions->cbegin(), versions->cend(), [&](const ArchiveVersionInfo &v) {
            return v.samplesSha256 == e.samplesSha256;
        });
        if (signedVersion == versions->cend()) {
            problems << what + QStringLiteral(": the run does not hold the samples it signed.");
            continue;
        }
        Result<QByteArray> samples = archive.samples(e.runId, signedVersion->version);
        if (!samples || QCryptographicHash::hash(*samples, QCryptographicHash::Sha256).toHex() != e.samplesSha256.toLatin1())
            problems << what + QStringLiteral(": the run's samples were altered since it was signed.");
    }
    return problems;
}

QString csvCell(const QString &s)
{
    // A spreadsheet runs a cell that starts with one of these as a formula;
    // an apostrophe keeps it text. A number keeps its sign.
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString cell = s;
    if (!cell.isEmpty() && formulaStarts.contains(cell.at(0)) && !number.match(cell).hasMatch())
        cell.prepend(u'\'');
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') && !cell.contains(u'\r'))
        return cell;
    return u'"' + cell.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString heading(const QString &archivePath, const AuditFilter &filter)
{
    QStringList parts;
    const auto utc = [](const QDateTime &t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")); };
    if (filter.from.isValid() && filter.to.isValid())
        parts << QStringLiteral("entries from %1 to %2 (UTC)").arg(utc(filter.from), utc(filter.to));
    else if (filter.from.isValid())
        parts << QStringLiteral("entries from %1 (UTC)").arg(utc(filter.from));
    else if (filter.to.isValid())
        parts << QStringLiteral("entries until %1 (UTC)").arg(utc(filter.to));
    if (!filter.kind.isEmpty())
        parts << QStringLiteral("of kind %1").arg(filter.kind);
    if (filter.runId > 0)
        parts << QStringLiteral("on run %1").arg(filter.runId);
    if (!filter.user.isEmpty())
        parts << QStringLiteral("by %1").arg(filter.user);
    const QString what = parts.isEmpty() ? QStringLiteral("all entries") : parts.join(QStringLiteral(", "));
    return QStringLiteral("Audit trail of %1: %2").arg(QDir::toNativeSeparators(archivePath), what);
}

QString actorText(const AuditEntry &e)
{
    return e.fullName.isEmpty() ? e.osUser : QStringLiteral("%1 (%2)").arg(e.fullName, e.osUser);
}

QString localTimeText(const AuditEntry &e)
{
    const int offset = e.utcOffsetSeconds;
    const int minutes = std::abs(offset) / 60;
    return e.whenUtc.toOffsetFromUtc(offset).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
           + QStringLiteral(" %1%2:%3")
                 .arg(QChar(offset < 0 ? u'-' : u'+'))
                 .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                 .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QStringList columns()
{
    return {QStringLiteral("Entry"),   QStringLiteral("When (UTC)"), QStringLiteral("Offset (s)"),
            QStringLiteral("Host"),    QStringLiteral("User"),       QStringLiteral("Full name"),
            QStringLiteral("Kind"),    QStringLiteral("Run"),        QStringLiteral("Samples SHA-256"),
            QStringLiteral("Download record"), QStringLiteral("Old value"), QStringLiteral("New value"),
            QStringLiteral("Reason"),  QStringLiteral("Entry hash")};
}

QStringList cells(const AuditEntry &e)
{
    return {QString::number(e.id), whenText(e.whenUtc), QString::number(e.utcOffsetSeconds), e.host, e.osUser,
            e.fullName, e.kind, e.runId > 0 ? QString::number(e.runId) : QString(), e.samplesSha256, e.downloadHash,
            e.oldValue, e.newValue, e.reason, e.entryHash};
}

QByteArray csv(const QList<AuditEntry> &entries)
{
    QString text;
    const auto line = [&text](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted << csvCell(f);
        text += quoted.join(u',') + QStringLiteral("\r\n");
    };
    line(columns());
    for (const AuditEntry &e : entries)
        line(cells(e));
    return text.toUtf8();
}

} // namespace AuditTrail

AuditTrailEvents &AuditTrailEvents::instance()
{
    static AuditTrailEvents events;
    return events;
}
