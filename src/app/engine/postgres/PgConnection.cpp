#include "app/engine/postgres/PgConnection.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/LockWait.h"
#include "app/engine/postgres/LibPq.h"
#include "app/engine/postgres/PgConnectPlan.h"
#include "app/engine/postgres/PgFailure.h"
#include "app/engine/postgres/PgSessionZone.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <poll.h>

namespace rp::engine {

namespace {

using Clock = std::chrono::steady_clock;

// How long connecting may take before the load reports the server as unreachable: the busy time, also spent
// waiting for a free connection slot on a full server.
constexpr int ConnectTimeoutMs = BusyTimeoutMs;
// The pauses before asking a full server again: short at first, as other pop-ups' connections come and go in a
// moment, then longer, each drawn at random from its upper half. Every refused attempt costs the server a backend
// and an authentication, so many pop-ups waiting at once must neither ask in step nor flood a server that is
// already at its limit.
constexpr int ServerFullFirstPauseMs = 100;
constexpr int ServerFullLongestPauseMs = 800;
// A server whose queue of connection requests is full (many pop-ups starting at once) drops a new one without a
// word, and the system asks again only after 1, 3 and 7 seconds, most of the bound. A request not taken up within
// a moment is made afresh, the moment doubling each time and drawn at random from its upper half, so that the
// server is reached as soon as it has room. Once the server has taken the request, its answer is waited for
// until the bound.
constexpr int FirstRequestWaitMs = 300;
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

// A pause drawn at random from the upper half of `ms`, so that many pop-ups waiting together do not ask in step.
int randomUpperHalf(int ms)
{
    return ms / 2 + static_cast<int>(QRandomGenerator::global()->bounded(ms / 2 + 1));
}

// Waits until `until`, in short steps with the lock-wait hook between them.
void waitWithHook(Clock::time_point until)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            return;
        }
        ::poll(nullptr, 0, static_cast<int>(std::min<long long>(left, LockWaitStepMs)));
        runLockWaitHook();
    }
}

// The lock bound of one transaction: set_config(..., true) is SET LOCAL, gone with the transaction, so that a
// pooler's next client on the same backend is not bound by it and this one relies on no session setting.
PgStatement lockBound()
{
    return {QByteArrayLiteral("SELECT pg_catalog.set_config('lock_timeout', $1, true)"),
            {QByteArray::number(ServerLockTimeoutMs)}};
}

// SQLSTATE 53300 in libpq's verbose text: "too many clients already", "too many connections for role", and the
// slots kept for superusers, all of which free as other clients disconnect.
const QRegularExpression TooManyConnections(QStringLiteral(":  53300: "));

