#pragma once

#include "app/engine/Database.h"
#include "app/engine/Workspace.h"

#include <memory>

namespace rp::engine {

class PgConnection;

// One operator's database on the office server: a schema named as the file's folder and name would be,
// "<operator>/DatiQZ", on the connection the three databases share.
class PgDatabase final : public Database
{
public:
    PgDatabase(std::shared_ptr<PgConnection> connection, QString schema);

    std::unique_ptr<TableCursor> openTable(const QString& table) override;
    // In PgDueRows.cpp.
    std::vector<std::vector<Value>> rowsUpTo(const QString& table, const QString& column, const Value& limit,
                                             const QStringList& fields) override;
    const QString& name() const override { return m_schema; }

    PgConnection& connection() const { return *m_connection; }

private:
    std::shared_ptr<PgConnection> m_connection;
    QString m_schema;
};

// The workspace of the office server: one connection for the whole process, and the transaction that makes the
// two writes of an action one.
class PgWorkspace final : public Workspace
{
public:
    explicit PgWorkspace(const QString& connectionString);

    // Raises InvalidName for a name the server cannot hold, FileNotFound for a schema that does not exist,
    // ServerConnectionFailed when the server cannot be reached.
    std::shared_ptr<Database> openDatabase(const QString& schema) override;

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

private:
    std::shared_ptr<PgConnection> m_connection;
};

} // namespace rp::engine
