#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

namespace rp::engine {

struct PgConnectAttempt;

// A finished statement's result, freed with its owner. Every column arrives as text.
class PgResult
{
public:
    explicit PgResult(pg_result* result = nullptr) : m_result(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int rows() const;
    int columns() const;
    std::optional<QByteArray> value(int row, int column) const;
    // The number of rows an UPDATE or DELETE touched.
    int affectedRows() const;
    // The command tag: "COMMIT", or "ROLLBACK" for a COMMIT the server turned down.
    QByteArray commandStatus() const;
    pg_result* raw() const { return m_result; }
    // A copy of the rows and columns, kept apart from this result; empty when memory ran out.
    PgResult copy() const;

private:
    pg_result* m_result;
};

// A bound parameter: the text form of a value, or Null.
using PgParameter = std::optional<QByteArray>;

struct PgStatement
{
    QByteArray sql;
    std::vector<PgParameter> parameters;

    bool operator==(const PgStatement&) const = default;
};

// The one connection to the office server that the three databases of a process share, so that the two writes of
// an action can be one transaction. It is opened on first use, given back when the load or an action is over
// (release), and opened again by the next statement: a window waiting for its operator holds no server slot.
//
// Every wait (connecting, and every statement) goes in short steps with the engine's lock-wait hook between them,
// so the window stays painted, and is bounded: a server that does not answer within the busy time is given up,
// and a server with no free connection slot is asked again until the same bound.
//
// Nothing relies on the server session outliving a transaction, so that a transaction pooler (PgBouncer in
// transaction mode) may hand each transaction to another backend: the lock bound is set inside every transaction,
// statements are unnamed, and no session setting is made.
class PgConnection
{
public:
    explicit PgConnection(QString connectionString);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Raises ServerConnectionFailed with the server's or libpq's own message.
    void ensureConnected();

    // Runs one statement with its parameters ($1, $2, ...). A failure raises the engine error that fits the
    // server's SQLSTATE; `database` and `table` name where in the description.
    PgResult execute(const QString& sql, const std::vector<PgParameter>& parameters, const QString& database,
                     const QString& table = {});
    PgResult execute(const PgStatement& statement, const QString& database, const QString& table = {});
    // Several statements in one round trip (one implicit transaction, unless one of them is inside the action's):
    // the first that fails raises as execute does, and the rest are not run.
    std::vector<PgResult> executeBatch(const std::vector<PgStatement>& statements, const QString& database,
                                       const QString& table = {});

    // BEGIN, with the lock bound for the transaction it opens.
    void beginBlock(const QString& database);

    // An identifier quoted by libpq, whatever characters it holds. Each name is quoted once per connection
    // object: the text travels as UTF-8 on every connection it makes, so the quoting never changes.
    QString quotedIdentifier(const QString& name);

    // The load's reads run ahead on the thread that prepares the store. While recording, the result of every
    // read (a batch that returns rows, outside an action) is also kept; the same batch with the same parameters
    // is later answered once from it, without a connection. An action's transaction is never answered from it.
    void recordReadAhead(bool recording) { m_recording = recording; }
    // The load is over: what was read ahead is no longer what the next statement must see.
    void forgetReadAhead() { m_readAhead.clear(); }

    // The transaction of a whole action: inside it, each write is a savepoint of its own.
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_inTransaction; }
    // The action's transactions are numbered, so that a cursor can tell whether a write it made inside one was
    // kept or rolled back with it. 0 outside of one.
    std::uint64_t currentTransaction() const { return m_inTransaction ? m_transactionNumber : 0; }
    bool wasCommitted(std::uint64_t transaction) const { return m_committedTransactions.count(transaction) > 0; }
    // Whether a connection is up now; nothing is attempted.
    bool isOpen() const { return m_conn != nullptr; }
    // Gives the connection back to the server unless an action's transaction is open on it.
    void release();

private:
    enum class AttemptOutcome
    {
        Connected,
        Refused,
        ServerFull,
        Silent
    };

    enum class PollOutcome
    {
        Answered,
        NotTakenUp,
        Silent
    };

    // Polls the connection being made until the server has answered (or refused); NotTakenUp when the server has
    // not taken the request up by `requestDeadline`, Silent when it has not answered by `deadline`. Either drops it.
    PollOutcome pollConnecting(std::chrono::steady_clock::time_point requestDeadline,
                               std::chrono::steady_clock::time_point deadline);
    // Closes the connection after a failure that leaves its state unknown; the next use connects again.
    void drop();
    void connect();
    AttemptOutcome attempt(const PgConnectAttempt& plan, std::chrono::steady_clock::time_point deadline,
                           QStringList& refusals);
    std::vector<PgResult> runPipeline(const std::vector<PgStatement>& statements);
    // Raises the first failure among the results, or the lost connection when some never came.
    std::vector<PgResult> checked(std::vector<PgResult> results, std::size_t expected, const QString& database,
                                  const QString& table);

    // Answers the batch from what was read ahead, and forgets it there; nothing when it was not read.
    std::optional<std::vector<PgResult>> takeReadAhead(const std::vector<PgStatement>& statements);
    void keepReadAhead(const std::vector<PgStatement>& statements, const std::vector<PgResult>& results);

    QByteArray m_connectionString;
    pg_conn* m_conn = nullptr;
    bool m_inTransaction = false;
    std::uint64_t m_transactionNumber = 0;
    std::set<std::uint64_t> m_committedTransactions;
    bool m_recording = false;
    std::vector<std::pair<std::vector<PgStatement>, std::vector<PgResult>>> m_readAhead;
    std::map<QString, QString> m_quotedNames;
};

} // namespace rp::engine
