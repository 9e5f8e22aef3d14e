#pragma once

#include <QString>

// The few places where the SQL of the archive differs between the engines it
// is written for: the workstation's SQLite file and the site's PostgreSQL.
// Every other statement is written once, in the SQL both understand.
namespace ArchiveSql {

enum class Dialect { SQLite, PostgreSQL };

// A column of bytes: BLOB, or PostgreSQL's BYTEA.
QString blobType(Dialect d);
// An id the engine assigns: INTEGER PRIMARY KEY, or an identity column.
QString generatedKey(Dialect d);
// An instant: ISO 8601 text in SQLite, timestamptz on the server.
QString instantType(Dialect d);

} // namespace ArchiveSql
