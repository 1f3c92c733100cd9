#include "app/engine/DefaultWorkspace.h"
#include "app/engine/EngineError.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/TableCursor.h"
#include "app/engine/Workspace.h"
#include "app/engine/sqlite/SqliteDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace rp;
using namespace rp::engine;
using rp::engine::test::raisesEngineError;
using rp::engine::test::RawConnection;

namespace {

QStringList entriesOf(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

void createClients(const QString& path)
{
    RawConnection raw(path);
    raw.exec(test::layoutSql(QStringLiteral("DatiQZ")));
    raw.exec(QStringLiteral("INSERT INTO Clienti VALUES (57, 'ROSSI SRL', NULL)"));
}

} // namespace

// --- Files that cannot be opened ---

TEST(DatabaseOpen, MissingFileIsFileNotFoundNamingItAndCreatesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("WorkQZ.mdb"));
    EXPECT_TRUE(raisesEngineError([&] { SqliteDatabase::open(path); }, FileNotFound, path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(entriesOf(dir).isEmpty()) << entriesOf(dir).join(QLatin1Char(' ')).toStdString();
}

TEST(DatabaseOpen, FileThatIsNotSqliteIsNotADatabaseNamingIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DatiQZ.mdb"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // The first bytes of a desktop database file of the old engine, then filler.
    file.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4096, 'x'));
    file.close();
    EXPECT_TRUE(raisesEngineError([&] { SqliteDatabase::open(path); }, NotADatabase, path));
}

TEST(DatabaseOpen, FolderIsRefusedNamingIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VisiteQZ.mdb"));
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_TRUE(raisesEngineError([&] { SqliteDatabase::open(path); }, FileNotAccessible, path));
}

// --- Paths are plain file names ---

TEST(DatabaseOpen, PathWithBlanksHashPercentAndQuestionMarkNamesExactlyThatFile)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("uff 1#a%20b?c"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Dati QZ#1%41?.mdb");
    createClients(path);
    const QStringList before = QDir(folder).entryList(QDir::Files);

    auto db = SqliteDatabase::open(path);
    auto cursor = TableCursor::open(db, QStringLiteral("Clienti"));
    cursor->setIndex(QStringLiteral("primaria"));
    cursor->seek(QStringLiteral("="), {Value::integer(57)});
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("CliRagsoc")), Value::text(QStringLiteral("ROSSI SRL")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), before);
}

TEST(DatabaseOpen, RelativePathStartingWithFileIsNotReadAsUri)
{
    QTemporaryDir dir;
    createClients(dir.filePath(QStringLiteral("file:DatiQZ.mdb")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_NO_THROW(SqliteDatabase::open(QStringLiteral("file:DatiQZ.mdb")));
    QDir::setCurrent(previous);
    EXPECT_EQ(entriesOf(dir), QStringList{QStringLiteral("file:DatiQZ.mdb")});
}

// --- Sharing ---

TEST(DatabaseOpen, OpeningWaitsForAnotherProcessThatHoldsTheFileExclusively)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DatiQZ.mdb"));
    createClients(path);

    std::promise<void> locked;
    std::thread other([&] {
        RawConnection raw(path, false);
        raw.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        raw.exec(QStringLiteral("COMMIT"));
    });
    locked.get_future().wait();
    QElapsedTimer timer;
    timer.start();
    EXPECT_NO_THROW(SqliteDatabase::open(path));
    EXPECT_GE(timer.elapsed(), 200);
    other.join();
}

TEST(DatabaseOpen, DefaultWorkspaceIsOnePerProcessWhileHeld)
{
    const auto first = defaultWorkspace();
    const auto second = defaultWorkspace();
    EXPECT_EQ(first.get(), second.get());
}

TEST(DatabaseOpen, ConnectionLivesAsLongAsACursorOnIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DatiQZ.mdb"));
    createClients(path);
    auto db = defaultWorkspace()->openDatabase(path);
    auto cursor = TableCursor::open(db, QStringLiteral("Clienti"));
    db.reset();
    cursor->setIndex(QStringLiteral("primaria"));
    cursor->seek(QStringLiteral("="), {Value::integer(57)});
    EXPECT_FALSE(cursor->noMatch());
}
