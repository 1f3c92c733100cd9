#include "app/engine/sqlite/SqliteTableCursor.h"

#include "app/engine/CompareAndSet.h"
#include "app/engine/EngineErrors.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "app/engine/sqlite/SqliteFailure.h"
#include "app/engine/sqlite/SqliteSchema.h"
#include "app/engine/sqlite/Statement.h"
#include "app/engine/sqlite/StoredValue.h"
#include "app/engine/sqlite/WriteTransaction.h"

#include <QStringList>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>

namespace rp::engine {

using Row = std::vector<StoredValue>;

class SqliteTableCursor final : public TableCursor
{
public:
    struct Impl;
    explicit SqliteTableCursor(std::unique_ptr<Impl> impl);
    ~SqliteTableCursor() override;

    void setIndex(const QString& indexName) override;
    void seek(const QString& comparison, const std::vector<Value>& keyValues) override;
    bool noMatch() const override;
    Value field(const QString& name) const override;
    void edit() override;
    void setField(const QString& name, const Value& value) override;
    void update() override;
    void remove() override;
    void close() override;
    const QString& tableName() const override;

private:
    std::unique_ptr<Impl> m_impl;
};

struct SqliteTableCursor::Impl
{
    // Declared first so that it is released last, after the statements that use the connection.
    std::shared_ptr<SqliteDatabase> db;
    TableSchema schema;
    bool closed = false;

    bool hasIndex = false;
    QString indexName;
    std::vector<int> indexColumns;
    std::unique_ptr<Statement> seekStatement;
    std::vector<bool> seekNullPattern;

    // The columns that name a row, resolved once: the key "primaria" stands for.
    std::optional<std::vector<int>> keyColumns;
    std::optional<RuntimeError> keyFailure;

    bool noMatch = true;
    // The row the cursor stands on as the seek (or the last write) read it: its key values name it, and a write
    // compares with it.
    Row loaded;
    // A write found no row under that key any more: the next try reads it again, and finds it or not.
    bool gone = false;
    // Every field read from the row or written to it since the seek.
    mutable std::set<int> watched;

    bool editing = false;
    std::map<int, Value> pendingFields;

    const QString& table() const { return schema.table; }
    const ColumnInfo& column(int index) const { return schema.columns[static_cast<std::size_t>(index)]; }

    void requireOpen() const;
    void requireRow() const;
    int requireField(const QString& name) const;
    void leaveEdit();
    void leaveRow();

    // The key's columns; raises NoCurrentRecord without a row, the key's own failure for a table without one.
    const std::vector<int>& requireKey();

