#include "app/engine/Database.h"

#include "app/engine/SqliteFailure.h"
#include "app/engine/Statement.h"

#include <QFile>
#include <QFileInfo>
#include <mutex>
#include <sqlite3.h>

namespace rp::engine {

namespace {

RuntimeError fileNotFound(const QString& path)
{
    return engineError(FileNotFound, QStringLiteral("Impossibile trovare il file '%1'.").arg(path));
}

// Reading the schema is the first access to the file's content: a file that is not SQLite, or one locked
// beyond the busy wait, fails here, so the opening itself reports it.
void probeSchema(sqlite3* db, const QString& path)
{
    Statement probe(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), path);
    const ResetOnExit reset(probe);
    probe.step();
}

} // namespace

Database::Database(sqlite3* db, QString path) : m_db(db), m_path(std::move(path)) {}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

void Database::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

std::shared_ptr<Database> Database::open(const QString& path)
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

    std::shared_ptr<Database> db(new Database(handle, path));
    db->setBusyTimeout(BusyTimeoutMs);
    probeSchema(handle, path);
    return db;
}

std::shared_ptr<Workspace> Workspace::defaultWorkspace()
{
    static std::mutex guard;
    static std::weak_ptr<Workspace> current;
    const std::lock_guard<std::mutex> lock(guard);
    std::shared_ptr<Workspace> workspace = current.lock();
    if (!workspace) {
        workspace = std::make_shared<Workspace>();
        current = workspace;
    }
    return workspace;
}

std::shared_ptr<Database> Workspace::openDatabase(const QString& path)
{
    return Database::open(path);
}

} // namespace rp::engine
