#pragma once

#include "common/Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace rp::engine {

class Database;

// A table-type cursor: positioned on at most one row of one stored table, found by Seek through an index.
// Every failure raises RuntimeError with one of the EngineErrorNumber values.
class TableCursor
{
public:
    // OpenRecordset(table, table-type). Raises TableNotFound for a missing table.
    static std::unique_ptr<TableCursor> open(std::shared_ptr<Database> db, const QString& table);
    ~TableCursor();

    // "primaria" is the table's primary key; any other name is an index of the table looked up by exact name.
    void setIndex(const QString& indexName);
    // Seek "=": one value per index column, in index order. Date-time values are compared in the
    // store's text form on date-time columns. Positions on the first match or leaves no current row.
    void seek(const QString& comparison, const std::vector<Value>& keyValues);
    bool noMatch() const;

    // The current row's value of a field (Null for SQL NULL); NoCurrentRecord without a current row.
    Value field(const QString& name) const;

    void edit();
    void setField(const QString& name, const Value& value);
    // Writes the edited row; RowDeletedByAnotherUser / RowChangedByAnotherUser when another process got there
    // first, DatabaseLocked when the lock could not be had within the busy wait.
    void update();
    // Deletes the current row.
    void remove();
    void close();

    const QString& tableName() const;

private:
    struct Impl;
    explicit TableCursor(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace rp::engine
