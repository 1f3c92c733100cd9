#pragma once

#include "common/Value.h"

#include <QString>
#include <memory>
#include <vector>

namespace rp::engine {

class Database;

// The store contract: a table-type cursor, positioned on at most one row of one stored table, found by Seek
// through an index. Both engines keep it the same way:
// - "primaria" is the table's primary key, read from the store's own catalog; any other name is an index of the
//   table looked up by exact name. No key column is named in code.
// - Only the fields named by the caller are read or written; the tables may have any other columns.
// - Date-time columns hold local date-times in whole seconds; keys are compared for equality in that form.
// - Values always travel bound, identifiers always quoted.
// - A positioned cursor names its row by the values of the table's key ("primaria") as the seek found them; the
//   engine's row number (SQLite's rowid, PostgreSQL's ctid) never decides which row a write touches, since a
//   deleted row's number is handed to the next row added.
// - A cursor keeps the row as the seek read it: reading a field needs no connection, so the workspace may give its
//   connection back between the load and an action (Workspace::releaseConnection), however long the window waits.
// - Update and Delete are a compare-and-set in one statement: they take only if the row under that key still
//   holds what was read, in every field read from it or written to it (Null as Null, stored values as stored).
//   Otherwise nothing is written: RowDeletedByAnotherUser when no row has the key any more,
//   RowChangedByAnotherUser when it holds something else, and the row as it now stands is read so that the next
//   try writes on it.
// - The one read besides the cursor is Database::rowsByMoment, for the agenda watcher: the rows up to a moment and
//   the next moment, through the index of a date-time column, read alike (same field values) and writing nothing.
// Every failure raises RuntimeError with one of the EngineErrorNumber values.
class TableCursor
{
public:
    // OpenRecordset(table, table-type) on `db`. Raises TableNotFound for a missing table.
    static std::unique_ptr<TableCursor> open(const std::shared_ptr<Database>& db, const QString& table);
    virtual ~TableCursor() = default;

    virtual void setIndex(const QString& indexName) = 0;
    // Seek "=": one value per index column, in index order. Positions on the first match or leaves no current row.
    virtual void seek(const QString& comparison, const std::vector<Value>& keyValues) = 0;
    virtual bool noMatch() const = 0;

    // The current row's value of a field (Null when empty); NoCurrentRecord without a current row.
    virtual Value field(const QString& name) const = 0;

    virtual void edit() = 0;
    virtual void setField(const QString& name, const Value& value) = 0;
    // Writes the edited row; RowDeletedByAnotherUser / RowChangedByAnotherUser when another client got there
    // since the row was read, DatabaseLocked when the lock could not be had within the busy wait.
    virtual void update() = 0;
    // Deletes the current row; RowDeletedByAnotherUser when it is no longer there, RowChangedByAnotherUser when it
    // holds something else than was read.
    virtual void remove() = 0;
    virtual void close() = 0;

    virtual const QString& tableName() const = 0;

protected:
    TableCursor() = default;
};

} // namespace rp::engine
