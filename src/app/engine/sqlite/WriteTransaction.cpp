#include "app/engine/sqlite/WriteTransaction.h"

#include "app/engine/sqlite/SqliteFailure.h"

#include <sqlite3.h>

namespace rp::engine {

WriteTransaction::WriteTransaction(sqlite3* db, QString file, QString table)
    : m_db(db), m_file(std::move(file)), m_table(std::move(table))
{
    execute("BEGIN IMMEDIATE");
    m_open = true;
}

WriteTransaction::~WriteTransaction()
{
    // A failed COMMIT (a reader kept the file busy) leaves the transaction open: it must not stay so.
    if (sqlite3_get_autocommit(m_db) == 0) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void WriteTransaction::commit()
{
    if (m_open) {
        execute("COMMIT");
        m_open = false;
    }
}

void WriteTransaction::execute(const char* sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw sqliteFailure(m_db, rc, m_file, m_table);
    }
}

} // namespace rp::engine
