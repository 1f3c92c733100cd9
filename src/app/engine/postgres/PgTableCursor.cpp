#include "app/engine/postgres/PgTableCursor.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgDatabase.h"
#include "app/engine/postgres/PgSchema.h"

#include <QStringList>
#include <map>
#include <optional>

namespace rp::engine {

namespace {

using Row = std::vector<PgParameter>;

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
    PgConnection& conn() const { return m_db->connection(); }
    const QString& table() const { return m_table.schema.table; }
    const QString& database() const { return m_table.schemaName; }
    const ColumnInfo& column(int index) const { return m_table.schema.columns[static_cast<std::size_t>(index)]; }
    PgColumnKind kind(int index) const { return m_table.kinds[static_cast<std::size_t>(index)]; }
    const QString& quoted(int index) const { return m_quotedColumns[static_cast<std::size_t>(index)]; }
    bool namedByKey() const { return !m_table.schema.identityColumns.empty(); }

    void requireOpen() const;
    void requireCurrentRow() const;
    int requireField(const QString& name) const;
    void leaveEdit();

    QString columnList() const;
    QString identityList() const;
    QString identityCondition(int firstParameter) const;
    // The current row, read again; nothing when it is no longer there.
    std::optional<Row> readCurrentRow(bool lockForUpdate) const;
    void standOn(const PgResult& result, int identityColumns);

    std::shared_ptr<PgDatabase> m_db;
    PgTable m_table;
    QString m_qualifiedTable;
    std::vector<QString> m_quotedColumns;
    bool m_closed = false;

    bool m_hasIndex = false;
    QString m_indexName;
    std::vector<int> m_indexColumns;

    bool m_noMatch = true;
    std::optional<Row> m_identity;
    // The row as the seek or the last write left it: reading a field costs no round trip to the server.
    Row m_row;

    bool m_editing = false;
    Row m_snapshot;
    std::map<int, Value> m_pendingFields;
};

PgTableCursor::PgTableCursor(std::shared_ptr<PgDatabase> db, PgTable table)
    : m_db(std::move(db)), m_table(std::move(table))
{
    m_qualifiedTable = conn().quotedIdentifier(database()) + QLatin1Char('.') + conn().quotedIdentifier(this->table());
    for (const ColumnInfo& info : m_table.schema.columns) {
        m_quotedColumns.push_back(conn().quotedIdentifier(info.name));
    }
}

void PgTableCursor::requireOpen() const
{
    if (m_closed) {
        throw cursorClosed(table());
    }
}

void PgTableCursor::requireCurrentRow() const
{
    if (!m_identity) {
        throw noCurrentRecord();
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
    m_snapshot.clear();
    m_pendingFields.clear();
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

QString PgTableCursor::identityList() const
{
    if (!namedByKey()) {
        return QStringLiteral("ctid");
    }
    QStringList names;
    for (const int index : m_table.schema.identityColumns) {
        names << pgSelectExpression(quoted(index), kind(index));
    }
    return names.join(QStringLiteral(", "));
}

QString PgTableCursor::identityCondition(int firstParameter) const
{
    if (!namedByKey()) {
        return QStringLiteral("ctid = $%1::tid").arg(firstParameter);
    }
    QStringList terms;
    int parameter = firstParameter;
    for (const int index : m_table.schema.identityColumns) {
        terms << QStringLiteral("%1 = $%2").arg(quoted(index)).arg(parameter++);
    }
    return terms.join(QStringLiteral(" AND "));
}

std::optional<Row> PgTableCursor::readCurrentRow(bool lockForUpdate) const
{
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3%4")
                            .arg(columnList(), m_qualifiedTable, identityCondition(1),
                                 lockForUpdate ? QStringLiteral(" FOR UPDATE") : QString());
    const PgResult result = conn().execute(sql, *m_identity, database(), table());
    if (result.rows() == 0) {
        return std::nullopt;
    }
    Row row;
    for (int i = 0; i < result.columns(); ++i) {
        row.push_back(result.value(0, i));
    }
    return row;
}

// The result's first row holds the row's identity, then every column.
void PgTableCursor::standOn(const PgResult& result, int identityColumns)
{
    Row identity;
    Row row;
    for (int i = 0; i < result.columns(); ++i) {
        (i < identityColumns ? identity : row).push_back(result.value(0, i));
    }
    m_identity = std::move(identity);
    m_row = std::move(row);
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
    leaveEdit();
    m_identity.reset();
    m_row.clear();
    m_noMatch = true;

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
    const QString identity = identityList();
    const QString sql = QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 ORDER BY %1 LIMIT 1")
                            .arg(identity, columnList(), m_qualifiedTable, terms.join(QStringLiteral(" AND ")));
    const int identityColumns = namedByKey() ? static_cast<int>(m_table.schema.identityColumns.size()) : 1;
    try {
        const PgResult result = conn().execute(sql, parameters, database(), table());
        if (result.rows() > 0) {
            standOn(result, identityColumns);
            m_noMatch = false;
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
    return m_noMatch;
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
    requireCurrentRow();
    return valueFromPg(m_row[static_cast<std::size_t>(index)], kind(index));
}

void PgTableCursor::edit()
{
    requireOpen();
    requireCurrentRow();
    std::optional<Row> row = readCurrentRow(false);
    if (!row) {
        throw rowDeletedByAnotherUser(table());
    }
    leaveEdit();
    m_row = *row;
    m_snapshot = std::move(*row);
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
    const Row snapshot = std::move(m_snapshot);
    const std::map<int, Value> pending = std::move(m_pendingFields);
    leaveEdit();

    WriteScope write(conn(), database());
    const std::optional<Row> current = readCurrentRow(true);
    if (!current) {
        throw rowDeletedByAnotherUser(table());
    }
    if (*current != snapshot) {
        throw rowChangedByAnotherUser(table());
    }
    if (pending.empty()) {
        write.commit();
        return;
    }
    QStringList assignments;
    Row parameters;
    for (const auto& [index, value] : pending) {
        parameters.push_back(pgParameterFromValue(value, kind(index)));
        assignments << QStringLiteral("%1 = $%2").arg(quoted(index)).arg(parameters.size());
    }
    const int firstIdentityParameter = static_cast<int>(parameters.size()) + 1;
    parameters.insert(parameters.end(), m_identity->begin(), m_identity->end());
    // The key columns may be among those written, so the row's identity is taken back from the update itself.
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING %4, %5")
                            .arg(m_qualifiedTable, assignments.join(QStringLiteral(", ")),
                                 identityCondition(firstIdentityParameter), identityList(), columnList());
    const PgResult result = conn().execute(sql, parameters, database(), table());
    if (result.rows() == 0) {
        throw rowDeletedByAnotherUser(table());
    }
    write.commit();
    standOn(result, static_cast<int>(m_identity->size()));
}

void PgTableCursor::remove()
{
    requireOpen();
    requireCurrentRow();
    leaveEdit();
    WriteScope write(conn(), database());
    const PgResult result =
        conn().execute(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_qualifiedTable, identityCondition(1)),
                       *m_identity, database(), table());
    if (result.affectedRows() == 0) {
        m_identity.reset();
        throw rowDeletedByAnotherUser(table());
    }
    write.commit();
    m_identity.reset();
    m_row.clear();
}

void PgTableCursor::close()
{
    requireOpen();
    leaveEdit();
    m_identity.reset();
    m_row.clear();
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
