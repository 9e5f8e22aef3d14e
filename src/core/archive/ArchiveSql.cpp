#include "core/archive/ArchiveSql.h"

namespace ArchiveSql {

QString blobType(Dialect d)
{
    return d == Dialect::PostgreSQL ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
}

QString generatedKey(Dialect d)
{
    return d == Dialect::PostgreSQL ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY")
                                    : QStringLiteral("INTEGER PRIMARY KEY");
}

QString instantType(Dialect d)
{
    return d == Dialect::PostgreSQL ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
}

} // namespace ArchiveSql
