#pragma once

#include "app/engine/TableSchema.h"

namespace rp::engine {

class SqliteDatabase;

// Raises TableNotFound unless `table` is a stored table of the database, named exactly so.
TableSchema readTableSchema(SqliteDatabase& db, const QString& table);

// The columns of the named index, in key order: "primaria" is the primary key, any other name an index of
// the table with exactly that name. Raises IndexNotFound.
std::vector<int> readIndexColumns(SqliteDatabase& db, const TableSchema& schema, const QString& indexName);

} // namespace rp::engine