    QString columnList() const;
    // "column IS ?n AND ..." for the columns, numbered from `firstParameter`; IS compares Null as Null.
    QString condition(const std::vector<int>& columns, int firstParameter) const;
    // The columns' values as read, bound exactly so: no conversion may make a changed value look unchanged.
    void bindLoaded(Statement& statement, const std::vector<int>& columns, int firstParameter) const;
    Row readRow(Statement& statement) const;
    std::optional<Row> readByKey();
    // Tried again after a write found the row gone: it is read again under its key, or is gone still.
    void readAgainIfGone();
    // A compare-and-set that touched no row: the row is gone from its key, or holds something else now. The
    // row as it now stands is kept, so that the next try writes on it.
    [[noreturn]] void failMissedWrite();
    void prepareSeek(const std::vector<bool>& nullPattern);
};

void SqliteTableCursor::Impl::requireOpen() const
{
    if (closed) {
        throw cursorClosed(table());
    }
}

void SqliteTableCursor::Impl::requireRow() const
{
    if (noMatch) {
        throw noCurrentRecord();
    }
}

int SqliteTableCursor::Impl::requireField(const QString& name) const
{
    const int index = schema.columnIndex(name);
    if (index < 0) {
        throw fieldNotFound(name, table());
    }
    return index;
}

void SqliteTableCursor::Impl::leaveEdit()
{
    editing = false;
    pendingFields.clear();
}

void SqliteTableCursor::Impl::leaveRow()
{
    leaveEdit();
    noMatch = true;
    loaded.clear();
    gone = false;
    watched.clear();
}

const std::vector<int>& SqliteTableCursor::Impl::requireKey()
{
    requireRow();
    if (!keyColumns && !keyFailure) {
        try {
            keyColumns = readIndexColumns(*db, schema, PrimaryKeyIndexName);
        } catch (const RuntimeError& error) {
            keyFailure = error;
        }
    }
    if (!keyColumns) {
        // A table without a key has no name for its rows: it can be read, not written.
        throw *keyFailure;
    }
    return *keyColumns;
}

QString SqliteTableCursor::Impl::columnList() const
{
    QStringList names;
    for (const ColumnInfo& info : schema.columns) {
        names << quotedIdentifier(info.name);
    }
    return names.join(QStringLiteral(", "));
}

QString SqliteTableCursor::Impl::condition(const std::vector<int>& columns, int firstParameter) const
{
    QStringList terms;
    int parameter = firstParameter;
    for (const int index : columns) {
        terms << QStringLiteral("%1 IS ?%2").arg(quotedIdentifier(column(index).name)).arg(parameter++);
    }
    return terms.join(QStringLiteral(" AND "));
}

void SqliteTableCursor::Impl::bindLoaded(Statement& statement, const std::vector<int>& columns,
                                         int firstParameter) const
{
    int parameter = firstParameter;
    for (const int index : columns) {
        statement.bind(parameter++, loaded[static_cast<std::size_t>(index)]);
    }
}

Row SqliteTableCursor::Impl::readRow(Statement& statement) const
{
    Row row;
    row.reserve(schema.columns.size());
    for (int i = 0; i < statement.columnCount(); ++i) {
        row.push_back(statement.column(i));
    }
    return row;
}

std::optional<Row> SqliteTableCursor::Impl::readByKey()
{
    Statement query(db->handle(),
                    QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                        .arg(columnList(), quotedIdentifier(table()), condition(*keyColumns, 1)),
                    db->path(), table());
    const ResetOnExit reset(query);
    bindLoaded(query, *keyColumns, 1);
    if (!query.step()) {
        return std::nullopt;
    }
    return readRow(query);
}

void SqliteTableCursor::Impl::readAgainIfGone()
{
    if (gone) {
        std::optional<Row> current = readByKey();
        if (!current) {
            throw rowDeletedByAnotherUser(table());
        }
        loaded = std::move(*current);
        gone = false;
    }
}

void SqliteTableCursor::Impl::failMissedWrite()
{
    std::optional<Row> current = readByKey();
    gone = !current;
    if (gone) {
        throw rowDeletedByAnotherUser(table());
    }
    loaded = std::move(*current);
    throw rowChangedByAnotherUser(table());
}

void SqliteTableCursor::Impl::prepareSeek(const std::vector<bool>& nullPattern)
{
    if (seekStatement && nullPattern == seekNullPattern) {
        return;
    }
    QStringList terms;
    for (std::size_t i = 0; i < indexColumns.size(); ++i) {
        // '=' never matches NULL; IS does, and behaves as '=' otherwise.
        const QString comparison = nullPattern[i] ? QStringLiteral("IS") : QStringLiteral("=");
        terms << QStringLiteral("%1 %2 ?%3")
                     .arg(quotedIdentifier(column(indexColumns[i]).name), comparison)
                     .arg(static_cast<int>(i) + 1);
    }
    QString order = schema.rowidAlias;
    if (order.isEmpty()) {
        QStringList keyNames;
        for (const int index : schema.primaryKeyColumns()) {
            keyNames << quotedIdentifier(column(index).name);
        }
        order = keyNames.join(QStringLiteral(", "));
    }
    seekStatement.reset();
    seekStatement = std::make_unique<Statement>(
        db->handle(),
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
            .arg(columnList(), quotedIdentifier(table()), terms.join(QStringLiteral(" AND ")), order),
        db->path(), table());
    seekNullPattern = nullPattern;
}

SqliteTableCursor::SqliteTableCursor(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

SqliteTableCursor::~SqliteTableCursor() = default;

std::unique_ptr<TableCursor> openSqliteTableCursor(std::shared_ptr<SqliteDatabase> db, const QString& table)
{
    auto impl = std::make_unique<SqliteTableCursor::Impl>();
    impl->schema = readTableSchema(*db, table);
    impl->db = std::move(db);
    return std::make_unique<SqliteTableCursor>(std::move(impl));
}

void SqliteTableCursor::setIndex(const QString& indexName)
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.indexColumns = readIndexColumns(*d.db, d.schema, indexName);
    d.indexName = indexName;
    d.hasIndex = true;
    d.seekStatement.reset();
}

void SqliteTableCursor::seek(const QString& comparison, const std::vector<Value>& keyValues)
{
    Impl& d = *m_impl;
    d.requireOpen();
    if (!d.hasIndex) {
        throw noCurrentIndex(d.table());
    }
    checkSeekArguments(comparison, d.indexName, d.table(), d.indexColumns.size(), keyValues.size());

    d.leaveRow();

    std::vector<bool> nullPattern;
    nullPattern.reserve(keyValues.size());
    for (const Value& value : keyValues) {
        nullPattern.push_back(value.isNull());
    }
    d.prepareSeek(nullPattern);

    Statement& query = *d.seekStatement;
    const ResetOnExit reset(query);
    for (std::size_t i = 0; i < keyValues.size(); ++i) {
        const bool dateTimeColumn = d.column(d.indexColumns[i]).holdsDateTime;
        query.bind(static_cast<int>(i) + 1, storedFromValue(keyValues[i], dateTimeColumn));
    }
    if (query.step()) {
        d.loaded = d.readRow(query);
        d.noMatch = false;
    }
}

bool SqliteTableCursor::noMatch() const
{
    m_impl->requireOpen();
    return m_impl->noMatch;
}

Value SqliteTableCursor::field(const QString& name) const
{
    Impl& d = *m_impl;
    d.requireOpen();
    const int index = d.requireField(name);
    const bool dateTimeColumn = d.column(index).holdsDateTime;
    // While a row is being changed, its fields read as they will be written, as the copy buffer of the
    // desktop engine did.
    if (d.editing) {
        if (const auto pending = d.pendingFields.find(index); pending != d.pendingFields.end()) {
            return valueFromStored(storedFromValue(pending->second, dateTimeColumn), dateTimeColumn);
        }
    }
    d.requireRow();
    if (d.gone) {
        throw rowDeletedByAnotherUser(d.table());
    }
    d.watched.insert(index);
    return valueFromStored(d.loaded[static_cast<std::size_t>(index)], dateTimeColumn);
}

void SqliteTableCursor::edit()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.requireRow();
    // Nothing is read again here: the write compares the row with what the load read, however long ago.
    d.leaveEdit();
    d.editing = true;
}

