#pragma once

#include "app/engine/TableCursor.h"

#include <memory>

namespace rp::engine {

class SqliteDatabase;

// A table-type cursor on a table of an SQLite file. Every write is one BEGIN IMMEDIATE transaction on exactly the
// row the cursor found, after checking that the row is still as it was read.
std::unique_ptr<TableCursor> openSqliteTableCursor(std::shared_ptr<SqliteDatabase> db, const QString& table);

} // namespace rp::engine
