#pragma once

#include "app/engine/TableSchema.h"
#include "app/engine/postgres/PgValue.h"

namespace rp::engine {

class PgConnection;

// A server table as a cursor needs it: its columns with their kinds, and how its rows are named.
struct PgTable
{
    QString schemaName;
    TableSchema schema;
    std::vector<PgColumnKind> kinds;
};

// The catalog reads, as statements: a prepared load sends them all at once, and readPgTable / the opening of a
// schema find their results among those it kept (PgConnection::prefetch).
PgStatement pgSchemaStatement(const QString& schemaName);
PgStatement pgColumnsStatement(const QString& schemaName, const QString& table);

// From the server's catalog. Raises TableNotFound unless `table` is a table of the schema, named exactly so.
PgTable readPgTable(PgConnection& conn, const QString& schemaName, const QString& table);

// The columns of the named index, in key order: "primaria" is the primary key, any other name an index of the
// table with exactly that name. Raises IndexNotFound.
std::vector<int> readPgIndexColumns(PgConnection& conn, const PgTable& table, const QString& indexName);

} // namespace rp::engine
