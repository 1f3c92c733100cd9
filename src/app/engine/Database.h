#pragma once

#include <QString>
#include <memory>

struct sqlite3;

namespace rp::engine {

// One open SQLite database file, shared and read-write. Held by std::shared_ptr: releasing the last
// reference (the connection itself and every cursor on it) closes the file.
class Database
{
public:
    // Opens an existing file read-write, never creating one, with a bounded busy wait on locks.
    // Raises RuntimeError FileNotFound (missing file), NotADatabase (a file that is not SQLite), ...
    static std::shared_ptr<Database> open(const QString& path);
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return m_db; }
    const QString& path() const { return m_path; }

    static constexpr int BusyTimeoutMs = 5000;
    // How long a statement waits for another process's lock before failing with DatabaseLocked.
    void setBusyTimeout(int milliseconds);

private:
    Database(sqlite3* db, QString path);
    sqlite3* m_db;
    QString m_path;
};

// The engine's default workspace: one per process, created on first use, serving all three databases.
class Workspace
{
public:
    static std::shared_ptr<Workspace> defaultWorkspace();
    std::shared_ptr<Database> openDatabase(const QString& path);
};

} // namespace rp::engine
