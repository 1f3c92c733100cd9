#include "app/engine/EngineErrors.h"
#include "app/engine/postgres/PgConnection.h"
#include "app/engine/postgres/PgDatabase.h"
#include "app/engine/postgres/PgSchema.h"

namespace rp::engine {

QStringList PgDatabase::indexColumns(const QString& table, const QString& indexName)
{
    PgConnection& conn = connection();
    const PgTable pgTable = readPgTable(conn, m_schema, table);
    QStringList names;
    for (const int column : readPgIndexColumns(conn, pgTable, indexName)) {
        names << pgTable.schema.columns[static_cast<std::size_t>(column)].name;
    }
    return names;
}

Database::MomentRows PgDatabase::rowsByMoment(const QString& table, const QString& column, const Value& limit,
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
    const std::size_t momentIndex = indexOf(column);
    std::vector<PgColumnKind> kinds;
    QStringList selectList;
    for (const QString& field : fields) {
        const std::size_t index = indexOf(field);
        kinds.push_back(pgTable.kinds[index]);
        selectList << pgSelectExpression(conn.quotedIdentifier(pgTable.schema.columns[index].name), kinds.back());
    }
    const PgColumnKind momentKind = pgTable.kinds[momentIndex];
    const QString moment = conn.quotedIdentifier(pgTable.schema.columns[momentIndex].name);
    const QString relation =
        conn.quotedIdentifier(m_schema) + QLatin1Char('.') + conn.quotedIdentifier(pgTable.schema.table);
    const QString from =
        QStringLiteral("SELECT %1 FROM %2 WHERE ").arg(selectList.join(QStringLiteral(", ")), relation);
    const PgParameter boundLimit = pgParameterFromValue(limit, momentKind);
    // One round trip for the three reads, each a range of the column's index.
    const std::vector<PgResult> results =
        conn.executeBatch({{(from + QStringLiteral("%1 <= $1 ORDER BY %1").arg(moment)).toUtf8(), {boundLimit}},
                           {(from + QStringLiteral("%1 IS NULL").arg(moment)).toUtf8(), {}},
                           {QStringLiteral("SELECT %1 FROM %2 WHERE %3 > $1 ORDER BY %3 LIMIT 1")
                                .arg(pgSelectExpression(moment, momentKind), relation, moment)
                                .toUtf8(),
                            {boundLimit}}},
                          m_schema, pgTable.schema.table);
    const auto rowsOf = [&](const PgResult& result) {
        std::vector<std::vector<Value>> rows;
        for (int r = 0; r < result.rows(); ++r) {
            std::vector<Value> row;
            for (std::size_t i = 0; i < kinds.size(); ++i) {
                row.push_back(valueFromPg(result.value(r, static_cast<int>(i)), kinds[i]));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    };
    MomentRows found;
    found.upTo = rowsOf(results.at(0));
    found.withoutMoment = rowsOf(results.at(1));
    if (results.at(2).rows() > 0) {
        found.nextAfter = valueFromPg(results.at(2).value(0, 0), momentKind);
    }
    return found;
}

} // namespace rp::engine
