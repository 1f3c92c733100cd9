#include "app/engine/sqlite/SqliteTableCursor.h"

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

    std::unique_ptr<Statement> readRowStatement;

    bool noMatch = true;
    // The row the cursor stands on: its rowid, or its primary key values in a table WITHOUT ROWID.
    std::optional<Row> identity;

    bool editing = false;
    Row snapshot;
    std::map<int, Value> pendingFields;

    const QString& table() const { return schema.table; }
    const ColumnInfo& column(int index) const { return schema.columns[static_cast<std::size_t>(index)]; }

    void requireOpen() const;
    void requireCurrentRow() const;
    int requireField(const QString& name) const;
    void leaveEdit();

    QString identitySelectList() const;
    QString identityCondition(int firstParameter) const;
    void bindIdentity(Statement& statement, const Row& rowIdentity, int firstParameter) const;
    std::optional<Row> readCurrentRow();
    void prepareSeek(const std::vector<bool>& nullPattern);
};

void SqliteTableCursor::Impl::requireOpen() const
{
    if (closed) {
        throw cursorClosed(table());
    }
}

void SqliteTableCursor::Impl::requireCurrentRow() const
{
    if (!identity) {
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
    snapshot.clear();
    pendingFields.clear();
}

QString SqliteTableCursor::Impl::identitySelectList() const
{
    if (schema.hasRowid()) {
        return schema.rowidAlias;
    }
    QStringList names;
    for (const int index : schema.identityColumns) {
        names << quotedIdentifier(column(index).name);
    }
    return names.join(QStringLiteral(", "));
}

QString SqliteTableCursor::Impl::identityCondition(int firstParameter) const
{
    if (schema.hasRowid()) {
        return QStringLiteral("%1 = ?%2").arg(schema.rowidAlias).arg(firstParameter);
    }
    QStringList terms;
    int parameter = firstParameter;
    for (const int index : schema.identityColumns) {
        terms << QStringLiteral("%1 = ?%2").arg(quotedIdentifier(column(index).name)).arg(parameter++);
    }
    return terms.join(QStringLiteral(" AND "));
}

void SqliteTableCursor::Impl::bindIdentity(Statement& statement, const Row& rowIdentity, int firstParameter) const
{
    int parameter = firstParameter;
    for (const StoredValue& value : rowIdentity) {
        statement.bind(parameter++, value);
    }
}

std::optional<Row> SqliteTableCursor::Impl::readCurrentRow()
{
    if (!readRowStatement) {
        QStringList names;
        for (const ColumnInfo& info : schema.columns) {
            names << quotedIdentifier(info.name);
        }
        readRowStatement = std::make_unique<Statement>(
            db->handle(),
            QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                .arg(names.join(QStringLiteral(", ")), quotedIdentifier(table()), identityCondition(1)),
            db->path(), table());
    }
    Statement& query = *readRowStatement;
    const ResetOnExit reset(query);
    bindIdentity(query, *identity, 1);
    if (!query.step()) {
        return std::nullopt;
    }
    Row row;
    row.reserve(schema.columns.size());
    for (int i = 0; i < query.columnCount(); ++i) {
        row.push_back(query.column(i));
    }
    return row;
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
    const QString order = schema.hasRowid() ? schema.rowidAlias : identitySelectList();
    seekStatement.reset();
    seekStatement = std::make_unique<Statement>(
        db->handle(),
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
            .arg(identitySelectList(), quotedIdentifier(table()), terms.join(QStringLiteral(" AND ")), order),
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

    d.leaveEdit();
    d.identity.reset();
    d.noMatch = true;

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
        Row found;
        for (int i = 0; i < query.columnCount(); ++i) {
            found.push_back(query.column(i));
        }
        d.identity = std::move(found);
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
    d.requireCurrentRow();
    const std::optional<Row> row = d.readCurrentRow();
    if (!row) {
        throw rowDeletedByAnotherUser(d.table());
    }
    return valueFromStored((*row)[static_cast<std::size_t>(index)], dateTimeColumn);
}

void SqliteTableCursor::edit()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.requireCurrentRow();
    std::optional<Row> row = d.readCurrentRow();
    if (!row) {
        throw rowDeletedByAnotherUser(d.table());
    }
    d.leaveEdit();
    d.snapshot = std::move(*row);
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
    const Row snapshot = std::move(d.snapshot);
    const std::map<int, Value> pending = std::move(d.pendingFields);
    d.leaveEdit();

    WriteTransaction transaction(d.db->handle(), d.db->path(), d.table());
    const std::optional<Row> current = d.readCurrentRow();
    if (!current) {
        throw rowDeletedByAnotherUser(d.table());
    }
    if (*current != snapshot) {
        throw rowChangedByAnotherUser(d.table());
    }
    if (pending.empty()) {
        transaction.commit();
        return;
    }

    QStringList assignments;
    int parameter = 1;
    for (const auto& entry : pending) {
        assignments << QStringLiteral("%1 = ?%2").arg(quotedIdentifier(d.column(entry.first).name)).arg(parameter++);
    }
    const int firstIdentityParameter = parameter;
    // The key columns may be among those written, so the row's identity is taken back from the update itself.
    Statement statement(d.db->handle(),
                        QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING %4")
                            .arg(quotedIdentifier(d.table()), assignments.join(QStringLiteral(", ")),
                                 d.identityCondition(firstIdentityParameter), d.identitySelectList()),
                        d.db->path(), d.table());
    Row newIdentity;
    {
        const ResetOnExit reset(statement);
        parameter = 1;
        for (const auto& entry : pending) {
            statement.bind(parameter++, storedFromValue(entry.second, d.column(entry.first).holdsDateTime));
        }
        d.bindIdentity(statement, *d.identity, firstIdentityParameter);
        if (!statement.step()) {
            throw rowDeletedByAnotherUser(d.table());
        }
        for (int i = 0; i < statement.columnCount(); ++i) {
            newIdentity.push_back(statement.column(i));
        }
        while (statement.step()) {
        }
    }
    transaction.commit();
    d.identity = std::move(newIdentity);
}

void SqliteTableCursor::remove()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.requireCurrentRow();
    d.leaveEdit();

    WriteTransaction transaction(d.db->handle(), d.db->path(), d.table());
    Statement statement(
        d.db->handle(),
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(quotedIdentifier(d.table()), d.identityCondition(1)),
        d.db->path(), d.table());
    {
        const ResetOnExit reset(statement);
        d.bindIdentity(statement, *d.identity, 1);
        statement.step();
    }
    if (sqlite3_changes(d.db->handle()) == 0) {
        d.identity.reset();
        throw rowDeletedByAnotherUser(d.table());
    }
    transaction.commit();
    d.identity.reset();
}

void SqliteTableCursor::close()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.leaveEdit();
    d.identity.reset();
    d.seekStatement.reset();
    d.readRowStatement.reset();
    d.closed = true;
    d.db.reset();
}

const QString& SqliteTableCursor::tableName() const
{
    return m_impl->schema.table;
}

} // namespace rp::engine
