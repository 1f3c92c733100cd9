#pragma once

#include "app/engine/Database.h"
#include "app/engine/LockWait.h"
#include "app/engine/Workspace.h"

#include <QString>
#include <chrono>
#include <memory>

struct sqlite3;

namespace rp::engine {

// One open SQLite database file, shared and read-write.
class SqliteDatabase final : public Database
{
public:
    // Opens an existing file read-write, never creating one, with a bounded busy wait on locks.
    // Raises RuntimeError FileNotFound (missing file), NotADatabase (a file that is not SQLite), ...
    static std::shared_ptr<SqliteDatabase> open(const QString& path);
    ~SqliteDatabase() override;

    std::unique_ptr<TableCursor> openTable(const QString& table) override;
    // In SqliteDueRows.cpp.
    QStringList indexColumns(const QString& table, const QString& indexName) override;
    MomentRows rowsByMoment(const QString& table, const QString& column, const Value& limit,
                            const QStringList& fields) override;
    const QString& name() const override { return m_path; }

    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }

    // How long a statement waits for another process's lock before failing with DatabaseLocked.
    void setBusyTimeout(int milliseconds);

private:
    SqliteDatabase(sqlite3* db, QString path);
    static int onBusy(void* self, int attempt);

    sqlite3* m_db;
    QString m_path;
    std::chrono::milliseconds m_busyTimeout{BusyTimeoutMs};
    std::chrono::steady_clock::time_point m_waitStart;
};

// The workspace of the embedded store: every database is a file of its own.
class SqliteWorkspace final : public Workspace
{
public:
    std::shared_ptr<Database> openDatabase(const QString& path) override;
};

} // namespace rp::engine
