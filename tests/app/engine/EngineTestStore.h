#pragma once

#include "common/RuntimeError.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace rp::engine::test {

// A plain SQLite connection of its own, standing for another process that shares the files.
class RawConnection
{
public:
    explicit RawConnection(const QString& path, bool create = true)
    {
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(m_db);
            sqlite3_close(m_db);
            throw std::runtime_error("cannot open test store: " + message);
        }
    }
    ~RawConnection() { sqlite3_close(m_db); }

    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    void exec(const QString& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error != nullptr ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error("test SQL failed: " + message);
        }
    }

    // The first column of the first row as text ("<NULL>" for NULL, "<none>" without a row).
    QString scalar(const QString& sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string("test query failed: ") + sqlite3_errmsg(m_db));
        }
        QString result = QStringLiteral("<none>");
        if (sqlite3_step(statement) == SQLITE_ROW) {
            result = sqlite3_column_type(statement, 0) == SQLITE_NULL
                         ? QStringLiteral("<NULL>")
                         : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3* m_db = nullptr;
};

// The project's layout file for one of the three databases ("DatiQZ", "VisiteQZ", "WorkQZ").
inline QString layoutSql(const QString& databaseName)
{
    QFile file(rp::suite::sourceDir() + QStringLiteral("/data/layout/%1.sql").arg(databaseName));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("layout file missing: " + databaseName.toStdString());
    }
    return QString::fromUtf8(file.readAll());
}

// A folder of stores made from the project's layout files, removed with the object.
class LayoutStores
{
public:
    // Creates "<name>.mdb" from the layout of that name and returns its path.
    QString create(const QString& databaseName)
    {
        const QString path = pathOf(databaseName);
        RawConnection raw(path);
        raw.exec(layoutSql(databaseName));
        return path;
    }
    QString pathOf(const QString& databaseName) const { return m_dir.filePath(databaseName + QStringLiteral(".mdb")); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Runs `operation` and checks that it raises the engine error `number` whose description mentions `mentioning`.
template <typename Operation>
::testing::AssertionResult raisesEngineError(Operation&& operation, int number, const QString& mentioning = {})
{
    try {
        operation();
    } catch (const RuntimeError& error) {
        if (error.number() != number) {
            return ::testing::AssertionFailure() << "raised " << error.what() << ", expected number " << number;
        }
        if (!error.description().contains(mentioning)) {
            return ::testing::AssertionFailure() << "description \"" << error.description().toStdString()
                                                 << "\" does not mention \"" << mentioning.toStdString() << "\"";
        }
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "no error raised, expected number " << number;
}

} // namespace rp::engine::test
