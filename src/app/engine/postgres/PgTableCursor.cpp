#include "app/engine/postgres/PgTableCursor.h"

#include "app/engine/CompareAndSet.h"
#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgDatabase.h"
#include "app/engine/postgres/PgSchema.h"

#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace rp::engine {

namespace {

using Row = std::vector<PgParameter>;

Row firstRow(const PgResult& result)
{
    Row row;
    for (int i = 0; i < result.columns(); ++i) {
        row.push_back(result.value(0, i));
    }
    return row;
}

// One write: its own transaction, or a savepoint inside the action's transaction, so that a failed write leaves
// the rest of the action able to go on and the whole action still commits or rolls back as one.
class WriteScope
{
public:
    WriteScope(PgConnection& conn, const QString& database) : m_conn(conn), m_database(database)
    {
        m_nested = m_conn.inTransaction();
        if (m_nested) {
            m_conn.execute(QStringLiteral("SAVEPOINT reminder_write"), {}, database);
        } else {
            m_conn.beginBlock(database);
        }
    }
    ~WriteScope()
    {
        // A connection lost halfway has been rolled back by the server: connecting again only to roll back would
        // make a server that is down cost the wait twice.
        if (m_done || !m_conn.isOpen()) {
            return;
        }
        try {
            m_conn.execute(m_nested ? QStringLiteral("ROLLBACK TO SAVEPOINT reminder_write")
                                    : QStringLiteral("ROLLBACK"),
                           {}, m_database);
        } catch (const RuntimeError&) {
            // Lost in the meantime: the server rolls back what it had.
        }
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    void commit()
    {
        m_conn.execute(m_nested ? QStringLiteral("RELEASE SAVEPOINT reminder_write") : QStringLiteral("COMMIT"), {},
                       m_database);
        m_done = true;
    }

private:
    PgConnection& m_conn;
    QString m_database;
    bool m_nested = false;
    bool m_done = false;
};

class PgTableCursor final : public TableCursor
{
public:
    PgTableCursor(std::shared_ptr<PgDatabase> db, PgTable table);

    void setIndex(const QString& indexName) override;
    void seek(const QString& comparison, const std::vector<Value>& keyValues) override;
    bool noMatch() const override;
    Value field(const QString& name) const override;
    void edit() override;
    void setField(const QString& name, const Value& value) override;
    void update() override;
    void remove() override;
    void close() override;
    const QString& tableName() const override { return m_table.schema.table; }

private:
    // Where the cursor stands: the row as the seek or the last write read it, whose key values name it; gone once
    // a write found no row under that key, until the next try reads it again.
    struct Position
    {
        bool noMatch = true;
        Row loaded;
        bool gone = false;
    };

    PgConnection& conn() const { return m_db->connection(); }
    const QString& table() const { return m_table.schema.table; }
    const QString& database() const { return m_table.schemaName; }
    const ColumnInfo& column(int index) const { return m_table.schema.columns[static_cast<std::size_t>(index)]; }
    PgColumnKind kind(int index) const { return m_table.kinds[static_cast<std::size_t>(index)]; }
    const QString& quoted(int index) const { return m_quotedColumns[static_cast<std::size_t>(index)]; }

    void requireOpen() const;
    void requireRow() const;
    void requireKey() const;
    int requireField(const QString& name) const;
    void leaveEdit();
    void leaveRow();

    QString columnList() const;
    // A write inside the action's transaction is kept only if that transaction commits: until it ends, the
    // position from before it is kept too, and taken back if the transaction was rolled back.
    void rememberPositionBeforeWrite();
    void settle() const;

    // The key's columns compared with '=' (a key holds no Null, and '=' lets the server use the key's index), any
    // other with IS NOT DISTINCT FROM, in the form the load read it; their values are appended to `parameters`.
    QString condition(const std::vector<int>& columns, Row& parameters) const;
    std::optional<Row> readByKey();
    // Tried again after a write found the row gone: it is read again under its key, or is gone still.
    void readAgainIfGone();
    [[noreturn]] void failMissedWrite();

    std::shared_ptr<PgDatabase> m_db;
    PgTable m_table;
    QString m_qualifiedTable;
    std::vector<QString> m_quotedColumns;
    std::vector<int> m_keyColumns;
    bool m_closed = false;

    bool m_hasIndex = false;
    QString m_indexName;
    std::vector<int> m_indexColumns;

    mutable Position m_position;
    // Every field read from the row or written to it since the seek.
    mutable std::set<int> m_watched;
    mutable std::optional<std::pair<std::uint64_t, Position>> m_beforeTransaction;

