#include "app/engine/sqlite/Statement.h"

#include "app/engine/sqlite/SqliteFailure.h"

#include <sqlite3.h>

namespace rp::engine {

Statement::Statement(sqlite3* db, const QString& sql, QString file, QString table)
    : m_db(db), m_file(std::move(file)), m_table(std::move(table))
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        const RuntimeError error = sqliteFailure(m_db, rc, m_file, m_table);
        sqlite3_finalize(m_statement);
        throw error;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

void Statement::bind(int position, const StoredValue& value)
{
    int rc = SQLITE_OK;
    switch (value.type) {
    case StoredValue::Type::Null:
        rc = sqlite3_bind_null(m_statement, position);
        break;
    case StoredValue::Type::Integer:
        rc = sqlite3_bind_int64(m_statement, position, value.integer);
        break;
    case StoredValue::Type::Real:
        rc = sqlite3_bind_double(m_statement, position, value.real);
        break;
    case StoredValue::Type::Text:
        rc = sqlite3_bind_text64(m_statement, position, value.bytes.constData(),
                                 static_cast<sqlite3_uint64>(value.bytes.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    case StoredValue::Type::Blob:
        rc = sqlite3_bind_blob64(m_statement, position, value.bytes.constData(),
                                 static_cast<sqlite3_uint64>(value.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) {
        throw sqliteFailure(m_db, rc, m_file, m_table);
    }
}

void Statement::bindText(int position, const QString& text)
{
    StoredValue value;
    value.type = StoredValue::Type::Text;
    value.bytes = text.toUtf8();
    bind(position, value);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    throw sqliteFailure(m_db, rc, m_file, m_table);
}

void Statement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

StoredValue Statement::column(int index) const
{
    StoredValue value;
    switch (sqlite3_column_type(m_statement, index)) {
    case SQLITE_INTEGER:
        value.type = StoredValue::Type::Integer;
        value.integer = sqlite3_column_int64(m_statement, index);
        break;
    case SQLITE_FLOAT:
        value.type = StoredValue::Type::Real;
        value.real = sqlite3_column_double(m_statement, index);
        break;
    case SQLITE_TEXT: {
        value.type = StoredValue::Type::Text;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
        value.bytes = QByteArray(text, sqlite3_column_bytes(m_statement, index));
        break;
    }
    case SQLITE_BLOB: {
        value.type = StoredValue::Type::Blob;
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(m_statement, index));
        value.bytes = QByteArray(blob, sqlite3_column_bytes(m_statement, index));
        break;
    }
    default:
        break;
    }
    return value;
}

QString Statement::columnText(int index) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, index));
}

qint64 Statement::columnInteger(int index) const
{
    return sqlite3_column_int64(m_statement, index);
}

} // namespace rp::engine
