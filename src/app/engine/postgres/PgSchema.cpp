#include "app/engine/postgres/PgSchema.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"

namespace rp::engine {

namespace {

// Every column with its type, and its place in the primary key (0 outside it; the key's array counts from 0).
// Only ordinary and partitioned tables count: a view has no key to find a row by.
const QString ColumnsQuery =
    QStringLiteral("SELECT a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull, t.typname, "
                   "coalesce(array_position(i.indkey::int2[], a.attnum) - array_lower(i.indkey::int2[], 1) + 1, 0) "
                   "FROM pg_catalog.pg_class c "
                   "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                   "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
                   "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
                   "LEFT JOIN pg_catalog.pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                   "WHERE n.nspname = $1 AND c.relname = $2 AND c.relkind IN ('r', 'p') "
                   "ORDER BY a.attnum");

// The key columns of an index by its exact name; an expression column comes back without a name.
const QString IndexQuery =
    QStringLiteral("SELECT a.attname "
                   "FROM pg_catalog.pg_index i "
                   "JOIN pg_catalog.pg_class ic ON ic.oid = i.indexrelid "
                   "JOIN pg_catalog.pg_class c ON c.oid = i.indrelid "
                   "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                   "CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, position) "
                   "LEFT JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum "
                   "WHERE n.nspname = $1 AND c.relname = $2 AND ic.relname = $3 AND k.position <= i.indnkeyatts "
                   "ORDER BY k.position");

QString text(const PgResult& result, int row, int column)
{
    return QString::fromUtf8(result.value(row, column).value_or(QByteArray()));
}

} // namespace

PgStatement pgSchemaStatement(const QString& schemaName)
{
    return {QByteArrayLiteral("SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1"), {schemaName.toUtf8()}};
}

PgStatement pgColumnsStatement(const QString& schemaName, const QString& table)
{
    return {ColumnsQuery.toUtf8(), {schemaName.toUtf8(), table.toUtf8()}};
}

PgTable readPgTable(PgConnection& conn, const QString& schemaName, const QString& table)
{
    const PgResult result = conn.execute(pgColumnsStatement(schemaName, table), schemaName, table);
    if (table.isEmpty() || result.rows() == 0) {
        throw tableNotFound(table);
    }
    PgTable pg;
    pg.schemaName = schemaName;
    pg.schema.table = table;
    for (int row = 0; row < result.rows(); ++row) {
        ColumnInfo column;
        column.name = text(result, row, 0);
        column.declaredType = text(result, row, 1);
        column.notNull = text(result, row, 2) == u"t";
        column.primaryKeyPosition = text(result, row, 4).toInt();
        const PgColumnKind kind = pgColumnKind(text(result, row, 3));
        column.holdsDateTime = kind == PgColumnKind::DateTime;
        pg.schema.columns.push_back(column);
        pg.kinds.push_back(kind);
    }
    // Without a primary key a row is named by its physical place, which an update moves: the cursor follows it.
    pg.schema.identityColumns = pg.schema.primaryKeyColumns();
    return pg;
}

std::vector<int> readPgIndexColumns(PgConnection& conn, const PgTable& table, const QString& indexName)
{
    const TableSchema& schema = table.schema;
    if (indexName == PrimaryKeyIndexName) {
        std::vector<int> key = schema.primaryKeyColumns();
        if (key.empty()) {
            throw noPrimaryKey(indexName, schema.table);
        }
        return key;
    }
    const PgResult result =
        conn.execute(IndexQuery, {table.schemaName.toUtf8(), schema.table.toUtf8(), indexName.toUtf8()},
                     table.schemaName, schema.table);
    if (result.rows() == 0) {
        throw indexNotFound(indexName, schema.table);
    }
    std::vector<int> columns;
    for (int row = 0; row < result.rows(); ++row) {
        const int column = result.value(row, 0) ? schema.columnIndex(text(result, row, 0)) : -1;
        if (column < 0) {
            throw expressionIndex(indexName, schema.table);
        }
        columns.push_back(column);
    }
    return columns;
}

} // namespace rp::engine
