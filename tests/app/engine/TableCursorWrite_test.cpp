#include "app/engine/EngineError.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/TableCursor.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"

#include <QElapsedTimer>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace rp;
using namespace rp::engine;
using rp::engine::test::raisesEngineError;
using rp::engine::test::RawConnection;

namespace {

const QString Primary = QStringLiteral("primaria");
const QString Equal = QStringLiteral("=");
const QString DueText = QStringLiteral("2024-05-14 09:30:00");

double dueSerial()
{
    return *daySerialFromStorageText(DueText);
}

std::vector<Value> reminderKey(qint64 client, const QString& action)
{
    return {Value::integer(client), Value::dateTime(dueSerial()), Value::text(action)};
}

class TableCursorWrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_workPath = m_stores.create(QStringLiteral("WorkQZ"));
        RawConnection work(m_workPath);
        // An extra column of the scheduling application's own, which the program must leave alone.
        work.exec(QStringLiteral(
            "ALTER TABLE Promemoria ADD COLUMN PmOperatore TEXT;"
            "INSERT INTO Promemoria VALUES (57, '2024-05-14 09:30:00', 'MAN', '/doc/a.txt', NULL, 'S', 'ANNA');"
            "INSERT INTO Promemoria VALUES (57, '2024-05-14 09:30:00', 'INS', '/doc/b.txt', NULL, 'S', 'ANNA');"
            "INSERT INTO Promemoria VALUES (58, '2024-05-14 09:30:00', 'MAN', '/doc/c.txt', NULL, 'S', 'ANNA');"));
        m_db = SqliteDatabase::open(m_workPath);
        m_reminder = TableCursor::open(m_db, QStringLiteral("Promemoria"));
        m_reminder->setIndex(Primary);
        m_reminder->seek(Equal, reminderKey(57, QStringLiteral("MAN")));
        ASSERT_FALSE(m_reminder->noMatch());
    }

    QString stored(const QString& sql) { return RawConnection(m_workPath).scalar(sql); }
    QString rowsAsText()
    {
        return stored(QStringLiteral("SELECT group_concat(r, ' | ') FROM (SELECT PmCliente || ',' || PmAzione || ',' "
                                     "|| ifnull(PmDocumento, '-') || ',' || ifnull(PmAllarm, '-') || ',' || "
                                     "ifnull(PmWait, '-') || ',' || ifnull(PmOperatore, '-') AS r FROM Promemoria "
                                     "ORDER BY PmCliente, PmAzione)"));
    }

    void postpone(double nextAlarm)
    {
        m_reminder->edit();
        m_reminder->setField(QStringLiteral("PmAllarm"), Value::dateTime(nextAlarm));
        m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
        m_reminder->update();
    }

    test::LayoutStores m_stores;
    QString m_workPath;
    std::shared_ptr<SqliteDatabase> m_db;
    std::unique_ptr<TableCursor> m_reminder;
};

} // namespace

// --- Updating exactly one row ---

TEST_F(TableCursorWrite, UpdateWritesTheSetFieldsOfThatRowOnly)
{
    const QString before = rowsAsText();
    postpone(dueSerial() + 15.0 / 1440.0);
    EXPECT_EQ(rowsAsText(), QString(before).replace(QStringLiteral("57,MAN,/doc/a.txt,-,S,ANNA"),
                                                    QStringLiteral("57,MAN,/doc/a.txt,2024-05-14 09:45:00, ,ANNA")));
    // Still on the same row, which reads back as written.
    EXPECT_EQ(m_reminder->field(QStringLiteral("PmAllarm")), Value::dateTime(dueSerial() + 15.0 / 1440.0));
    EXPECT_EQ(
        stored(QStringLiteral("SELECT typeof(PmAllarm) FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57")),
        QStringLiteral("text"));
}

TEST_F(TableCursorWrite, RepeatedUpdatesOfTheSameRowEachSucceed)
{
    postpone(dueSerial() + 1.0 / 1440.0);
    postpone(dueSerial() + 2.0 / 1440.0);
    EXPECT_EQ(stored(QStringLiteral("SELECT PmAllarm FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57")),
              QStringLiteral("2024-05-14 09:32:00"));
}

TEST_F(TableCursorWrite, FieldReadsTheValueBeingWrittenDuringEdit)
{
    m_reminder->edit();
    m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    EXPECT_EQ(m_reminder->field(QStringLiteral("PmWait")), Value::text(QStringLiteral(" ")));
    EXPECT_EQ(stored(QStringLiteral("SELECT PmWait FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57")),
              QStringLiteral("S"));
}

