#include "app/engine/DefaultWorkspace.h"

#include "app/engine/postgres/PgDatabase.h"
#include "app/engine/sqlite/SqliteDatabase.h"

#include <map>
#include <mutex>

namespace rp::engine {

std::shared_ptr<Workspace> defaultWorkspace(const QString& serverConnection)
{
    static std::mutex guard;
    static std::map<QString, std::weak_ptr<Workspace>> current;
    const std::lock_guard<std::mutex> lock(guard);
    std::shared_ptr<Workspace> workspace = current[serverConnection].lock();
    if (!workspace) {
        if (serverConnection.isEmpty()) {
            workspace = std::make_shared<SqliteWorkspace>();
        } else {
            workspace = std::make_shared<PgWorkspace>(serverConnection);
        }
        current[serverConnection] = workspace;
    }
    return workspace;
}

} // namespace rp::engine
