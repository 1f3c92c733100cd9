#include "app/engine/EngineErrors.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "app/engine/sqlite/SqliteFailure.h"
#include "app/engine/sqlite/SqliteSchema.h"
#include "app/engine/sqlite/Statement.h"
#include "app/engine/sqlite/StoredValue.h"

namespace rp::engine {

namespace {

// Date-times are held as text in a form that sorts as the moments do, so comparisons and order are those of the
// text and the index on the column serves them. Every such text sorts at or before this one; a text after it (a
// word, "domani alle 9") can be no date-time.
const QString LastStoredMoment = QStringLiteral("9999-12-31 23:59:59");

} // namespace

QStringList SqliteDatabase::indexColumns(const QString& table, const QString& indexName)
{
    const TableSchema schema = readTableSchema(*this, table);
    QStringList names;
    for (const int column : readIndexColumns(*this, schema, indexName)) {
        names << schema.columns[static_cast<std::size_t>(column)].name;
    }
    return names;
}

Database::MomentRows SqliteDatabase::rowsByMoment(const QString& table, const QString& column, const Value& limit,
                                                  const QStringList& fields)
{
    const TableSchema schema = readTableSchema(*this, table);
    const auto columnOf = [&](const QString& name) -> const ColumnInfo& {
        const int index = schema.columnIndex(name);
        if (index < 0) {
            throw fieldNotFound(name, table);
        }
        return schema.columns[static_cast<std::size_t>(index)];
    };
    const ColumnInfo& momentColumn = columnOf(column);
    std::vector<const ColumnInfo*> read;
    QStringList selectList;
    for (const QString& field : fields) {
        read.push_back(&columnOf(field));
        selectList << quotedIdentifier(read.back()->name);
    }
    const QString moment = quotedIdentifier(momentColumn.name);
    const QString from = QStringLiteral("SELECT %1 FROM %2 WHERE ")
                             .arg(selectList.join(QStringLiteral(", ")), quotedIdentifier(schema.table));
    const bool textMoments = momentColumn.holdsDateTime;
    const StoredValue storedLimit = storedFromValue(limit, textMoments);

    const auto rowsOf = [&](const QString& condition, bool boundLimit) {
        Statement statement(handle(), from + condition, m_path, schema.table);
        const ResetOnExit reset(statement);
        if (boundLimit) {
            statement.bind(1, storedLimit);
        }
        std::vector<std::vector<Value>> rows;
        while (statement.step()) {
            std::vector<Value> row;
            for (std::size_t i = 0; i < read.size(); ++i) {
                row.push_back(valueFromStored(statement.column(static_cast<int>(i)), read[i]->holdsDateTime));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    };
    // Each condition is a range of the column's index (or its Null entries).
    const QString afterEveryMoment =
        textMoments ? QStringLiteral(" OR %1 > '%2'").arg(moment, LastStoredMoment) : QString();
    const QString beforeLastMoment =
        textMoments ? QStringLiteral(" AND %1 <= '%2'").arg(moment, LastStoredMoment) : QString();
    MomentRows result;
    result.upTo = rowsOf(QStringLiteral("%1 <= ? ORDER BY %1").arg(moment), true);
    result.withoutMoment = rowsOf(QStringLiteral("%1 IS NULL%2").arg(moment, afterEveryMoment), false);

    Statement next(handle(),
                   QStringLiteral("SELECT %1 FROM %2 WHERE %1 > ?%3 ORDER BY %1 LIMIT 1")
                       .arg(moment, quotedIdentifier(schema.table), beforeLastMoment),
                   m_path, schema.table);
    const ResetOnExit resetNext(next);
    next.bind(1, storedLimit);
    if (next.step()) {
        result.nextAfter = valueFromStored(next.column(0), textMoments);
    }
    return result;
}

} // namespace rp::engine