TEST_F(TableCursorWrite, SetFieldAndUpdateNeedEdit)
{
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->setField(QStringLiteral("PmWait"), Value()); }, UpdateWithoutEdit));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, UpdateWithoutEdit));
    m_reminder->edit();
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->setField(QStringLiteral("PmNessuno"), Value()); }, FieldNotFound,
                                  QStringLiteral("'PmNessuno'")));
    m_reminder->update();
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, UpdateWithoutEdit));
}

// --- Other processes ---

TEST_F(TableCursorWrite, UpdateWaitsForAShortLockThenSucceeds)
{
    std::promise<void> locked;
    std::thread other([&] {
        RawConnection raw(m_workPath, false);
        raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        raw.exec(QStringLiteral("COMMIT"));
    });
    locked.get_future().wait();
    QElapsedTimer timer;
    timer.start();
    EXPECT_NO_THROW(postpone(dueSerial() + 5.0 / 1440.0));
    EXPECT_GE(timer.elapsed(), 200);
    other.join();
    EXPECT_EQ(stored(QStringLiteral("SELECT PmAllarm FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57")),
              QStringLiteral("2024-05-14 09:35:00"));
}

TEST_F(TableCursorWrite, LockHeldBeyondTheBusyWaitIsDatabaseLockedAndWritesNothing)
{
    m_db->setBusyTimeout(150);
    const QString before = rowsAsText();
    RawConnection other(m_workPath, false);
    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
    m_reminder->edit();
    m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, DatabaseLocked, m_workPath));
    other.exec(QStringLiteral("COMMIT"));
    EXPECT_EQ(rowsAsText(), before);
    // The failed update ended the edit; the cursor stays on its row and works again.
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, UpdateWithoutEdit));
    EXPECT_NO_THROW(postpone(dueSerial()));

    other.exec(QStringLiteral("BEGIN IMMEDIATE"));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->remove(); }, DatabaseLocked));
    other.exec(QStringLiteral("COMMIT"));
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM Promemoria")), QStringLiteral("3"));
}

TEST_F(TableCursorWrite, RowDeletedAfterTheSeekIsAnErrorAtUpdate)
{
    m_reminder->edit();
    RawConnection(m_workPath).exec(QStringLiteral("DELETE FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57"));
    m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, RowDeletedByAnotherUser));
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM Promemoria WHERE PmWait = ' '")), QStringLiteral("0"));
}

TEST_F(TableCursorWrite, RowChangedSinceTheSeekKeepsTheOtherProcessesChangeUnlessNoFieldReadOrWrittenChanged)
{
    EXPECT_EQ(m_reminder->field(QStringLiteral("PmDocumento")), Value::text(QStringLiteral("/doc/a.txt")));
    RawConnection other(m_workPath);
    // A column the cursor neither read nor writes is the scheduling application's business.
    other.exec(QStringLiteral("UPDATE Promemoria SET PmOperatore = 'LUCA' WHERE PmAzione = 'MAN' AND PmCliente = 57"));
    postpone(dueSerial());
    other.exec(QStringLiteral("UPDATE Promemoria SET PmDocumento = '/doc/nuovo.txt', PmWait = 'S' WHERE PmAzione = "
                              "'MAN' AND PmCliente = 57"));
    m_reminder->edit();
    m_reminder->setField(QStringLiteral("PmAllarm"), Value());
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->update(); }, RowChangedByAnotherUser));
    EXPECT_EQ(stored(QStringLiteral("SELECT PmDocumento || PmWait || PmAllarm FROM Promemoria WHERE PmAzione = 'MAN' "
                                    "AND PmCliente = 57")),
              QStringLiteral("/doc/nuovo.txtS2024-05-14 09:30:00"));
    // Tried again, the write applies to the row as it now stands.
    m_reminder->edit();
    m_reminder->setField(QStringLiteral("PmAllarm"), Value());
    m_reminder->update();
    EXPECT_EQ(rowsAsText(), QStringLiteral("57,INS,/doc/b.txt,-,S,ANNA | 57,MAN,/doc/nuovo.txt,-,S,LUCA | "
                                           "58,MAN,/doc/c.txt,-,S,ANNA"));
}

// --- Values the table refuses ---

