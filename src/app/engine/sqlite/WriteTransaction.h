#pragma once

#include <QString>

struct sqlite3;

namespace rp::engine {

// BEGIN IMMEDIATE ... COMMIT, rolled back when the scope ends without a commit. Taking the write lock at the
// start makes a busy file wait the busy timeout once, up front, instead of failing halfway through.
class WriteTransaction
{
public:
    WriteTransaction(sqlite3* db, QString file, QString table);
    ~WriteTransaction();

    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    void commit();

private:
    void execute(const char* sql);

    sqlite3* m_db;
    QString m_file;
    QString m_table;
    bool m_open = false;
};

} // namespace rp::engine
