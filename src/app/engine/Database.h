#pragma once

#include "common/Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace rp::engine {

class TableCursor;

// One open database of the store: a file of the embedded store, or one operator's schema on the office server.
// Held by std::shared_ptr: releasing the last reference (the holder's and every cursor's) closes it.
class Database : public std::enable_shared_from_this<Database>
{
public:
    virtual ~Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // OpenRecordset(table, table-type). Raises TableNotFound for a missing table.
    virtual std::unique_ptr<TableCursor> openTable(const QString& table) = 0;

    // The named fields of every row of `table` whose `column` is at or before `limit` (rows where it is Null are
    // not), in the order of that column: one read through the column's index, for a watcher that asks what has
    // come due. The fields read as TableCursor::field reads them. Raises TableNotFound or FieldNotFound.
    virtual std::vector<std::vector<Value>> rowsUpTo(const QString& table, const QString& column, const Value& limit,
                                                     const QStringList& fields) = 0;

    // The name the operator and support staff know the database by: its file path or its schema.
    virtual const QString& name() const = 0;

protected:
    Database() = default;
};

} // namespace rp::engine