// The verbose text as the default one reads: without the SQLSTATE prefix and the server's source location.
QString withoutVerboseFields(QString verbose)
{
    static const QRegularExpression sqlState(QStringLiteral("(:  )[0-9A-Z]{5}: "));
    static const QRegularExpression location(QStringLiteral("(^|\\n)LOCATION:[^\\n]*"));
    verbose.replace(sqlState, QStringLiteral("\\1"));
    verbose.remove(location);
    return verbose.simplified();
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

PgResult PgResult::copy() const
{
    if (m_result == nullptr) {
        return PgResult();
    }
    return PgResult(libpq().PQcopyResult(m_result, PG_COPYRES_ATTRS | PG_COPYRES_TUPLES));
}

QByteArray PgResult::commandStatus() const
{
    return QByteArray(libpq().PQcmdStatus(m_result));
}

int PgResult::affectedRows() const
{
    return QByteArray(libpq().PQcmdTuples(m_result)).toInt();
}

PgConnection::PgConnection(QString connectionString) : m_connectionString(connectionString.toUtf8())
{
    // Made on the thread that opens the store, before any worker connects.
    useThePcsTimeZoneOnTheServer();
}

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
    // Reading the connection string loads libpq, which on a machine busy starting many pop-ups takes a good
    // part of a second: the bound is the server's, so it starts once the program is ready to ask.
    const std::vector<PgConnectAttempt> plan = pgConnectPlan(m_connectionString);
    // One bound for the whole connect, across hosts and across the waits for a free slot, as for a lock.
    const auto deadline = Clock::now() + std::chrono::milliseconds(ConnectTimeoutMs);
    QStringList refusals;
    // A server that was full and is then too slow to answer the last request before the bound is still a full
    // server to the operator: its refusal is what says why, not the silence that cut the last try short.
    QStringList earlierRefusals;
    int pauseMs = ServerFullFirstPauseMs;
    for (;;) {
        if (!refusals.isEmpty()) {
            earlierRefusals = refusals;
        }
        refusals.clear();
        bool serverFull = false;
        for (std::size_t index = 0; index < plan.size(); ++index) {
            const auto now = Clock::now();
            if (now >= deadline) {
                break;
            }
            // Each host left gets an equal share of what is left, so a silent one leaves time for the next.
            auto share = (deadline - now) / static_cast<int>(plan.size() - index);
            if (plan[index].longest) {
                share = std::min<Clock::duration>(*plan[index].longest, deadline - now);
            }
            switch (attempt(plan[index], now + share, refusals)) {
            case AttemptOutcome::Connected:
                return;
            case AttemptOutcome::ServerFull:
                serverFull = true;
                break;
            case AttemptOutcome::Refused:
            case AttemptOutcome::Silent:
                break;
            }
        }
        const auto askAgainAt = Clock::now() + std::chrono::milliseconds(randomUpperHalf(pauseMs));
        if (!serverFull || askAgainAt >= deadline) {
            break;
        }
        waitWithHook(askAgainAt);
        pauseMs = std::min(pauseMs * 2, ServerFullLongestPauseMs);
    }
    if (refusals.isEmpty()) {
        refusals = earlierRefusals;
    }
    if (refusals.isEmpty()) {
        throw serverConnectionFailed(
            QStringLiteral("nessuna risposta dal server entro %1 secondi.").arg(ConnectTimeoutMs / 1000));
    }
    throw serverConnectionFailed(refusals.join(QStringLiteral("; ")));
}

PgConnection::AttemptOutcome PgConnection::attempt(const PgConnectAttempt& plan, Clock::time_point deadline,
                                                   QStringList& refusals)
{
    // The settings' text first; then what the program relies on, which the settings must not change: text
    // travels as UTF-8.
    std::vector<const char*> keywords{"fallback_application_name"};
    std::vector<const char*> values{"reminder-popup"};
    for (const auto& [keyword, value] : plan.options) {
        keywords.push_back(keyword.constData());
        values.push_back(value.constData());
    }
    keywords.push_back("client_encoding");
    values.push_back("UTF8");
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    for (int requestWaitMs = FirstRequestWaitMs;; requestWaitMs *= 2) {
        m_conn = libpq().PQconnectStartParams(keywords.data(), values.data(), plan.expandDbname ? 1 : 0);
        if (m_conn == nullptr) {
            throw serverConnectionFailed(QStringLiteral("memoria insufficiente"));
        }
        // The server's refusal carries its SQLSTATE only in the verbose text: "too many connections" is told
        // apart by it, whatever language the server speaks.
        libpq().PQsetErrorVerbosity(m_conn, PQERRORS_VERBOSE);
        const auto requestDeadline =
            std::min(deadline, Clock::now() + std::chrono::milliseconds(randomUpperHalf(requestWaitMs)));
        const PollOutcome outcome = pollConnecting(requestDeadline, deadline);
        if (outcome == PollOutcome::Silent) {
            return AttemptOutcome::Silent;
        }
        if (outcome == PollOutcome::Answered) {
            break;
        }
    }
    if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
        const QString verbose = QString::fromUtf8(libpq().PQerrorMessage(m_conn));
        drop();
        refusals << withoutVerboseFields(verbose);
        return verbose.contains(TooManyConnections) ? AttemptOutcome::ServerFull : AttemptOutcome::Refused;
    }
    libpq().PQsetErrorVerbosity(m_conn, PQERRORS_DEFAULT);
    return AttemptOutcome::Connected;
}