    bool m_editing = false;
    std::map<int, Value> m_pendingFields;
};

PgTableCursor::PgTableCursor(std::shared_ptr<PgDatabase> db, PgTable table)
    : m_db(std::move(db)), m_table(std::move(table))
{
    m_qualifiedTable = conn().quotedIdentifier(database()) + QLatin1Char('.') + conn().quotedIdentifier(this->table());
    for (const ColumnInfo& info : m_table.schema.columns) {
        m_quotedColumns.push_back(conn().quotedIdentifier(info.name));
    }
    m_keyColumns = m_table.schema.primaryKeyColumns();
}

void PgTableCursor::requireOpen() const
{
    if (m_closed) {
        throw cursorClosed(table());
    }
}

void PgTableCursor::requireRow() const
{
    if (m_position.noMatch) {
        throw noCurrentRecord();
    }
}

void PgTableCursor::requireKey() const
{
    requireRow();
    if (m_keyColumns.empty()) {
        // A table without a primary key has no name for its rows: it can be read, not written.
        throw noPrimaryKey(PrimaryKeyIndexName, table());
    }
}

int PgTableCursor::requireField(const QString& name) const
{
    const int index = m_table.schema.columnIndex(name);
    if (index < 0) {
        throw fieldNotFound(name, table());
    }
    return index;
}

void PgTableCursor::leaveEdit()
{
    m_editing = false;
    m_pendingFields.clear();
}

void PgTableCursor::leaveRow()
{
    leaveEdit();
    m_position = Position();
    m_watched.clear();
    m_beforeTransaction.reset();
}

QString PgTableCursor::columnList() const
{
    QStringList names;
    for (std::size_t i = 0; i < m_table.schema.columns.size(); ++i) {
        const int index = static_cast<int>(i);
        names << pgSelectExpression(quoted(index), kind(index));
    }
    return names.join(QStringLiteral(", "));
}

void PgTableCursor::rememberPositionBeforeWrite()
{
    const std::uint64_t transaction = conn().currentTransaction();
    if (transaction != 0 && !(m_beforeTransaction && m_beforeTransaction->first == transaction)) {
        m_beforeTransaction.emplace(transaction, m_position);
    }
}

void PgTableCursor::settle() const
{
    if (!m_beforeTransaction || m_beforeTransaction->first == conn().currentTransaction()) {
        return;
    }
    if (!conn().wasCommitted(m_beforeTransaction->first)) {
        m_position = std::move(m_beforeTransaction->second);
    }
    m_beforeTransaction.reset();
}

QString PgTableCursor::condition(const std::vector<int>& columns, Row& parameters) const
{
    QStringList terms;
    for (const int index : columns) {
        parameters.push_back(m_position.loaded[static_cast<std::size_t>(index)]);
        if (std::find(m_keyColumns.begin(), m_keyColumns.end(), index) != m_keyColumns.end()) {
            terms << QStringLiteral("%1 = $%2").arg(quoted(index)).arg(parameters.size());
        } else {
            terms << QStringLiteral("%1 IS NOT DISTINCT FROM $%2")
                         .arg(pgSelectExpression(quoted(index), kind(index)))
                         .arg(parameters.size());
        }
    }
    return terms.join(QStringLiteral(" AND "));
}

std::optional<Row> PgTableCursor::readByKey()
{
    Row parameters;
    const QString where = condition(m_keyColumns, parameters);
    const PgResult result =
        conn().execute(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(columnList(), m_qualifiedTable, where),
                       parameters, database(), table());
    if (result.rows() == 0) {
        return std::nullopt;
    }
    return firstRow(result);
}

void PgTableCursor::readAgainIfGone()
{
    if (m_position.gone) {
        std::optional<Row> current = readByKey();
        if (!current) {
            throw rowDeletedByAnotherUser(table());
        }
        m_position.loaded = std::move(*current);
        m_position.gone = false;
    }
}

// A compare-and-set that touched no row: the row is gone from its key, or holds something else now. The row as
// it now stands is kept, so that the next try writes on it.
void PgTableCursor::failMissedWrite()
{
    std::optional<Row> current = readByKey();
    m_position.gone = !current;
    if (m_position.gone) {
        throw rowDeletedByAnotherUser(table());
    }
    m_position.loaded = std::move(*current);
    throw rowChangedByAnotherUser(table());
}

void PgTableCursor::setIndex(const QString& indexName)
{
    requireOpen();
    m_indexColumns = readPgIndexColumns(conn(), m_table, indexName);
    m_indexName = indexName;
    m_hasIndex = true;
}

void PgTableCursor::seek(const QString& comparison, const std::vector<Value>& keyValues)
{
    requireOpen();
    if (!m_hasIndex) {
        throw noCurrentIndex(table());
    }
    checkSeekArguments(comparison, m_indexName, table(), m_indexColumns.size(), keyValues.size());
    leaveRow();

    QStringList terms;
    Row parameters;
    for (std::size_t i = 0; i < keyValues.size(); ++i) {
        const int index = m_indexColumns[i];
        const QString name = quoted(index);
        // '=' never matches NULL; IS NULL does.
        if (keyValues[i].isNull()) {
            terms << name + QStringLiteral(" IS NULL");
            continue;
        }
        parameters.push_back(pgParameterFromValue(keyValues[i], kind(index)));
        terms << QStringLiteral("%1 = $%2").arg(name).arg(parameters.size());
    }
    // The first of several matches, in an order that stays the same from one seek to the next.
    QStringList order;
    for (const int index : m_keyColumns) {
        order << quoted(index);
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                            .arg(columnList(), m_qualifiedTable, terms.join(QStringLiteral(" AND ")),
                                 order.isEmpty() ? QStringLiteral("ctid") : order.join(QStringLiteral(", ")));
    try {
        const PgResult result = conn().execute(sql, parameters, database(), table());
        if (result.rows() > 0) {
            m_position.loaded = firstRow(result);
            m_position.noMatch = false;
        }
    } catch (const RuntimeError& error) {
        // A key the column's type cannot hold (text for a number) equals no stored row.
        if (error.number() != ValueNotAccepted) {
            throw;
        }
    }
}

bool PgTableCursor::noMatch() const
{
    requireOpen();
    return m_position.noMatch;
}

Value PgTableCursor::field(const QString& name) const
{
    requireOpen();
    const int index = requireField(name);
    // While a row is being changed, its fields read as they will be written, as the copy buffer of the
    // desktop engine did.
    if (m_editing) {
        if (const auto pending = m_pendingFields.find(index); pending != m_pendingFields.end()) {
            return valueFromPg(pgParameterFromValue(pending->second, kind(index)), kind(index));
        }
    }
    settle();
    requireRow();
    if (m_position.gone) {
        throw rowDeletedByAnotherUser(table());
    }
    m_watched.insert(index);
    return valueFromPg(m_position.loaded[static_cast<std::size_t>(index)], kind(index));
}

void PgTableCursor::edit()
{
    requireOpen();
    settle();
    requireRow();
    // Nothing is read again here: the write compares the row with what the load read, however long ago.
    leaveEdit();
    m_editing = true;
}

void PgTableCursor::setField(const QString& name, const Value& value)
{
    requireOpen();
    const int index = requireField(name);
    if (!m_editing) {
        throw updateWithoutEdit();
    }
    // Refused here rather than at the update, so that the other fields of the row can still be written.
    if (value.isNull() && column(index).notNull) {
        throw nullNotAccepted(column(index).name, table());
    }
    requireKeptWhole(value, kind(index), column(index).name, table());
    m_pendingFields[index] = value;
}

void PgTableCursor::update()
{
    requireOpen();
    if (!m_editing) {
        throw updateWithoutEdit();
    }
    const std::map<int, Value> pending = std::move(m_pendingFields);
    leaveEdit();
    settle();
    requireKey();

    WriteScope write(conn(), database());
    readAgainIfGone();
    if (pending.empty()) {
        return;
    }
    QStringList assignments;
    Row parameters;
    for (const auto& [index, value] : pending) {
        m_watched.insert(index);
        parameters.push_back(pgParameterFromValue(value, kind(index)));
        assignments << QStringLiteral("%1 = $%2").arg(quoted(index)).arg(parameters.size());
    }
    const QString where = condition(comparedColumns(m_keyColumns, m_watched), parameters);
    const PgResult result =
        conn().execute(QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING %4")
                           .arg(m_qualifiedTable, assignments.join(QStringLiteral(", ")), where, columnList()),
                       parameters, database(), table());
    if (result.rows() == 0) {
        failMissedWrite();
    }
    write.commit();
    rememberPositionBeforeWrite();
    // The key may be among the fields written: from now on the row is named by its key as written.
    m_position.loaded = firstRow(result);
}

void PgTableCursor::remove()
{
    requireOpen();
    leaveEdit();
    settle();
    requireKey();
    WriteScope write(conn(), database());
    readAgainIfGone();
    Row parameters;
    const QString where = condition(comparedColumns(m_keyColumns, m_watched), parameters);
    const PgResult result = conn().execute(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_qualifiedTable, where),
                                           parameters, database(), table());
    if (result.affectedRows() == 0) {
        failMissedWrite();
    }
    write.commit();
    rememberPositionBeforeWrite();
    m_position = Position();
}

void PgTableCursor::close()
{
    requireOpen();
    leaveRow();
    m_closed = true;
    m_db.reset();
}

} // namespace

std::unique_ptr<TableCursor> openPgTableCursor(std::shared_ptr<PgDatabase> db, const QString& table)
{
    const PgTable* prepared = db->preparedTable(table);
    PgTable pgTable = prepared != nullptr ? *prepared : readPgTable(db->connection(), db->name(), table);
    return std::make_unique<PgTableCursor>(std::move(db), std::move(pgTable));
}

} // namespace rp::engine
