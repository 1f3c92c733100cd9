#include "app/engine/EngineError.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/TableCursor.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"

#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace rp;
using namespace rp::engine;
using rp::engine::test::raisesEngineError;
using rp::engine::test::RawConnection;

namespace {

// The hook is process-wide: every test installs its own and removes it on the way out.
class LockWait : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_stores.create(QStringLiteral("WorkQZ"));
        RawConnection(m_path).exec(QStringLiteral(
            "INSERT INTO Promemoria VALUES (57, '2024-05-14 09:30:00', 'MAN', '/doc/a.txt', NULL, 'S')"));
        m_db = SqliteDatabase::open(m_path);
        m_reminder = TableCursor::open(m_db, QStringLiteral("Promemoria"));
        m_reminder->setIndex(QStringLiteral("primaria"));
        m_reminder->seek(QStringLiteral("="),
                         {Value::integer(57),
                          Value::dateTime(*daySerialFromStorageText(QStringLiteral("2024-05-14 09:30:00"))),
                          Value::text(QStringLiteral("MAN"))});
        ASSERT_FALSE(m_reminder->noMatch());
        m_clock.start();
    }
    void TearDown() override { setLockWaitHook({}); }

    void countHookCalls(std::chrono::milliseconds hookTakes = {})
    {
        setLockWaitHook([this, hookTakes] {
            ++m_hookCalls;
            m_lastHookAt = m_clock.elapsed();
            std::this_thread::sleep_for(hookTakes);
        });
    }

    void markWaiting()
    {
        m_reminder->edit();
        m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
        m_clock.restart();
        m_reminder->update();
    }

    QString storedWait() { return RawConnection(m_path).scalar(QStringLiteral("SELECT PmWait FROM Promemoria")); }

    test::LayoutStores m_stores;
    QString m_path;
    std::shared_ptr<SqliteDatabase> m_db;
    std::unique_ptr<TableCursor> m_reminder;
    std::atomic<int> m_hookCalls{0};
    std::atomic<qint64> m_lastHookAt{0};
    QElapsedTimer m_clock;
};

} // namespace

TEST_F(LockWait, HookRunsThroughoutAWaitThatEndsInDatabaseLockedAtTheBound)
{
    countHookCalls();
    m_db->setBusyTimeout(400);
    RawConnection other(m_path, false);
    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_TRUE(raisesEngineError([&] { markWaiting(); }, DatabaseLocked, m_path));
    const qint64 waited = m_clock.elapsed();
    other.exec(QStringLiteral("COMMIT"));

    EXPECT_GE(waited, 400);
    EXPECT_LT(waited, 1000);
    // Steps of LockWaitStepMs: many calls, the last one near the end of the wait, not only at its start.
    EXPECT_GE(m_hookCalls.load(), 400 / LockWaitStepMs / 2);
    EXPECT_GE(m_lastHookAt.load(), 300);
    EXPECT_EQ(storedWait(), QStringLiteral("S"));
}

TEST_F(LockWait, SlowHookDoesNotStretchTheWaitBeyondTheBound)
{
    countHookCalls(std::chrono::milliseconds(120));
    m_db->setBusyTimeout(300);
    RawConnection other(m_path, false);
    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_TRUE(raisesEngineError([&] { markWaiting(); }, DatabaseLocked));
    const qint64 waited = m_clock.elapsed();
    other.exec(QStringLiteral("COMMIT"));
    // At most one hook call and one step can start before the bound is reached.
    EXPECT_LT(waited, 300 + 120 + LockWaitStepMs + 150);
    EXPECT_GE(m_hookCalls.load(), 2);
}

TEST_F(LockWait, LockReleasedWithinTheBoundIsWaitedOutAndTheWriteGoesThrough)
{
    countHookCalls();
    std::promise<void> locked;
    std::thread holder([&] {
        RawConnection other(m_path, false);
        other.exec(QStringLiteral("BEGIN IMMEDIATE"));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        other.exec(QStringLiteral("COMMIT"));
    });
    locked.get_future().wait();
    EXPECT_NO_THROW(markWaiting());
    const qint64 waited = m_clock.elapsed();
    holder.join();
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, BusyTimeoutMs);
    EXPECT_GE(m_hookCalls.load(), 1);
    EXPECT_EQ(storedWait(), QStringLiteral(" "));
}

TEST_F(LockWait, NoHookInstalledStillWaitsTheBound)
{
    m_db->setBusyTimeout(200);
    RawConnection other(m_path, false);
    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_TRUE(raisesEngineError([&] { markWaiting(); }, DatabaseLocked));
    EXPECT_GE(m_clock.elapsed(), 200);
    other.exec(QStringLiteral("COMMIT"));
}