PgConnection::PollOutcome PgConnection::pollConnecting(Clock::time_point requestDeadline, Clock::time_point deadline)
{
    // libpq leaves the timing of a non-blocking connection to the caller, so the bound is the program's own.
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (libpq().PQstatus(m_conn) != CONNECTION_BAD && status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        const bool requesting = libpq().PQstatus(m_conn) == CONNECTION_STARTED;
        if (!waitForSocket(libpq().PQsocket(m_conn), status == PGRES_POLLING_WRITING,
                           requesting ? requestDeadline : deadline)) {
            drop();
            return requesting && Clock::now() < deadline ? PollOutcome::NotTakenUp : PollOutcome::Silent;
        }
        status = libpq().PQconnectPoll(m_conn);
    }
    return PollOutcome::Answered;
}

void PgConnection::release()
{
    if (!m_inTransaction) {
        drop();
    }
}

// One round trip: every statement is sent, then one Sync. libpq's pipeline keeps the statements unnamed, and the
// server runs them as one implicit transaction, so a lock bound set by the first holds for the others.
std::vector<PgResult> PgConnection::runPipeline(const std::vector<PgStatement>& statements)
{
    const auto lost = [this] {
        const QString message = libpqMessage(m_conn);
        drop();
        return serverConnectionLost(message);
    };
    if (libpq().PQenterPipelineMode(m_conn) == 0) {
        throw lost();
    }
    for (const PgStatement& statement : statements) {
        std::vector<const char*> values;
        values.reserve(statement.parameters.size());
        for (const PgParameter& parameter : statement.parameters) {
            values.push_back(parameter ? parameter->constData() : nullptr);
        }
        // Parameter types are left to the server, which takes them from the columns they are compared with or
        // written to: a value always travels apart from the statement's text.
        if (libpq().PQsendQueryParams(m_conn, statement.sql.constData(), static_cast<int>(values.size()), nullptr,
                                      values.data(), nullptr, nullptr, 0) == 0) {
            throw lost();
        }
    }
    if (libpq().PQpipelineSync(m_conn) == 0) {
        throw lost();
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(BusyTimeoutMs);
    const auto nextResult = [&]() -> PGresult* {
        for (;;) {
            if (libpq().PQconsumeInput(m_conn) == 0) {
                throw lost();
            }
            if (libpq().PQisBusy(m_conn) == 0) {
                return libpq().PQgetResult(m_conn);
            }
            if (!waitForSocket(libpq().PQsocket(m_conn), false, deadline)) {
                // The statement may still be running there: the connection's state is unknown, so it is closed.
                drop();
                throw serverNotAnswering(BusyTimeoutMs / 1000);
            }
        }
    };
    std::vector<PgResult> results;
    for (std::size_t index = 0; index < statements.size(); ++index) {
        PgResult first;
        bool haveFirst = false;
        while (PGresult* next = nextResult()) {
            if (!haveFirst) {
                first = PgResult(next);
                haveFirst = true;
            } else {
                libpq().PQclear(next);
            }
        }
        results.push_back(std::move(first));
        if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
            return results;
        }
    }
    // The Sync's own result closes the round trip.
    const PgResult sync(nextResult());
    if (sync.raw() == nullptr || libpq().PQresultStatus(sync.raw()) != PGRES_PIPELINE_SYNC ||
        libpq().PQexitPipelineMode(m_conn) == 0) {
        throw lost();
    }
    return results;
}

