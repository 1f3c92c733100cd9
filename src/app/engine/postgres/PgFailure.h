#pragma once

#include "common/RuntimeError.h"

#include <QString>
#include <optional>

struct pg_conn;

namespace rp::engine {

class PgResult;

// libpq's latest message on the connection, on one line.
QString libpqMessage(pg_conn* conn);

// The engine error for a statement that failed, by the server's SQLSTATE; nothing when it succeeded.
std::optional<RuntimeError> statementFailure(const PgResult& result, pg_conn* conn, const QString& database,
                                             const QString& table);

} // namespace rp::engine