void SqliteTableCursor::setField(const QString& name, const Value& value)
{
    Impl& d = *m_impl;
    d.requireOpen();
    const int index = d.requireField(name);
    if (!d.editing) {
        throw updateWithoutEdit();
    }
    const ColumnInfo& info = d.column(index);
    // Refused here rather than at the update, so that the other fields of the row can still be written.
    if (value.isNull() && info.notNull) {
        throw nullNotAccepted(info.name, d.table());
    }
    d.pendingFields[index] = value;
}

void SqliteTableCursor::update()
{
    Impl& d = *m_impl;
    d.requireOpen();
    if (!d.editing) {
        throw updateWithoutEdit();
    }
    const std::map<int, Value> pending = std::move(d.pendingFields);
    d.leaveEdit();
    const std::vector<int>& key = d.requireKey();

    WriteTransaction transaction(d.db->handle(), d.db->path(), d.table());
    d.readAgainIfGone();
    if (pending.empty()) {
        return;
    }
    for (const auto& entry : pending) {
        d.watched.insert(entry.first);
    }
    const std::vector<int> compared = comparedColumns(key, d.watched);
    QStringList assignments;
    int parameter = 1;
    for (const auto& entry : pending) {
        assignments << QStringLiteral("%1 = ?%2").arg(quotedIdentifier(d.column(entry.first).name)).arg(parameter++);
    }
    Statement statement(d.db->handle(),
                        QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING %4")
                            .arg(quotedIdentifier(d.table()), assignments.join(QStringLiteral(", ")),
                                 d.condition(compared, parameter), d.columnList()),
                        d.db->path(), d.table());
    std::optional<Row> written;
    {
        const ResetOnExit reset(statement);
        int value = 1;
        for (const auto& entry : pending) {
            statement.bind(value++, storedFromValue(entry.second, d.column(entry.first).holdsDateTime));
        }
        d.bindLoaded(statement, compared, parameter);
        if (statement.step()) {
            written = d.readRow(statement);
            while (statement.step()) {
            }
        }
    }
    if (!written) {
        d.failMissedWrite();
    }
    transaction.commit();
    // The key may be among the fields written: from now on the row is named by its key as written.
    d.loaded = std::move(*written);
}

void SqliteTableCursor::remove()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.leaveEdit();
    const std::vector<int>& key = d.requireKey();

    WriteTransaction transaction(d.db->handle(), d.db->path(), d.table());
    d.readAgainIfGone();
    const std::vector<int> compared = comparedColumns(key, d.watched);
    Statement statement(
        d.db->handle(),
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(quotedIdentifier(d.table()), d.condition(compared, 1)),
        d.db->path(), d.table());
    {
        const ResetOnExit reset(statement);
        d.bindLoaded(statement, compared, 1);
        statement.step();
    }
    if (sqlite3_changes(d.db->handle()) == 0) {
        d.failMissedWrite();
    }
    transaction.commit();
    d.leaveRow();
}

void SqliteTableCursor::close()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.leaveRow();
    d.seekStatement.reset();
    d.closed = true;
    d.db.reset();
}

const QString& SqliteTableCursor::tableName() const
{
    return m_impl->schema.table;
}

} // namespace rp::engine
