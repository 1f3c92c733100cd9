#pragma once

#include "app/engine/Database.h"
#include "app/engine/Workspace.h"
#include "common/RuntimeError.h"

#include <future>
#include <memory>
#include <optional>

namespace rp::engine {

class PgConnection;
struct PgCatalog;
struct PgTable;

// One operator's database on the office server: a schema named as the file's folder and name would be,
// "<operator>/DatiQZ", on the connection the three databases share.
class PgDatabase final : public Database
{
public:
    PgDatabase(std::shared_ptr<PgConnection> connection, QString schema,
               std::shared_ptr<const PgCatalog> catalog = nullptr);

    std::unique_ptr<TableCursor> openTable(const QString& table) override;
    // In PgDueRows.cpp.
    QStringList indexColumns(const QString& table, const QString& indexName) override;
    MomentRows rowsByMoment(const QString& table, const QString& column, const Value& limit,
                            const QStringList& fields) override;
    const QString& name() const override { return m_schema; }

    PgConnection& connection() const { return *m_connection; }
    // The table as a prepared load read it from the catalog; nothing when it was not read (or is not there).
    const PgTable* preparedTable(const QString& table) const;

private:
    std::shared_ptr<PgConnection> m_connection;
    QString m_schema;
    std::shared_ptr<const PgCatalog> m_catalog;
};

// The workspace of the office server: one connection for the whole process while it is used, and the transaction
// that makes the two writes of an action one.
class PgWorkspace final : public Workspace
{
public:
    explicit PgWorkspace(const QString& connectionString);
    // Waits for a preparation still running.
    ~PgWorkspace() override;

    // Raises InvalidName for a name the server cannot hold, FileNotFound for a schema that does not exist,
    // ServerConnectionFailed when the server cannot be reached.
    std::shared_ptr<Database> openDatabase(const QString& schema) override;

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;
    void releaseConnection() override;
    void prepare(const std::vector<LoadRead>& reads) override;
    void finishPreparing() override;

private:
    // On the preparing thread, once the catalog is read: the rows the load will seek, each read as the load
    // reads it, so that the load's own statements find their answers. Stops at the first failure, which the
    // load meets again at its own step.
    void readAhead(const std::vector<LoadRead>& reads, const std::shared_ptr<const PgCatalog>& catalog);

    // Takes the preparation's result; raises its failure to connect.
    void awaitPreparation();

    std::shared_ptr<PgConnection> m_connection;
    std::future<std::optional<RuntimeError>> m_preparation;
    std::shared_ptr<const PgCatalog> m_catalog;
};

} // namespace rp::engine
