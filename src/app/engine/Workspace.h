#pragma once

#include <QString>
#include <memory>

namespace rp::engine {

class Database;

// A store's workspace: one per process and store (see defaultWorkspace), serving all three databases. Everything
// above the engines works with Workspace, Database and TableCursor alone.
class Workspace
{
public:
    virtual ~Workspace() = default;

    // A file path for the files, "<operator>/<database>" (a schema) on the server. Never creates anything.
    virtual std::shared_ptr<Database> openDatabase(const QString& name) = 0;

    // Groups the writes that follow into one unit where the store can: on the server both writes of an action
    // are committed together or not at all. Separate database files cannot share a transaction, so there every
    // write commits on its own, in the order it is made, and these do nothing.
    virtual void beginTransaction() {}
    virtual void commitTransaction() {}
    virtual void rollbackTransaction() {}

    // The load, or an action, is over and the window may now wait for hours: a server store gives its connection
    // back (a slot of the server's, and what firewalls and idle timeouts cut). The cursors keep the rows they
    // read; the next statement (an action's re-reading of its rows under lock) connects again. An action's open
    // transaction keeps it. The files hold nothing worth giving back, and this does nothing there.
    virtual void releaseConnection() {}

protected:
    Workspace() = default;
};

} // namespace rp::engine
