#include "core/archive/SqlStatements.h"

#include "core/base/Log.h"

#include <QDir>
#include <QSqlError>

SqlStatements::SqlStatements(const QString &connection, const QString &where, SqlEngine engine,
                             QHash<QString, QSqlQuery> *prepared)
    : m_db(QSqlDatabase::database(connection, false)), m_where(where), m_engine(engine), m_prepared(prepared)
{
}

Result<QSqlQuery> SqlStatements::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(m_db);
    const bool cached = !values.isEmpty() && m_prepared && m_prepared->contains(sql);
    if (cached) {
        q = m_prepared->value(sql);
    } else {
        q.setForwardOnly(true);
        if (!values.isEmpty()) {
            if (!q.prepare(sql))
                return failure(q.lastError());
            if (m_prepared)
                m_prepared->insert(sql, q);
        }
    }
    for (const QVariant &v : values)
        q.addBindValue(v.typeId() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral("")) : v);
    if (!(values.isEmpty() ? q.exec(sql) : q.exec()))
        return failure(q.lastError());
    return q;
}

Result<QSqlQuery> SqlStatements::execWhole(const QString &sql)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(false);
    if (!q.exec(sql))
        return failure(q.lastError());
    return q;
}

Result<std::optional<QVariant>> SqlStatements::value(const QString &sql, const QVariantList &values)
{
    Result<QSqlQuery> q = exec(sql, values);
    if (!q)
        return q.failure();
    if (!q->next())
        return std::optional<QVariant>();
    return std::optional<QVariant>(q->value(0));
}

Result<qint64> SqlStatements::nextId(const QString &table)
{
    Result<std::optional<QVariant>> v = value(QStringLiteral("SELECT MAX(id) FROM %1").arg(table));
    if (!v)
        return v.failure();
    return (*v && !(*v)->isNull()) ? (*v)->toLongLong() + 1 : qint64(1);
}

Failure SqlStatements::failure(const QSqlError &e) const
{
    const QString reason = (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed();
    const QString code = e.nativeErrorCode();
    if (m_engine == SqlEngine::SiteServer) {
        qCInfo(lcData) << "site archive" << m_where << "failed:" << code << reason;
        // SQLSTATE class 42501 / 28: privileges and authentication.
        if (code.startsWith(u"42501") || code.startsWith(u"28"))
            return {ErrorCode::Permission, QStringLiteral("The site archive %1 refused it: %2.").arg(m_where, reason)};
        if (code.startsWith(u"08") || !m_db.isOpen() || e.type() == QSqlError::ConnectionError)
            return {ErrorCode::Transfer, QStringLiteral("The site archive %1 cannot be reached: %2.").arg(m_where, reason)};
        return {ErrorCode::Transfer, QStringLiteral("The site archive %1 failed: %2.").arg(m_where, reason)};
    }
    qCInfo(lcData) << "archive" << m_where << "failed:" << code << reason;
    const QString file = u'"' + QDir::toNativeSeparators(m_where) + u'"';
    // SQLite's primary result codes: BUSY, LOCKED; CORRUPT, NOTADB; FULL.
    if (code == u"5" || code == u"6")
        return {ErrorCode::Refused, QStringLiteral("The archive %1 is in use by another program (%2).").arg(file, reason)};
    if (code == u"11" || code == u"26")
        return {ErrorCode::Damaged, QStringLiteral("The archive %1 is damaged (%2).").arg(file, reason)};
    if (code == u"13")
        return {ErrorCode::WriteFailed, QStringLiteral("Cannot write the archive %1: the disk is full.").arg(file)};
    return {ErrorCode::WriteFailed, QStringLiteral("Cannot write the archive %1: %2.").arg(file, reason)};
}

SqlWriteTransaction::~SqlWriteTransaction()
{
    if (m_open)
        (void)m_sql.exec(QStringLiteral("ROLLBACK"));
}

Result<> SqlWriteTransaction::begin()
{
    Result<QSqlQuery> q = m_sql.exec(m_sql.engine() == SqlEngine::ArchiveFile ? QStringLiteral("BEGIN IMMEDIATE")
                                                                            : QStringLiteral("BEGIN"));
    if (!q)
        return q.failure();
    m_open = true;
    return {};
}

Result<> SqlWriteTransaction::commit()
{
    Result<QSqlQuery> q = m_sql.exec(QStringLiteral("COMMIT"));
    if (!q)
        return q.failure();
    m_open = false;
    return {};
}
