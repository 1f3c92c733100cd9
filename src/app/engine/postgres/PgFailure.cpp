#include "app/engine/postgres/PgFailure.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/LibPq.h"
#include "app/engine/postgres/PgConnection.h"

namespace rp::engine {

QString libpqMessage(pg_conn* conn)
{
    return QString::fromUtf8(libpq().PQerrorMessage(conn)).simplified();
}

std::optional<RuntimeError> statementFailure(const PgResult& result, pg_conn* conn, const QString& database,
                                             const QString& table)
{
    PGresult* raw = result.raw();
    if (raw == nullptr) {
        return serverConnectionLost(libpqMessage(conn));
    }
    const ExecStatusType status = libpq().PQresultStatus(raw);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return std::nullopt;
    }
    const char* field = libpq().PQresultErrorField(raw, PG_DIAG_SQLSTATE);
    const QString sqlState = QString::fromLatin1(field != nullptr ? field : "");
    const char* primary = libpq().PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY);
    const QString message = primary != nullptr ? QString::fromUtf8(primary) : libpqMessage(conn);
    const QString detail = sqlState.isEmpty() ? message : QStringLiteral("%1, SQLSTATE %2").arg(message, sqlState);
    const QString where = table.isEmpty() ? database : table;

    // Another session's lock not had within the busy time, or a deadlock the server broke.
    if (sqlState == u"55P03" || sqlState == u"40P01" || sqlState == u"40001") {
        return databaseLocked(database, detail);
    }
    if (sqlState == u"42501") {
        return permissionDenied(database, detail);
    }
    if (sqlState.startsWith(u"22") || sqlState.startsWith(u"23")) {
        return valueNotAccepted(where, detail);
    }
    // The connection broke, or the server is shutting down: the statement's outcome is the server's rollback.
    if (sqlState.startsWith(u"08") || sqlState.startsWith(u"57P") || libpq().PQstatus(conn) != CONNECTION_OK) {
        return serverConnectionLost(detail);
    }
    return serverFailure(database, detail);
}

} // namespace rp::engine
