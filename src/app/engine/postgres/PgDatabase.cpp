#include "app/engine/postgres/PgDatabase.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"
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

std::shared_ptr<Database> PgWorkspace::openDatabase(const QString& schema)
{
    if (schema.toUtf8().size() > LongestServerName) {
        throw invalidName(schema, QStringLiteral("sul server un nome può avere al massimo %1 byte; abbreviare il nome "
                                                 "dell'operatore nelle impostazioni.")
                                      .arg(LongestServerName));
    }
    const PgResult found = m_connection->execute(
        QStringLiteral("SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1"), {schema.toUtf8()}, schema);
    if (found.rows() == 0) {
        throw schemaNotFound(schema);
    }
    return std::make_shared<PgDatabase>(m_connection, schema);
}

void PgWorkspace::beginTransaction()
{
    m_connection->beginTransaction();
}

void PgWorkspace::commitTransaction()
{
    m_connection->commitTransaction();
}

void PgWorkspace::rollbackTransaction()
{
    m_connection->rollbackTransaction();
}

void PgWorkspace::releaseConnection()
{
    m_connection->release();
}

} // namespace rp::engine
