#pragma once

#include "app/engine/TableSchema.h"
#include "app/engine/postgres/PgValue.h"

#include <map>
#include <set>
#include <utility>

namespace rp::engine {

class PgConnection;

// A server table as a cursor needs it: its columns with their kinds, and how its rows are named.
struct PgTable
{
    QString schemaName;
    TableSchema schema;
    std::vector<PgColumnKind> kinds;
};

// The catalog reads, as statements, so that a prepared load can send them all in one round trip: which of several
// schemas exist; the columns of several tables at once.
PgStatement pgSchemasStatement(const std::set<QString>& schemaNames);
PgStatement pgColumnsStatement(const std::vector<std::pair<QString, QString>>& tables);
// The tables of a columns statement's result, by (schema, table); a table that is not there is missing.
std::map<std::pair<QString, QString>, PgTable> pgTablesFrom(const PgResult& result);

// What a prepared load read of the catalog, for the load's own steps to take instead of asking again.
struct PgCatalog
{
    std::set<QString> schemas;
    std::set<QString> existingSchemas;
    std::map<std::pair<QString, QString>, PgTable> tables;
};

// From the server's catalog. Raises TableNotFound unless `table` is a table of the schema, named exactly so.
PgTable readPgTable(PgConnection& conn, const QString& schemaName, const QString& table);

// The columns of the named index, in key order: "primaria" is the primary key, any other name an index of the
// table with exactly that name. Raises IndexNotFound.
std::vector<int> readPgIndexColumns(PgConnection& conn, const PgTable& table, const QString& indexName);

} // namespace rp::engine
