#include "app/engine/EngineErrors.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "app/engine/sqlite/SqliteFailure.h"
#include "app/engine/sqlite/SqliteSchema.h"
#include "app/engine/sqlite/Statement.h"
#include "app/engine/sqlite/StoredValue.h"

namespace rp::engine {

std::vector<std::vector<Value>> SqliteDatabase::rowsUpTo(const QString& table, const QString& column,
                                                         const Value& limit, const QStringList& fields)
{
    const TableSchema schema = readTableSchema(*this, table);
    const auto columnOf = [&](const QString& name) -> const ColumnInfo& {
        const int index = schema.columnIndex(name);
        if (index < 0) {
            throw fieldNotFound(name, table);
        }
        return schema.columns[static_cast<std::size_t>(index)];
    };
    const ColumnInfo& limitColumn = columnOf(column);
    std::vector<const ColumnInfo*> read;
    QStringList selectList;
    for (const QString& field : fields) {
        read.push_back(&columnOf(field));
        selectList << quotedIdentifier(read.back()->name);
    }
    // Date-times are held as text in a form that sorts as the moments do, so the comparison and the order are
    // those of the text, and the index on the column serves both.
    Statement statement(handle(),
                        QStringLiteral("SELECT %1 FROM %2 WHERE %3 <= ? ORDER BY %3")
                            .arg(selectList.join(QStringLiteral(", ")), quotedIdentifier(schema.table),
                                 quotedIdentifier(limitColumn.name)),
                        m_path, schema.table);
    const ResetOnExit reset(statement);
    statement.bind(1, storedFromValue(limit, limitColumn.holdsDateTime));
    std::vector<std::vector<Value>> rows;
    while (statement.step()) {
        std::vector<Value> row;
        for (std::size_t i = 0; i < read.size(); ++i) {
            row.push_back(valueFromStored(statement.column(static_cast<int>(i)), read[i]->holdsDateTime));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace rp::engine
