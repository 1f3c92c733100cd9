#pragma once

#include <QString>
#include <vector>

namespace rp::engine {

class Database;

struct ColumnInfo
{
    QString name;
    QString declaredType;
    bool holdsDateTime = false;
    bool notNull = false;
    int primaryKeyPosition = 0; // 1-based position in the primary key, 0 when not part of it
};

// What the cursor needs to know about a stored table, read from the schema at opening.
struct TableSchema
{
    QString table;
    std::vector<ColumnInfo> columns;
    // How a row is named: the rowid under an alias no column hides, or, for a table WITHOUT ROWID,
    // its primary key columns.
    QString rowidAlias;
    std::vector<int> identityColumns;

    bool hasRowid() const { return !rowidAlias.isEmpty(); }
    // Index of the column, matched as SQLite matches identifiers (ASCII case ignored); -1 when absent.
    int columnIndex(const QString& name) const;
    std::vector<int> primaryKeyColumns() const;
};

// Raises TableNotFound unless `table` is a stored table of the database, named exactly so.
TableSchema readTableSchema(Database& db, const QString& table);

// The columns of the named index, in key order: "primaria" is the primary key, any other name an index of
// the table with exactly that name. Raises IndexNotFound.
std::vector<int> readIndexColumns(Database& db, const TableSchema& schema, const QString& indexName);

} // namespace rp::engine
