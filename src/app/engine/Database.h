#pragma once

#include <QString>
#include <chrono>
#include <functional>
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

    // The wait for a lock goes in steps of this length; the hook runs before every step.
    static constexpr int LockWaitStepMs = 20;
    // Called on the waiting thread between the steps of every lock wait of every connection, so that an
    // application can keep its window painted while another process holds the file. The engine knows nothing
    // of windows: whoever owns the event loop installs the hook. An empty function removes it.
    using LockWaitHook = std::function<void()>;
    static void setLockWaitHook(LockWaitHook hook);

private:
    Database(sqlite3* db, QString path);
    static int onBusy(void* self, int attempt);

    sqlite3* m_db;
    QString m_path;
    std::chrono::milliseconds m_busyTimeout{BusyTimeoutMs};
    std::chrono::steady_clock::time_point m_waitStart;
};

// The engine's default workspace: one per process, created on first use, serving all three databases.
class Workspace
{
public:
    static std::shared_ptr<Workspace> defaultWorkspace();
    std::shared_ptr<Database> openDatabase(const QString& path);
};

} // namespace rp::engine
