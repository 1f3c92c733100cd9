#include "app/engine/postgres/PgConnection.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/LockWait.h"
#include "app/engine/postgres/LibPq.h"
#include "app/engine/postgres/PgFailure.h"

#include <chrono>
#include <poll.h>

namespace rp::engine {

namespace {

using Clock = std::chrono::steady_clock;

// How long connecting may take before the load reports the server as unreachable.
constexpr int ConnectTimeoutMs = 5000;
// The server gives up a lock a little before the client gives up the server, so that a lock held by another
// session is reported as such and not as a silent server.
constexpr int ServerLockTimeoutMs = BusyTimeoutMs - 250;

// Waits until the socket is ready or the deadline passes, in short steps with the lock-wait hook between them.
// Returns false at the deadline.
bool waitForSocket(int socket, bool forWriting, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd entry{socket, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, LockWaitStepMs)));
        if (ready != 0) {
            // Ready, or an error on the socket that libpq itself will report.
            return true;
        }
        runLockWaitHook();
    }
}

} // namespace

PgResult::~PgResult()
{
    if (m_result != nullptr) {
        libpq().PQclear(m_result);
    }
}

PgResult& PgResult::operator=(PgResult&& other) noexcept
{
    if (this != &other) {
        if (m_result != nullptr) {
            libpq().PQclear(m_result);
        }
        m_result = other.m_result;
        other.m_result = nullptr;
    }
    return *this;
}

int PgResult::rows() const
{
    return m_result != nullptr ? libpq().PQntuples(m_result) : 0;
}

int PgResult::columns() const
{
    return m_result != nullptr ? libpq().PQnfields(m_result) : 0;
}

std::optional<QByteArray> PgResult::value(int row, int column) const
{
    if (libpq().PQgetisnull(m_result, row, column) != 0) {
        return std::nullopt;
    }
    return QByteArray(libpq().PQgetvalue(m_result, row, column), libpq().PQgetlength(m_result, row, column));
}

QByteArray PgResult::commandStatus() const
{
    return QByteArray(libpq().PQcmdStatus(m_result));
}

int PgResult::affectedRows() const
{
    return QByteArray(libpq().PQcmdTuples(m_result)).toInt();
}

PgConnection::PgConnection(QString connectionString) : m_connectionString(connectionString.toUtf8()) {}

PgConnection::~PgConnection()
{
    drop();
}

// Only a connection that was made has loaded libpq.
void PgConnection::drop()
{
    if (m_conn != nullptr) {
        libpq().PQfinish(m_conn);
        m_conn = nullptr;
    }
}

void PgConnection::ensureConnected()
{
    if (m_conn != nullptr && libpq().PQstatus(m_conn) == CONNECTION_OK) {
        return;
    }
    drop();
    // The server rolled back what the lost connection had written: a new connection must not commit the rest of
    // the action on its own.
    if (m_inTransaction) {
        throw serverConnectionLost(QStringLiteral("la transazione in corso è stata annullata dal server."));
    }
    connect();
}

void PgConnection::connect()
{
    // The settings' text first, expanded as a connection string; then what the program relies on, which the
    // settings must not change: text travels as UTF-8.
    const char* keywords[] = {"fallback_application_name", "dbname", "client_encoding", nullptr};
    const char* values[] = {"reminder-popup", m_connectionString.constData(), "UTF8", nullptr};
    m_conn = libpq().PQconnectStartParams(keywords, values, 1);
    if (m_conn == nullptr) {
        throw serverConnectionFailed(QStringLiteral("memoria insufficiente"));
    }
    // libpq leaves the timing of a non-blocking connection to the caller, so the bound is the program's own.
    const auto deadline = Clock::now() + std::chrono::milliseconds(ConnectTimeoutMs);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (libpq().PQstatus(m_conn) != CONNECTION_BAD && status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        if (!waitForSocket(libpq().PQsocket(m_conn), status == PGRES_POLLING_WRITING, deadline)) {
            drop();
            throw serverConnectionFailed(
                QStringLiteral("nessuna risposta dal server entro %1 secondi.").arg(ConnectTimeoutMs / 1000));
        }
        status = libpq().PQconnectPoll(m_conn);
    }
    if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = libpqMessage(m_conn);
        drop();
        throw serverConnectionFailed(message);
    }
    execute(QStringLiteral("SET lock_timeout = %1").arg(ServerLockTimeoutMs), {}, QStringLiteral("server"));
}

