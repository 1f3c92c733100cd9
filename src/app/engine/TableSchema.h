#pragma once

#include <QString>
#include <vector>

namespace rp::engine {

// The index name that stands for the table's primary key.
inline const QString PrimaryKeyIndexName = QStringLiteral("primaria");

struct ColumnInfo
{
    QString name;
    QString declaredType;
    bool holdsDateTime = false;
    bool notNull = false;
    int primaryKeyPosition = 0; // 1-based position in the primary key, 0 when not part of it
};

// What a cursor needs to know about a stored table, read from the store's catalog at opening.
struct TableSchema
{
    QString table;
    std::vector<ColumnInfo> columns;
    // How a row is named: the rowid under an alias no column hides (files only), or else its primary key
    // columns.
    QString rowidAlias;
    std::vector<int> identityColumns;

    bool hasRowid() const { return !rowidAlias.isEmpty(); }
    // Index of the column, matched as SQL matches unquoted identifiers (ASCII case ignored); -1 when absent.
    int columnIndex(const QString& name) const;
    std::vector<int> primaryKeyColumns() const;
};

} // namespace rp::engine
