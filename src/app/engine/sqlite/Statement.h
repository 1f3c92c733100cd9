#pragma once

#include "app/engine/sqlite/StoredValue.h"

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace rp::engine {

// One prepared SQLite statement, finalised with its owner. Failures raise the engine's errors, naming `file`
// and, for refused values, `table`.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql, QString file, QString table = {});
    ~Statement();

    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1.
    void bind(int position, const StoredValue& value);
    void bindText(int position, const QString& text);

    // One step: true when a row is ready to read, false when the statement has finished.
    bool step();
    // Makes the statement ready to run again and drops its bindings.
    void reset();

    int columnCount() const;
    StoredValue column(int index) const;
    QString columnText(int index) const;
    qint64 columnInteger(int index) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    QString m_file;
    QString m_table;
};

// Resets a statement when the scope ends, on every path: a statement left on a row keeps its read lock on
// the file, which would stall the other processes that want to write.
class ResetOnExit
{
public:
    explicit ResetOnExit(Statement& statement) : m_statement(statement) {}
    ~ResetOnExit() { m_statement.reset(); }

    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

private:
    Statement& m_statement;
};

} // namespace rp::engine