TEST_F(TableCursorWrite, ConstraintFailureIsValueNotAcceptedAndWritesNothing)
{
    RawConnection(m_workPath)
        .exec(
            QStringLiteral("CREATE TABLE Soglie (Codice TEXT PRIMARY KEY, Minuti REAL CHECK (Minuti >= 0), Nota TEXT);"
                           "INSERT INTO Soglie VALUES ('A', 5, 'nota');"));
    auto cursor = TableCursor::open(m_db, QStringLiteral("Soglie"));
    cursor->setIndex(Primary);
    cursor->seek(Equal, {Value::text(QStringLiteral("A"))});
    cursor->edit();
    cursor->setField(QStringLiteral("Nota"), Value::text(QStringLiteral("cambiata")));
    cursor->setField(QStringLiteral("Minuti"), Value::real(-1));
    EXPECT_TRUE(raisesEngineError([&] { cursor->update(); }, ValueNotAccepted, QStringLiteral("Soglie")));
    EXPECT_EQ(stored(QStringLiteral("SELECT Minuti || Nota FROM Soglie")), QStringLiteral("5.0nota"));
}

TEST_F(TableCursorWrite, NullForANotNullFieldIsRefusedAndTheOtherFieldsStillWritten)
{
    m_reminder->edit();
    EXPECT_TRUE(
        raisesEngineError([&] { m_reminder->setField(QStringLiteral("PmAzione"), Value()); }, ValueNotAccepted));
    m_reminder->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    m_reminder->update();
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57 AND "
                                    "PmWait = ' '")),
              QStringLiteral("1"));
}

// --- Deleting ---

TEST_F(TableCursorWrite, RemoveDeletesExactlyTheCurrentRow)
{
    m_reminder->remove();
    EXPECT_EQ(rowsAsText(), QStringLiteral("57,INS,/doc/b.txt,-,S,ANNA | 58,MAN,/doc/c.txt,-,S,ANNA"));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->field(QStringLiteral("PmDocumento")); }, NoCurrentRecord));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->remove(); }, NoCurrentRecord));
}

TEST_F(TableCursorWrite, RemovingARowAnotherProcessDeletedIsAnError)
{
    RawConnection(m_workPath).exec(QStringLiteral("DELETE FROM Promemoria WHERE PmAzione = 'MAN' AND PmCliente = 57"));
    EXPECT_TRUE(raisesEngineError([&] { m_reminder->remove(); }, RowDeletedByAnotherUser));
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM Promemoria")), QStringLiteral("2"));
}

// --- Kinds of tables ---

TEST_F(TableCursorWrite, IntegerPrimaryKeyRowIsUpdatedAndRemoved)
{
    const QString dataPath = m_stores.create(QStringLiteral("DatiQZ"));
    RawConnection(dataPath).exec(QStringLiteral("INSERT INTO Clienti VALUES (57, 'ROSSI', 'R'), (58, 'BIANCHI', 'B')"));
    auto cursor = TableCursor::open(SqliteDatabase::open(dataPath), QStringLiteral("Clienti"));
    cursor->setIndex(Primary);
    cursor->seek(Equal, {Value::integer(58)});
    cursor->edit();
    cursor->setField(QStringLiteral("CliRagsoc"), Value::text(QStringLiteral("BIANCHI SPA")));
    cursor->update();
    cursor->seek(Equal, {Value::integer(57)});
    cursor->remove();
    EXPECT_EQ(RawConnection(dataPath).scalar(QStringLiteral("SELECT group_concat(CliCodice || CliRagsoc || "
                                                            "CliRagsocEstesa) FROM Clienti")),
              QStringLiteral("58BIANCHI SPAB"));
}

TEST_F(TableCursorWrite, TableWithoutRowidFollowsItsRowWhenTheKeyChanges)
{
    RawConnection(m_workPath)
        .exec(QStringLiteral("CREATE TABLE Codici (Codice TEXT PRIMARY KEY, Nota TEXT) WITHOUT ROWID;"
                             "INSERT INTO Codici VALUES ('A', 'a'), ('B', 'b');"));
    auto cursor = TableCursor::open(m_db, QStringLiteral("Codici"));
    cursor->setIndex(Primary);
    cursor->seek(Equal, {Value::text(QStringLiteral("A"))});
    cursor->edit();
    cursor->setField(QStringLiteral("Codice"), Value::text(QStringLiteral("C")));
    cursor->update();
    EXPECT_EQ(cursor->field(QStringLiteral("Nota")), Value::text(QStringLiteral("a")));
    cursor->remove();
    EXPECT_EQ(stored(QStringLiteral("SELECT group_concat(Codice || Nota) FROM Codici")), QStringLiteral("Bb"));
}
