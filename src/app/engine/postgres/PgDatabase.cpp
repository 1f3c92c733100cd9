#include "app/engine/postgres/PgDatabase.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/LockWait.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgSchema.h"
#include "app/engine/postgres/PgTableCursor.h"

namespace rp::engine {

namespace {

// The server cuts longer names silently (NAMEDATALEN - 1 bytes), which could name another operator's schema.
constexpr int LongestServerName = 63;

} // namespace

PgDatabase::PgDatabase(std::shared_ptr<PgConnection> connection, QString schema)
    : m_connection(std::move(connection)), m_schema(std::move(schema))
{
}

std::unique_ptr<TableCursor> PgDatabase::openTable(const QString& table)
{
    return openPgTableCursor(std::static_pointer_cast<PgDatabase>(shared_from_this()), table);
}

PgWorkspace::PgWorkspace(const QString& connectionString)
    : m_connection(std::make_shared<PgConnection>(connectionString))
{
}

PgWorkspace::~PgWorkspace() = default;

void PgWorkspace::prepare(const std::vector<std::pair<QString, QString>>& databaseTables)
{
    if (m_preparation.valid()) {
        return;
    }
    std::vector<PgStatement> catalog;
    for (const auto& [schema, table] : databaseTables) {
        catalog.push_back(table.isEmpty() ? pgSchemaStatement(schema) : pgColumnsStatement(schema, table));
    }
    // Until the result is taken (awaitPreparation) the connection belongs to the worker alone.
    m_preparation = std::async(
        std::launch::async, [connection = m_connection, catalog = std::move(catalog)]() -> std::optional<RuntimeError> {
            const LockWaitHookOff noWindowHere;
            try {
                connection->ensureConnected();
            } catch (const RuntimeError& error) {
                return error;
            }
            try {
                connection->prefetch(catalog);
            } catch (const RuntimeError&) {
                // Left to the load's own reads, which meet the failure at their step.
            }
            return std::nullopt;
        });
}

void PgWorkspace::awaitPreparation()
{
    if (!m_preparation.valid()) {
        return;
    }
    while (m_preparation.wait_for(std::chrono::milliseconds(LockWaitStepMs)) != std::future_status::ready) {
        runLockWaitHook();
    }
    // The load's first step is where connecting failed before anything was prepared: it fails there still.
    if (const std::optional<RuntimeError> failure = m_preparation.get()) {
        throw *failure;
    }
}

std::shared_ptr<Database> PgWorkspace::openDatabase(const QString& schema)
{
    if (schema.toUtf8().size() > LongestServerName) {
        throw invalidName(schema, QStringLiteral("sul server un nome può avere al massimo %1 byte; abbreviare il nome "
                                                 "dell'operatore nelle impostazioni.")
                                      .arg(LongestServerName));
    }
    awaitPreparation();
    const PgResult found = m_connection->execute(pgSchemaStatement(schema), schema);
    if (found.rows() == 0) {
        throw schemaNotFound(schema);
    }
    return std::make_shared<PgDatabase>(m_connection, schema);
}

void PgWorkspace::beginTransaction()
{
    awaitPreparation();
    m_connection->beginTransaction();
}

void PgWorkspace::commitTransaction()
{
    awaitPreparation();
    m_connection->commitTransaction();
}

void PgWorkspace::rollbackTransaction()
{
    awaitPreparation();
    m_connection->rollbackTransaction();
}

void PgWorkspace::releaseConnection()
{
    awaitPreparation();
    m_connection->release();
}

} // namespace rp::engine
