#include "app/engine/sqlite/SqliteDatabase.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/sqlite/SqliteFailure.h"
#include "app/engine/sqlite/SqliteTableCursor.h"
#include "app/engine/sqlite/Statement.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>
#include <thread>

namespace rp::engine {

namespace {

// Reading the schema is the first access to the file's content: a file that is not SQLite, or one locked
// beyond the busy wait, fails here, so the opening itself reports it.
void probeSchema(sqlite3* db, const QString& path)
{
    Statement probe(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), path);
    const ResetOnExit reset(probe);
    probe.step();
}

} // namespace

SqliteDatabase::SqliteDatabase(sqlite3* db, QString path) : m_db(db), m_path(std::move(path))
{
    sqlite3_busy_handler(m_db, &SqliteDatabase::onBusy, this);
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::chrono::milliseconds(milliseconds);
}

// SQLite's own busy timeout sleeps in one piece per attempt and holds the calling thread for the whole wait,
// which freezes a window for up to the full bound. Short steps with the hook between them keep the same bound.
int SqliteDatabase::onBusy(void* self, int attempt)
{
    auto* db = static_cast<SqliteDatabase*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) {
        db->m_waitStart = now;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - db->m_waitStart);
    if (waited >= db->m_busyTimeout) {
        return 0;
    }
    runLockWaitHook();
    const auto left = db->m_busyTimeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - db->m_waitStart);
    if (left <= std::chrono::milliseconds::zero()) {
        return 0;
    }
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(LockWaitStepMs)));
    return 1;
}

std::shared_ptr<SqliteDatabase> SqliteDatabase::open(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        throw fileNotFound(path);
    }
    if (info.isDir()) {
        throw engineError(
            FileNotAccessible,
            QStringLiteral("Impossibile aprire '%1': è una cartella, non un file di database.").arg(path));
    }

    // Without SQLITE_OPEN_CREATE a missing file is an error instead of a new empty database, and without
    // SQLITE_OPEN_URI a '#', '?' or '%' in the name stays part of the file name. The absolute path keeps a
    // relative name that starts with "file:" from being read as a URI where URIs are enabled globally.
    const QByteArray fileName = QFile::encodeName(info.absoluteFilePath());
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(fileName.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const bool vanished = !QFileInfo::exists(path);
        const RuntimeError error = vanished ? fileNotFound(path) : sqliteFailure(handle, rc, path);
        sqlite3_close_v2(handle);
        throw error;
    }

    std::shared_ptr<SqliteDatabase> db(new SqliteDatabase(handle, path));
    db->setBusyTimeout(BusyTimeoutMs);
    probeSchema(handle, path);
    return db;
}

std::unique_ptr<TableCursor> SqliteDatabase::openTable(const QString& table)
{
    return openSqliteTableCursor(std::static_pointer_cast<SqliteDatabase>(shared_from_this()), table);
}

std::shared_ptr<Database> SqliteWorkspace::openDatabase(const QString& path)
{
    return SqliteDatabase::open(path);
}

} // namespace rp::engine
