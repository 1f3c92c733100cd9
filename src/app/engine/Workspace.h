#pragma once

#include "common/Value.h"

#include <QString>
#include <memory>
#include <vector>

namespace rp::engine {

class Database;

// One read the load will make first, named before the window system starts: a database alone (no table), a table's
// catalog (no index), or the row that a seek "=" with the key through the index finds.
struct LoadRead
{
    QString database;
    QString table = {};
    QString index = {};
    std::vector<Value> key = {};
};

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

    // What the load will read first. A server store reads it on a thread of its own while the window system
    // starts (the catalog of every table in one round trip, then the rows) and gives its connection back at once:
    // however long the window system takes, no server slot waits for it. The load's own statements are answered
    // from what was read, each once; anything else goes to the server. A failure is raised by the load's step
    // that meets it, with the same number and text, as if nothing had been read ahead. The files need nothing,
    // and this does nothing there.
    virtual void prepare(const std::vector<LoadRead>& reads) { (void)reads; }
    // Waits until what prepare started is over, success or failure; the load meets a failure as before.
    virtual void finishPreparing() {}

protected:
    Workspace() = default;
};

} // namespace rp::engine
