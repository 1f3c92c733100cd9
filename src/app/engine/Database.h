#pragma once

#include "common/Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
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

    // The columns of the table's index `indexName`, by name and in key order, resolved as a cursor's setIndex
    // resolves them: "primaria" is the table's own primary key (on the files, failing that, an index so named),
    // whatever its columns are called. Raises TableNotFound, IndexNotFound or NoPrimaryKey.
    virtual QStringList indexColumns(const QString& table, const QString& indexName) = 0;

    // What a watcher asks of a table at every look, through the index of its date-time column `column`; the named
    // fields read as TableCursor::field reads them. Raises TableNotFound or FieldNotFound.
    struct MomentRows
    {
        std::vector<std::vector<Value>> upTo; // `column` at or before the limit, in the order of that column
        // `column` holding no moment: Null, or on the files a text that sorts after every date-time. (A text
        // among the date-times that is none is in upTo once its text is reached, for the caller to refuse.)
        std::vector<std::vector<Value>> withoutMoment;
        std::optional<Value> nextAfter; // the earliest date-time of `column` after the limit
    };
    virtual MomentRows rowsByMoment(const QString& table, const QString& column, const Value& limit,
                                    const QStringList& fields) = 0;

    // The name the operator and support staff know the database by: its file path or its schema.
    virtual const QString& name() const = 0;

protected:
    Database() = default;
};

} // namespace rp::engine
