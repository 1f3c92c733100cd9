#pragma once

#include <QString>
#include <memory>

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

    // The name the operator and support staff know the database by: its file path or its schema.
    virtual const QString& name() const = 0;

protected:
    Database() = default;
};

} // namespace rp::engine
