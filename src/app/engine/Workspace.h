#pragma once

#include <QString>
#include <memory>

namespace rp::engine {

class Database;

// The engine's default workspace: one per process and store, created on first use, serving all three databases.
// The store is the only place that knows which engine runs; everything above it works with Database and
// TableCursor alone.
class Workspace
{
public:
    virtual ~Workspace() = default;

    // A blank server connection is the embedded store of database files; any other text is a libpq connection
    // string for the office server.
    static std::shared_ptr<Workspace> defaultWorkspace(const QString& serverConnection = {});

    // A file path for the files, "<operator>/<database>" (a schema) on the server. Never creates anything.
    virtual std::shared_ptr<Database> openDatabase(const QString& name) = 0;

    // Groups the writes that follow into one unit where the store can: on the server both writes of an action
    // are committed together or not at all. Separate database files cannot share a transaction, so there every
    // write commits on its own, in the order it is made, and these do nothing.
    virtual void beginTransaction() {}
    virtual void commitTransaction() {}
    virtual void rollbackTransaction() {}

protected:
    Workspace() = default;
};

} // namespace rp::engine
