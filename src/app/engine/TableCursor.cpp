#include "app/engine/TableCursor.h"

#include "app/engine/Database.h"
#include "app/engine/EngineErrors.h"

namespace rp::engine {

std::unique_ptr<TableCursor> TableCursor::open(const std::shared_ptr<Database>& db, const QString& table)
{
    if (!db) {
        throw noDatabaseFor(table);
    }
    return db->openTable(table);
}

} // namespace rp::engine
