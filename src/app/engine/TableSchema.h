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
    // The rowid under an alias no column hides (files only): it orders the matches of a seek, and never names
    // the row a write goes to, since SQLite gives a deleted row's number to the next row added.
    QString rowidAlias;

    bool hasRowid() const { return !rowidAlias.isEmpty(); }
    // Index of the column, matched as SQL matches unquoted identifiers (ASCII case ignored); -1 when absent.
    int columnIndex(const QString& name) const;
    std::vector<int> primaryKeyColumns() const;
};

} // namespace rp::engine
