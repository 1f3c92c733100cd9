#include "app/engine/sqlite/SqliteSchema.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "app/engine/sqlite/SqliteFailure.h"
#include "app/engine/sqlite/Statement.h"

#include <algorithm>
#include <sqlite3.h>

namespace rp::engine {

namespace {

bool isStoredTable(SqliteDatabase& db, const QString& table)
{
    // '=' compares text byte by byte here, so only the exact name matches.
    Statement query(db.handle(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"),
                    db.path());
    const ResetOnExit reset(query);
    query.bindText(1, table);
    return query.step();
}

std::vector<ColumnInfo> readColumns(SqliteDatabase& db, const QString& table)
{
    Statement query(db.handle(),
                    QStringLiteral("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?1) ORDER BY cid"),
                    db.path());
    const ResetOnExit reset(query);
    query.bindText(1, table);
    std::vector<ColumnInfo> columns;
    while (query.step()) {
        ColumnInfo column;
        column.name = query.columnText(0);
        column.declaredType = query.columnText(1);
        column.holdsDateTime = isDateTimeType(column.declaredType);
        column.notNull = query.columnInteger(2) != 0;
        column.primaryKeyPosition = static_cast<int>(query.columnInteger(3));
        columns.push_back(column);
    }
    return columns;
}

// A column named "rowid" hides the rowid under that name; SQLite offers two more names for it.
QString unhiddenRowidAlias(const TableSchema& schema)
{
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
        if (schema.columnIndex(QLatin1String(alias)) < 0) {
            return QLatin1String(alias);
        }
    }
    return {};
}

bool tableHasRowid(SqliteDatabase& db, const QString& table, const QString& alias)
{
    // A table WITHOUT ROWID rejects the name at preparation; that is the only sign of it the schema gives
    // across SQLite versions.
    sqlite3_stmt* probe = nullptr;
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 LIMIT 0").arg(alias, quotedIdentifier(table)).toUtf8();
    const int rc = sqlite3_prepare_v2(db.handle(), sql.constData(), static_cast<int>(sql.size()), &probe, nullptr);
    sqlite3_finalize(probe);
    return rc == SQLITE_OK;
}

// Columns of an index of this table with exactly that name; empty when there is none.
std::vector<int> namedIndexColumns(SqliteDatabase& db, const TableSchema& schema, const QString& indexName)
{
    {
        Statement owner(db.handle(), QStringLiteral("SELECT 1 FROM pragma_index_list(?1) WHERE name = ?2"), db.path());
        const ResetOnExit reset(owner);
        owner.bindText(1, schema.table);
        owner.bindText(2, indexName);
        if (!owner.step()) {
            return {};
        }
    }
    Statement query(db.handle(), QStringLiteral("SELECT name FROM pragma_index_info(?1) ORDER BY seqno"), db.path());
    const ResetOnExit reset(query);
    query.bindText(1, indexName);
    std::vector<int> columns;
    while (query.step()) {
        const int column = schema.columnIndex(query.columnText(0));
        if (column < 0) {
            throw expressionIndex(indexName, schema.table);
        }
        columns.push_back(column);
    }
    return columns;
}

} // namespace

TableSchema readTableSchema(SqliteDatabase& db, const QString& table)
{
    if (table.isEmpty() || !isStoredTable(db, table)) {
        throw tableNotFound(table);
    }
    TableSchema schema;
    schema.table = table;
    schema.columns = readColumns(db, table);

    const QString alias = unhiddenRowidAlias(schema);
    if (!alias.isEmpty() && tableHasRowid(db, table, alias)) {
        schema.rowidAlias = alias;
    } else if (schema.primaryKeyColumns().empty()) {
        throw engineError(EngineFailure,
                          QStringLiteral("La tabella '%1' non ha né rowid né chiave primaria: impossibile "
                                         "individuarne le righe.")
                              .arg(table));
    }
    return schema;
}

std::vector<int> readIndexColumns(SqliteDatabase& db, const TableSchema& schema, const QString& indexName)
{
    if (indexName == PrimaryKeyIndexName) {
        std::vector<int> key = schema.primaryKeyColumns();
        if (key.empty()) {
            // Without a primary key, an index the scheduling application named "primaria" itself still serves.
            key = namedIndexColumns(db, schema, indexName);
        }
        if (key.empty()) {
            throw noPrimaryKey(indexName, schema.table);
        }
        return key;
    }
    std::vector<int> columns = namedIndexColumns(db, schema, indexName);
    if (columns.empty()) {
        throw indexNotFound(indexName, schema.table);
    }
    return columns;
}

} // namespace rp::engine
