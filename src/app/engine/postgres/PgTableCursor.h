#pragma once

#include "app/engine/TableCursor.h"

#include <memory>

namespace rp::engine {

class PgDatabase;

// A table-type cursor on a table of the office server. The row it stands on is named by its primary key; every
// write locks that row, checks it is still as it was read, and changes it alone.
std::unique_ptr<TableCursor> openPgTableCursor(std::shared_ptr<PgDatabase> db, const QString& table);

} // namespace rp::engine
