#include "app/engine/TableCursor.h"

#include "app/engine/Database.h"
#include "app/engine/SqliteFailure.h"
#include "app/engine/Statement.h"
#include "app/engine/StoredValue.h"
#include "app/engine/TableSchema.h"
#include "app/engine/WriteTransaction.h"

#include <QStringList>
#include <map>
#include <optional>
#include <sqlite3.h>

namespace rp::engine {

using Row = std::vector<StoredValue>;

struct TableCursor::Impl
{
    // Declared first so that it is released last, after the statements that use the connection.
    std::shared_ptr<Database> db;
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

namespace {

RuntimeError cursorClosed(const QString& table)
{
    return engineError(CursorClosed, QStringLiteral("Il cursore della tabella '%1' è chiuso.").arg(table));
}

RuntimeError rowDeleted(const QString& table)
{
    return engineError(RowDeletedByAnotherUser,
                       QStringLiteral("Il record della tabella '%1' è stato eliminato da un altro utente.").arg(table));
}

RuntimeError updateWithoutEdit()
{
    return engineError(UpdateWithoutEdit, QStringLiteral("Aggiornamento senza una modifica in corso (Edit)."));
}

} // namespace

void TableCursor::Impl::requireOpen() const
{
    if (closed) {
        throw cursorClosed(table());
    }
}

void TableCursor::Impl::requireCurrentRow() const
{
    if (!identity) {
        throw engineError(NoCurrentRecord, QStringLiteral("Nessun record corrente."));
    }
}

int TableCursor::Impl::requireField(const QString& name) const
{
    const int index = schema.columnIndex(name);
    if (index < 0) {
        throw engineError(FieldNotFound,
                          QStringLiteral("Campo '%1' non trovato nella tabella '%2'.").arg(name, table()));
    }
    return index;
}

void TableCursor::Impl::leaveEdit()
{
    editing = false;
    snapshot.clear();
    pendingFields.clear();
}

QString TableCursor::Impl::identitySelectList() const
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

QString TableCursor::Impl::identityCondition(int firstParameter) const
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

void TableCursor::Impl::bindIdentity(Statement& statement, const Row& rowIdentity, int firstParameter) const
{
    int parameter = firstParameter;
    for (const StoredValue& value : rowIdentity) {
        statement.bind(parameter++, value);
    }
}

std::optional<Row> TableCursor::Impl::readCurrentRow()
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

void TableCursor::Impl::prepareSeek(const std::vector<bool>& nullPattern)
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

TableCursor::TableCursor(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

TableCursor::~TableCursor() = default;

std::unique_ptr<TableCursor> TableCursor::open(std::shared_ptr<Database> db, const QString& table)
{
    if (!db) {
        throw engineError(InvalidArgument, QStringLiteral("Nessun database aperto per la tabella '%1'.").arg(table));
    }
    auto impl = std::make_unique<Impl>();
    impl->schema = readTableSchema(*db, table);
    impl->db = std::move(db);
    return std::unique_ptr<TableCursor>(new TableCursor(std::move(impl)));
}

void TableCursor::setIndex(const QString& indexName)
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.indexColumns = readIndexColumns(*d.db, d.schema, indexName);
    d.indexName = indexName;
    d.hasIndex = true;
    d.seekStatement.reset();
}

void TableCursor::seek(const QString& comparison, const std::vector<Value>& keyValues)
{
    Impl& d = *m_impl;
    d.requireOpen();
    if (!d.hasIndex) {
        throw engineError(NoCurrentIndex,
                          QStringLiteral("Nessun indice corrente sulla tabella '%1': impostare l'indice prima della "
                                         "ricerca.")
                              .arg(d.table()));
    }
    if (comparison != QLatin1String("=")) {
        throw engineError(
            InvalidArgument,
            QStringLiteral("Confronto '%1' non ammesso nella ricerca: è ammesso solo \"=\".").arg(comparison));
    }
    if (keyValues.size() != d.indexColumns.size()) {
        throw engineError(InvalidArgument, QStringLiteral("L'indice '%1' della tabella '%2' ha %3 campi, la ricerca ha "
                                                          "ricevuto %4 valori.")
                                               .arg(d.indexName, d.table())
                                               .arg(d.indexColumns.size())
                                               .arg(keyValues.size()));
    }

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

bool TableCursor::noMatch() const
{
    m_impl->requireOpen();
    return m_impl->noMatch;
}

Value TableCursor::field(const QString& name) const
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
        throw rowDeleted(d.table());
    }
    return valueFromStored((*row)[static_cast<std::size_t>(index)], dateTimeColumn);
}

void TableCursor::edit()
{
    Impl& d = *m_impl;
    d.requireOpen();
    d.requireCurrentRow();
    std::optional<Row> row = d.readCurrentRow();
    if (!row) {
        throw rowDeleted(d.table());
    }
    d.leaveEdit();
    d.snapshot = std::move(*row);
    d.editing = true;
}

void TableCursor::setField(const QString& name, const Value& value)
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
        throw engineError(
            ValueNotAccepted,
            QStringLiteral("Il campo '%1' della tabella '%2' non può essere Null.").arg(info.name, d.table()));
    }
    d.pendingFields[index] = value;
}

void TableCursor::update()
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
        throw rowDeleted(d.table());
    }
    if (*current != snapshot) {
        throw engineError(RowChangedByAnotherUser,
                          QStringLiteral("Il record della tabella '%1' è stato modificato da un altro utente dopo "
                                         "l'inizio della modifica: le modifiche non sono state salvate.")
                              .arg(d.table()));
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
            throw rowDeleted(d.table());
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

void TableCursor::remove()
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
        throw rowDeleted(d.table());
    }
    transaction.commit();
    d.identity.reset();
}

void TableCursor::close()
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

const QString& TableCursor::tableName() const
{
    return m_impl->schema.table;
}

} // namespace rp::engine
