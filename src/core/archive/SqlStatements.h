#pragma once

#include "core/base/Result.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <optional>

class QSqlError;

// Which database a statement runs on: the workstation's archive file
// (SQLite), or the site archive's server (PostgreSQL). It chooses how a
// transaction begins and how a failure is worded.
enum class SqlEngine { ArchiveFile, SiteServer };

// The statements of one operation on a named Qt SQL connection, every
// failure turned into the user's sentence: a busy archive file is "in use by
// another program" (Refused, so a caller can retry), a damaged one Damaged, a
// full disk says so; a server that refuses or cannot be reached says that.
// Empty texts are bound as texts, never as NULL (the schemas keep them so).
class SqlStatements
{
public:
    // where: the archive file's path, or the server's key (its address
    // without the user). prepared: a cache kept by the caller for the
    // connection's lifetime; a statement with values is then prepared once
    // (each prepare is a round trip to a server).
    SqlStatements(const QString &connection, const QString &where, SqlEngine engine = SqlEngine::ArchiveFile,
                  QHash<QString, QSqlQuery> *prepared = nullptr);

    // Runs a statement with its values bound in order; forward only.
    Result<QSqlQuery> exec(const QString &sql, const QVariantList &values = {});
    // Runs a statement without values whose rows are all taken at once: on
    // the server a forward-only query has the driver take its rows one by
    // one, which costs a listing of many rows more than it saves.
    Result<QSqlQuery> execWhole(const QString &sql);
    // The first value of the first row (nullopt for no row).
    Result<std::optional<QVariant>> value(const QString &sql, const QVariantList &values = {});
    // The id after the largest of table's (1 for an empty table).
    Result<qint64> nextId(const QString &table);

    Failure failure(const QSqlError &e) const;

    QSqlDatabase &db() { return m_db; }
    SqlEngine engine() const { return m_engine; }

private:
    QSqlDatabase m_db;
    QString m_where;
    SqlEngine m_engine;
    QHash<QString, QSqlQuery> *m_prepared;
};

// A write transaction rolled back by the destructor unless committed. On an
// archive file it begins IMMEDIATE: the write lock is taken at once, so a
// busy archive fails before anything is written.
class SqlWriteTransaction
{
public:
    explicit SqlWriteTransaction(SqlStatements &sql) : m_sql(sql) {}
    ~SqlWriteTransaction();
    SqlWriteTransaction(const SqlWriteTransaction &) = delete;
    SqlWriteTransaction &operator=(const SqlWriteTransaction &) = delete;

    Result<> begin();
    Result<> commit();

private:
    SqlStatements &m_sql;
    bool m_open = false;
};
