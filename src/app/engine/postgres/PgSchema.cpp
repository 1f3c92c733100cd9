#include "app/engine/postgres/PgSchema.h"

#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"

#include <QStringList>

namespace rp::engine {

namespace {

// Every column of the wanted tables with its type, and its place in the primary key (0 outside it; the key's array
// counts from 0). The wanted (schema, table) pairs follow as parameters, two each: one statement reads the
// catalog of every table a load opens. Only ordinary and partitioned tables count: a view has no key to find a
// row by.
QString columnsQuery(std::size_t tables)
{
    QStringList wanted;
    for (std::size_t index = 0; index < tables; ++index) {
        wanted << QStringLiteral("($%1::text, $%2::text)").arg(2 * index + 1).arg(2 * index + 2);
    }
    return QStringLiteral(
               "WITH wanted(nspname, relname) AS (VALUES %1) "
               "SELECT n.nspname, c.relname, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), "
               "a.attnotnull, t.typname, "
               "coalesce(array_position(i.indkey::int2[], a.attnum) - array_lower(i.indkey::int2[], 1) + 1, 0) "
               "FROM wanted w "
               "JOIN pg_catalog.pg_namespace n ON n.nspname = w.nspname "
               "JOIN pg_catalog.pg_class c ON c.relnamespace = n.oid AND c.relname = w.relname "
               "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
               "JOIN pg_catalog.pg_type t ON t.oid = a.atttypid "
               "LEFT JOIN pg_catalog.pg_index i ON i.indrelid = c.oid AND i.indisprimary "
               "WHERE c.relkind IN ('r', 'p') "
               "ORDER BY n.nspname, c.relname, a.attnum")
        .arg(wanted.join(QStringLiteral(", ")));
}

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

PgStatement pgSchemasStatement(const std::set<QString>& schemaNames)
{
    QStringList placeholders;
    std::vector<PgParameter> parameters;
    for (const QString& name : schemaNames) {
        parameters.push_back(name.toUtf8());
        placeholders << QStringLiteral("$%1").arg(parameters.size());
    }
    return {QStringLiteral("SELECT nspname FROM pg_catalog.pg_namespace WHERE nspname IN (%1)")
                .arg(placeholders.join(QStringLiteral(", ")))
                .toUtf8(),
            parameters};
}

PgStatement pgColumnsStatement(const std::vector<std::pair<QString, QString>>& tables)
{
    std::vector<PgParameter> parameters;
    for (const auto& [schemaName, table] : tables) {
        parameters.push_back(schemaName.toUtf8());
        parameters.push_back(table.toUtf8());
    }
    return {columnsQuery(tables.size()).toUtf8(), parameters};
}

std::map<std::pair<QString, QString>, PgTable> pgTablesFrom(const PgResult& result)
{
    std::map<std::pair<QString, QString>, PgTable> tables;
    for (int row = 0; row < result.rows(); ++row) {
        PgTable& pg = tables[{text(result, row, 0), text(result, row, 1)}];
        pg.schemaName = text(result, row, 0);
        pg.schema.table = text(result, row, 1);
        ColumnInfo column;
        column.name = text(result, row, 2);
        column.declaredType = text(result, row, 3);
        column.notNull = text(result, row, 4) == u"t";
        column.primaryKeyPosition = text(result, row, 6).toInt();
        const PgColumnKind kind = pgColumnKind(text(result, row, 5));
        column.holdsDateTime = isPgDateTimeKind(kind);
        pg.schema.columns.push_back(column);
        pg.kinds.push_back(kind);
    }
    return tables;
}

PgTable readPgTable(PgConnection& conn, const QString& schemaName, const QString& table)
{
    const PgResult result = conn.execute(pgColumnsStatement({{schemaName, table}}), schemaName, table);
    std::map<std::pair<QString, QString>, PgTable> found = pgTablesFrom(result);
    const auto named = found.find({schemaName, table});
    if (table.isEmpty() || named == found.end()) {
        throw tableNotFound(table);
    }
    return std::move(named->second);
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