PgResult PgConnection::runStatement(const QByteArray& sql, const std::vector<PgParameter>& parameters)
{
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const PgParameter& parameter : parameters) {
        values.push_back(parameter ? parameter->constData() : nullptr);
    }
    // Parameter types are left to the server, which takes them from the columns they are compared with or
    // written to: a value always travels apart from the statement's text.
    if (libpq().PQsendQueryParams(m_conn, sql.constData(), static_cast<int>(values.size()), nullptr, values.data(),
                                  nullptr, nullptr, 0) == 0) {
        const QString message = libpqMessage(m_conn);
        drop();
        throw serverConnectionLost(message);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(BusyTimeoutMs);
    for (;;) {
        if (libpq().PQconsumeInput(m_conn) == 0) {
            const QString message = libpqMessage(m_conn);
            drop();
            throw serverConnectionLost(message);
        }
        if (libpq().PQisBusy(m_conn) == 0) {
            break;
        }
        if (!waitForSocket(libpq().PQsocket(m_conn), false, deadline)) {
            // The statement may still be running there: the connection's state is unknown, so it is closed.
            drop();
            throw serverNotAnswering(BusyTimeoutMs / 1000);
        }
    }
    PgResult first;
    bool haveFirst = false;
    while (PGresult* next = libpq().PQgetResult(m_conn)) {
        if (!haveFirst) {
            first = PgResult(next);
            haveFirst = true;
        } else {
            libpq().PQclear(next);
        }
    }
    return first;
}

PgResult PgConnection::execute(const QString& sql, const std::vector<PgParameter>& parameters, const QString& database,
                               const QString& table)
{
    ensureConnected();
    PgResult result = runStatement(sql.toUtf8(), parameters);
    if (const std::optional<RuntimeError> failure = statementFailure(result, m_conn, database, table)) {
        if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
            drop();
        }
        throw *failure;
    }
    return result;
}

QString PgConnection::quotedIdentifier(const QString& name)
{
    ensureConnected();
    const QByteArray utf8 = name.toUtf8();
    char* quoted = libpq().PQescapeIdentifier(m_conn, utf8.constData(), static_cast<size_t>(utf8.size()));
    if (quoted == nullptr) {
        throw invalidName(name, libpqMessage(m_conn));
    }
    QString result = QString::fromUtf8(quoted);
    libpq().PQfreemem(quoted);
    return result;
}

void PgConnection::beginTransaction()
{
    if (m_inTransaction) {
        return;
    }
    execute(QStringLiteral("BEGIN"), {}, QStringLiteral("server"));
    m_inTransaction = true;
}

void PgConnection::commitTransaction()
{
    if (!m_inTransaction) {
        return;
    }
    m_inTransaction = false;
    // A lost connection took the transaction with it: a new one must not report its empty COMMIT as success.
    if (!isOpen()) {
        throw serverConnectionLost(QStringLiteral("la transazione in corso è stata annullata dal server."));
    }
    const PgResult result = execute(QStringLiteral("COMMIT"), {}, QStringLiteral("server"));
    // The server answers COMMIT on a transaction it had to abort with ROLLBACK, and no error.
    if (result.commandStatus() != "COMMIT") {
        throw serverFailure(QStringLiteral("server"), QStringLiteral("la transazione è stata annullata dal server."));
    }
}

void PgConnection::rollbackTransaction()
{
    if (!m_inTransaction) {
        return;
    }
    m_inTransaction = false;
    if (m_conn != nullptr && libpq().PQstatus(m_conn) == CONNECTION_OK) {
        execute(QStringLiteral("ROLLBACK"), {}, QStringLiteral("server"));
    }
}

} // namespace rp::engine