std::vector<PgResult> PgConnection::checked(std::vector<PgResult> results, std::size_t expected,
                                            const QString& database, const QString& table)
{
    for (const PgResult& result : results) {
        if (const std::optional<RuntimeError> failure = statementFailure(result, m_conn, database, table)) {
            if (libpq().PQstatus(m_conn) != CONNECTION_OK) {
                drop();
            }
            throw *failure;
        }
    }
    // The connection broke before every statement had answered.
    if (results.size() < expected) {
        const QString message = libpqMessage(m_conn);
        drop();
        throw serverConnectionLost(message);
    }
    return results;
}

std::optional<std::vector<PgResult>> PgConnection::takeReadAhead(const std::vector<PgStatement>& statements)
{
    if (m_inTransaction) {
        return std::nullopt;
    }
    const auto kept = std::find_if(m_readAhead.begin(), m_readAhead.end(),
                                   [&](const auto& entry) { return entry.first == statements; });
    if (kept == m_readAhead.end()) {
        return std::nullopt;
    }
    std::vector<PgResult> results = std::move(kept->second);
    m_readAhead.erase(kept);
    return results;
}

void PgConnection::keepReadAhead(const std::vector<PgStatement>& statements, const std::vector<PgResult>& results)
{
    if (!m_recording || m_inTransaction) {
        return;
    }
    std::vector<PgResult> copies;
    for (const PgResult& result : results) {
        // Only rows are kept: the copy has no command status, so a write's result is not one to answer with.
        if (libpq().PQresultStatus(result.raw()) != PGRES_TUPLES_OK) {
            return;
        }
        copies.push_back(result.copy());
        if (copies.back().raw() == nullptr) {
            return;
        }
    }
    m_readAhead.emplace_back(statements, std::move(copies));
}

std::vector<PgResult> PgConnection::executeBatch(const std::vector<PgStatement>& statements, const QString& database,
                                                 const QString& table)
{
    if (std::optional<std::vector<PgResult>> readAhead = takeReadAhead(statements)) {
        return std::move(*readAhead);
    }
    ensureConnected();
    std::vector<PgStatement> batch;
    // Outside a transaction each round trip is one: the lock bound goes first, inside it. Within the action's
    // transaction it was set by BEGIN.
    const bool ownTransaction = libpq().PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    if (ownTransaction) {
        batch.push_back(lockBound());
    }
    batch.insert(batch.end(), statements.begin(), statements.end());
    std::vector<PgResult> results = checked(runPipeline(batch), batch.size(), database, table);
    if (ownTransaction) {
        results.erase(results.begin());
    }
    keepReadAhead(statements, results);
    return results;
}

void PgConnection::beginBlock(const QString& database)
{
    ensureConnected();
    const std::vector<PgStatement> batch{{QByteArrayLiteral("BEGIN"), {}}, lockBound()};
    checked(runPipeline(batch), batch.size(), database, {});
}

PgResult PgConnection::execute(const QString& sql, const std::vector<PgParameter>& parameters, const QString& database,
                               const QString& table)
{
    return execute(PgStatement{sql.toUtf8(), parameters}, database, table);
}

PgResult PgConnection::execute(const PgStatement& statement, const QString& database, const QString& table)
{
    std::vector<PgResult> results = executeBatch({statement}, database, table);
    return std::move(results.front());
}

QString PgConnection::quotedIdentifier(const QString& name)
{
    if (const auto known = m_quotedNames.find(name); known != m_quotedNames.end()) {
        return known->second;
    }
    ensureConnected();
    const QByteArray utf8 = name.toUtf8();
    char* quoted = libpq().PQescapeIdentifier(m_conn, utf8.constData(), static_cast<size_t>(utf8.size()));
    if (quoted == nullptr) {
        throw invalidName(name, libpqMessage(m_conn));
    }
    QString result = QString::fromUtf8(quoted);
    libpq().PQfreemem(quoted);
    m_quotedNames.emplace(name, result);
    return result;
}

void PgConnection::beginTransaction()
{
    if (m_inTransaction) {
        return;
    }
    beginBlock(QStringLiteral("server"));
    m_inTransaction = true;
    ++m_transactionNumber;
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
    m_committedTransactions.insert(m_transactionNumber);
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
