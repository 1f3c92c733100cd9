#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgDatabase.h"
#include "app/engine/postgres/PgSchema.h"

namespace rp::engine {

std::vector<std::vector<Value>> PgDatabase::rowsUpTo(const QString& table, const QString& column, const Value& limit,
                                                     const QStringList& fields)
{
    PgConnection& conn = connection();
    const PgTable pgTable = readPgTable(conn, m_schema, table);
    const auto indexOf = [&](const QString& name) {
        const int index = pgTable.schema.columnIndex(name);
        if (index < 0) {
            throw fieldNotFound(name, table);
        }
        return static_cast<std::size_t>(index);
    };
    const std::size_t limitIndex = indexOf(column);
    std::vector<PgColumnKind> kinds;
    QStringList selectList;
    for (const QString& field : fields) {
        const std::size_t index = indexOf(field);
        kinds.push_back(pgTable.kinds[index]);
        selectList << pgSelectExpression(conn.quotedIdentifier(pgTable.schema.columns[index].name), kinds.back());
    }
    const QString limitColumn = conn.quotedIdentifier(pgTable.schema.columns[limitIndex].name);
    const PgResult result =
        conn.execute(QStringLiteral("SELECT %1 FROM %2.%3 WHERE %4 <= $1 ORDER BY %4")
                         .arg(selectList.join(QStringLiteral(", ")), conn.quotedIdentifier(m_schema),
                              conn.quotedIdentifier(pgTable.schema.table), limitColumn),
                     {pgParameterFromValue(limit, pgTable.kinds[limitIndex])}, m_schema, pgTable.schema.table);
    std::vector<std::vector<Value>> rows;
    for (int r = 0; r < result.rows(); ++r) {
        std::vector<Value> row;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            row.push_back(valueFromPg(result.value(r, static_cast<int>(i)), kinds[i]));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace rp::engine
