#include "app/engine/postgres/PgDatabase.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/LockWait.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgSchema.h"
#include "app/engine/postgres/PgTableCursor.h"

#include <algorithm>

namespace rp::engine {

namespace {

// The server cuts longer names silently (NAMEDATALEN - 1 bytes), which could name another operator's schema.
constexpr int LongestServerName = 63;

} // namespace

PgDatabase::PgDatabase(std::shared_ptr<PgConnection> connection, QString schema,
                       std::shared_ptr<const PgCatalog> catalog)
    : m_connection(std::move(connection)), m_schema(std::move(schema)), m_catalog(std::move(catalog))
{
}

const PgTable* PgDatabase::preparedTable(const QString& table) const
{
    if (!m_catalog) {
        return nullptr;
    }
    const auto found = m_catalog->tables.find({m_schema, table});
    return found != m_catalog->tables.end() ? &found->second : nullptr;
}

std::unique_ptr<TableCursor> PgDatabase::openTable(const QString& table)
{
    return openPgTableCursor(std::static_pointer_cast<PgDatabase>(shared_from_this()), table);
}

PgWorkspace::PgWorkspace(const QString& connectionString)
    : m_connection(std::make_shared<PgConnection>(connectionString))
{
}

PgWorkspace::~PgWorkspace()
{
    // The worker writes this workspace's members: it ends before any of them goes.
    finishPreparing();
}

void PgWorkspace::prepare(const std::vector<LoadRead>& reads)
{
    if (m_preparation.valid()) {
        return;
    }
    auto catalog = std::make_shared<PgCatalog>();
    std::vector<std::pair<QString, QString>> tables;
    for (const LoadRead& read : reads) {
        catalog->schemas.insert(read.database);
        const std::pair<QString, QString> table{read.database, read.table};
        if (!read.table.isEmpty() && std::find(tables.begin(), tables.end(), table) == tables.end()) {
            tables.push_back(table);
        }
    }
    // Until the result is taken (awaitPreparation) the connection and the catalog belong to the worker alone.
    m_preparation = std::async(std::launch::async, [this, catalog, tables, reads]() -> std::optional<RuntimeError> {
        const LockWaitHookOff noWindowHere;
        try {
            m_connection->ensureConnected();
        } catch (const RuntimeError& error) {
            return error;
        }
        try {
            const std::vector<PgResult> results = m_connection->executeBatch(
                {pgSchemasStatement(catalog->schemas), pgColumnsStatement(tables)}, QStringLiteral("server"));
            for (int row = 0; row < results[0].rows(); ++row) {
                catalog->existingSchemas.insert(QString::fromUtf8(results[0].value(row, 0).value_or(QByteArray())));
            }
            catalog->tables = pgTablesFrom(results[1]);
            m_catalog = catalog;
            readAhead(reads, catalog);
        } catch (const RuntimeError&) {
            // Left to the load's own reads, which meet the failure at their step.
        }
        m_connection->release();
        return std::nullopt;
    });
}

void PgWorkspace::readAhead(const std::vector<LoadRead>& reads, const std::shared_ptr<const PgCatalog>& catalog)
{
    struct Recording
    {
        explicit Recording(PgConnection& connection) : m_connection(connection) { connection.recordReadAhead(true); }
        ~Recording() { m_connection.recordReadAhead(false); }
        Recording(const Recording&) = delete;
        Recording& operator=(const Recording&) = delete;
        PgConnection& m_connection;
    };
    const Recording recording(*m_connection);
    for (const LoadRead& read : reads) {
        if (read.index.isEmpty() || catalog->existingSchemas.count(read.database) == 0) {
            continue;
        }
        const auto database = std::make_shared<PgDatabase>(m_connection, read.database, catalog);
        const std::unique_ptr<TableCursor> cursor = database->openTable(read.table);
        cursor->setIndex(read.index);
        cursor->seek(QStringLiteral("="), read.key);
    }
}

void PgWorkspace::finishPreparing()
{
    if (m_preparation.valid()) {
        m_preparation.wait();
    }
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
    const bool prepared = m_catalog && m_catalog->schemas.count(schema) != 0;
    const bool exists = prepared ? m_catalog->existingSchemas.count(schema) != 0
                                 : m_connection->execute(pgSchemasStatement({schema}), schema).rows() != 0;
    if (!exists) {
        throw schemaNotFound(schema);
    }
    return std::make_shared<PgDatabase>(m_connection, schema, m_catalog);
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
    // The catalog may change while the window waits; a later load reads it again.
    m_catalog.reset();
    m_connection->forgetReadAhead();
    m_connection->release();
}

} // namespace rp::engine
