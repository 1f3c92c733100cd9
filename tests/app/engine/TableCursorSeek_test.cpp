#include "app/engine/EngineError.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/TableCursor.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"

#include <gtest/gtest.h>

using namespace rp;
using namespace rp::engine;
using rp::engine::test::raisesEngineError;
using rp::engine::test::RawConnection;

namespace {

const QString Primary = QStringLiteral("primaria");
const QString Equal = QStringLiteral("=");

double serialOf(int year, unsigned month, unsigned day, int hour, int minute, int second)
{
    return *daySerialFromCivil(CivilDateTime{year, month, day, hour, minute, second});
}

class TableCursorSeek : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_visitsPath = m_stores.create(QStringLiteral("VisiteQZ"));
        m_workPath = m_stores.create(QStringLiteral("WorkQZ"));
        m_dataPath = m_stores.create(QStringLiteral("DatiQZ"));
        // Written as the scheduling application writes them: by another connection, in the text form.
        RawConnection visits(m_visitsPath);
        visits.exec(QStringLiteral(
            "INSERT INTO Appuntamenti VALUES (57, '2024-05-14 09:30:00', 'MAN', 'Controllo caldaia', NULL, 15);"
            "INSERT INTO Appuntamenti VALUES (57, '2024-05-14 09:30:00', 'INS', 'Altra azione', 'X', 0);"
            "INSERT INTO Appuntamenti VALUES (58, '2024-05-14 09:30:00', 'MAN', 'Altro cliente', 'Y', 0);"
            "INSERT INTO TabAzioni VALUES ('MAN', 'MANUTENZIONE ORDINARIA', 255);"
            "INSERT INTO TabAzioni VALUES ('57', 'CODICE NUMERICO', '49152');"));
        RawConnection work(m_workPath);
        work.exec(QStringLiteral(
            "INSERT INTO Promemoria VALUES (57, '2024-05-14 09:30:00', 'MAN', '/doc/a.txt', 'domani', NULL);"));
        RawConnection data(m_dataPath);
        data.exec(QStringLiteral("INSERT INTO Clienti VALUES (57, 'ROSSI SRL', NULL);"
                                 "INSERT INTO Clienti VALUES (58, 'BIANCHI SPA', 'BIANCHI COSTRUZIONI SPA');"));
    }

    std::unique_ptr<TableCursor> openOn(const QString& path, const QString& table)
    {
        auto cursor = TableCursor::open(SqliteDatabase::open(path), table);
        cursor->setIndex(Primary);
        return cursor;
    }

    static std::vector<Value> appointmentKey(qint64 client, double serial, const QString& action)
    {
        return {Value::integer(client), Value::dateTime(serial), Value::text(action)};
    }

    test::LayoutStores m_stores;
    QString m_visitsPath;
    QString m_workPath;
    QString m_dataPath;
};

} // namespace

// --- Tables, indexes and fields that do not exist ---

TEST_F(TableCursorSeek, MissingTableIsTableNotFoundNamingIt)
{
    const auto db = SqliteDatabase::open(m_dataPath);
    EXPECT_TRUE(raisesEngineError([&] { TableCursor::open(db, QStringLiteral("Fornitori")); }, TableNotFound,
                                  QStringLiteral("'Fornitori'")));
    // A view or an index is not a stored table.
    RawConnection(m_dataPath).exec(QStringLiteral("CREATE VIEW VistaClienti AS SELECT * FROM Clienti"));
    EXPECT_TRUE(raisesEngineError([&] { TableCursor::open(db, QStringLiteral("VistaClienti")); }, TableNotFound));
}

TEST_F(TableCursorSeek, TableWithoutPrimaryKeyHasNoPrimaryIndexButNamedIndexesWork)
{
    RawConnection(m_dataPath)
        .exec(QStringLiteral("CREATE TABLE Note (Codice INTEGER, Testo TEXT);"
                             "CREATE INDEX NoteCodice ON Note (Codice);"
                             "INSERT INTO Note VALUES (1, 'prima'), (2, 'seconda'), (2, 'terza');"));
    auto cursor = TableCursor::open(SqliteDatabase::open(m_dataPath), QStringLiteral("Note"));
    EXPECT_TRUE(raisesEngineError([&] { cursor->setIndex(Primary); }, IndexNotFound, QStringLiteral("'Note'")));
    EXPECT_TRUE(raisesEngineError([&] { cursor->setIndex(QStringLiteral("NoteTesto")); }, IndexNotFound,
                                  QStringLiteral("'NoteTesto'")));
    // Index names match exactly, not as a pattern.
    EXPECT_TRUE(raisesEngineError([&] { cursor->setIndex(QStringLiteral("Note%")); }, IndexNotFound));

    cursor->setIndex(QStringLiteral("NoteCodice"));
    cursor->seek(Equal, {Value::integer(2)});
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("Testo")), Value::text(QStringLiteral("seconda")));
}

TEST_F(TableCursorSeek, IndexOfAnotherTableIsNotAnIndexOfThisOne)
{
    RawConnection(m_dataPath)
        .exec(QStringLiteral("CREATE INDEX ClientiNome ON Clienti (CliRagsoc);"
                             "CREATE TABLE Altro (A INTEGER PRIMARY KEY);"));
    auto cursor = TableCursor::open(SqliteDatabase::open(m_dataPath), QStringLiteral("Altro"));
    EXPECT_TRUE(raisesEngineError([&] { cursor->setIndex(QStringLiteral("ClientiNome")); }, IndexNotFound));
}

TEST_F(TableCursorSeek, MissingFieldIsFieldNotFoundNamingFieldAndTable)
{
    auto cursor = openOn(m_dataPath, QStringLiteral("Clienti"));
    cursor->seek(Equal, {Value::integer(57)});
    EXPECT_TRUE(raisesEngineError([&] { cursor->field(QStringLiteral("CliTelefono")); }, FieldNotFound,
                                  QStringLiteral("Campo 'CliTelefono' non trovato nella tabella 'Clienti'.")));
}

// --- Positioning ---

TEST_F(TableCursorSeek, NoCurrentRecordBeforeSeekAndAfterAFailedOne)
{
    auto cursor = openOn(m_workPath, QStringLiteral("Promemoria"));
    EXPECT_TRUE(cursor->noMatch());
    EXPECT_TRUE(raisesEngineError([&] { cursor->field(QStringLiteral("PmDocumento")); }, NoCurrentRecord));

    cursor->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 0), QStringLiteral("MAN")));
    ASSERT_FALSE(cursor->noMatch());
    cursor->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 0), QStringLiteral("INS")));
    EXPECT_TRUE(cursor->noMatch());
    EXPECT_TRUE(raisesEngineError([&] { cursor->field(QStringLiteral("PmDocumento")); }, NoCurrentRecord,
                                  QStringLiteral("Nessun record corrente.")));
    EXPECT_TRUE(raisesEngineError([&] { cursor->edit(); }, NoCurrentRecord));
}

TEST_F(TableCursorSeek, CompositeKeyMatchesEveryColumn)
{
    auto cursor = openOn(m_visitsPath, QStringLiteral("Appuntamenti"));
    const double due = serialOf(2024, 5, 14, 9, 30, 0);
    cursor->seek(Equal, appointmentKey(57, due, QStringLiteral("INS")));
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("ApNote")), Value::text(QStringLiteral("Altra azione")));
    cursor->seek(Equal, appointmentKey(58, due, QStringLiteral("MAN")));
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("ApNote")), Value::text(QStringLiteral("Altro cliente")));
    cursor->seek(Equal, appointmentKey(59, due, QStringLiteral("MAN")));
    EXPECT_TRUE(cursor->noMatch());
}

TEST_F(TableCursorSeek, DateTimeKeyWrittenAsTextIsFoundToTheSecond)
{
    auto cursor = openOn(m_visitsPath, QStringLiteral("Appuntamenti"));
    cursor->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 0), QStringLiteral("MAN")));
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("ApNote")), Value::text(QStringLiteral("Controllo caldaia")));

    cursor->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 1), QStringLiteral("MAN")));
    EXPECT_TRUE(cursor->noMatch());
    cursor->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 29, 59), QStringLiteral("MAN")));
    EXPECT_TRUE(cursor->noMatch());
    // A plain number on a date-time column is a day serial too.
    cursor->seek(
        Equal, {Value::integer(57), Value::real(serialOf(2024, 5, 14, 9, 30, 0)), Value::text(QStringLiteral("MAN"))});
    EXPECT_FALSE(cursor->noMatch());
}

TEST_F(TableCursorSeek, IntegerAndTextPrimaryKeys)
{
    auto clients = openOn(m_dataPath, QStringLiteral("Clienti"));
    clients->seek(Equal, {Value::integer(58)});
    ASSERT_FALSE(clients->noMatch());
    EXPECT_EQ(clients->field(QStringLiteral("CliRagsocEstesa")),
              Value::text(QStringLiteral("BIANCHI COSTRUZIONI SPA")));
    clients->seek(Equal, {Value::integer(59)});
    EXPECT_TRUE(clients->noMatch());

    auto actions = openOn(m_visitsPath, QStringLiteral("TabAzioni"));
    actions->seek(Equal, {Value::text(QStringLiteral("MAN"))});
    ASSERT_FALSE(actions->noMatch());
    EXPECT_EQ(actions->field(QStringLiteral("TbaColore")), Value::integer(255));
    actions->seek(Equal, {Value::text(QStringLiteral("man"))});
    EXPECT_TRUE(actions->noMatch());
    // As in SQL, a number sought on a text key is compared as text.
    actions->seek(Equal, {Value::integer(57)});
    ASSERT_FALSE(actions->noMatch());
    EXPECT_EQ(actions->field(QStringLiteral("TbaDescrizione")), Value::text(QStringLiteral("CODICE NUMERICO")));
}

TEST_F(TableCursorSeek, WrongNumberOfKeyValuesOrOtherComparisonIsRefused)
{
    auto cursor = openOn(m_visitsPath, QStringLiteral("Appuntamenti"));
    EXPECT_TRUE(raisesEngineError([&] { cursor->seek(Equal, {Value::integer(57)}); }, InvalidArgument));
    EXPECT_TRUE(raisesEngineError(
        [&] { cursor->seek(QStringLiteral(">="), appointmentKey(57, 0, QStringLiteral("MAN"))); }, InvalidArgument));
    auto unindexed = TableCursor::open(SqliteDatabase::open(m_dataPath), QStringLiteral("Clienti"));
    EXPECT_TRUE(raisesEngineError([&] { unindexed->seek(Equal, {Value::integer(57)}); }, NoCurrentIndex));
}

TEST_F(TableCursorSeek, ValuesWithQuotesAndSemicolonsAreDataNotSql)
{
    auto actions = openOn(m_visitsPath, QStringLiteral("TabAzioni"));
    for (const QString& hostile : {QStringLiteral("x'; DROP TABLE TabAzioni; --"), QStringLiteral("MAN' OR '1'='1"),
                                   QStringLiteral("\"MAN\""), QStringLiteral("%")}) {
        actions->seek(Equal, {Value::text(hostile)});
        EXPECT_TRUE(actions->noMatch()) << hostile.toStdString();
    }
    EXPECT_EQ(RawConnection(m_visitsPath).scalar(QStringLiteral("SELECT count(*) FROM TabAzioni")),
              QStringLiteral("2"));

    auto reminders = openOn(m_workPath, QStringLiteral("Promemoria"));
    reminders->seek(Equal, {Value::integer(57), Value::text(QStringLiteral("x'; DROP TABLE Promemoria; --")),
                            Value::text(QStringLiteral("MAN"))});
    EXPECT_TRUE(reminders->noMatch());
    EXPECT_EQ(RawConnection(m_workPath).scalar(QStringLiteral("SELECT count(*) FROM Promemoria")), QStringLiteral("1"));
}

// --- Reading fields ---

TEST_F(TableCursorSeek, FieldsReadWithTheirKinds)
{
    auto clients = openOn(m_dataPath, QStringLiteral("Clienti"));
    clients->seek(Equal, {Value::integer(57)});
    EXPECT_TRUE(clients->field(QStringLiteral("CliRagsocEstesa")).isNull());
    // Field names are matched as SQLite matches them.
    EXPECT_EQ(clients->field(QStringLiteral("cliragsoc")), Value::text(QStringLiteral("ROSSI SRL")));

    auto appointments = openOn(m_visitsPath, QStringLiteral("Appuntamenti"));
    appointments->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 0), QStringLiteral("MAN")));
    EXPECT_TRUE(appointments->field(QStringLiteral("ApCausa")).isNull());
    EXPECT_EQ(appointments->field(QStringLiteral("ApAllarm")), Value::real(15.0));
    EXPECT_EQ(appointments->field(QStringLiteral("ApData")), Value::dateTime(serialOf(2024, 5, 14, 9, 30, 0)));

    // A date-time column holding text that is no date-time gives the text back.
    auto reminders = openOn(m_workPath, QStringLiteral("Promemoria"));
    reminders->seek(Equal, appointmentKey(57, serialOf(2024, 5, 14, 9, 30, 0), QStringLiteral("MAN")));
    EXPECT_EQ(reminders->field(QStringLiteral("PmAllarm")), Value::text(QStringLiteral("domani")));
    EXPECT_TRUE(reminders->field(QStringLiteral("PmWait")).isNull());
}

TEST_F(TableCursorSeek, FieldsReadTheRowAsTheSeekFoundItWhateverHappensSince)
{
    auto clients = openOn(m_dataPath, QStringLiteral("Clienti"));
    clients->seek(Equal, {Value::integer(57)});
    RawConnection other(m_dataPath);
    other.exec(QStringLiteral("UPDATE Clienti SET CliRagsoc = 'ROSSI SNC' WHERE CliCodice = 57"));
    EXPECT_EQ(clients->field(QStringLiteral("CliRagsoc")), Value::text(QStringLiteral("ROSSI SRL")));
    other.exec(QStringLiteral("DELETE FROM Clienti WHERE CliCodice = 57"));
    EXPECT_EQ(clients->field(QStringLiteral("CliRagsoc")), Value::text(QStringLiteral("ROSSI SRL")));
}

TEST_F(TableCursorSeek, ClosedCursorRefusesEveryOperation)
{
    auto cursor = openOn(m_dataPath, QStringLiteral("Clienti"));
    cursor->seek(Equal, {Value::integer(57)});
    cursor->close();
    EXPECT_TRUE(raisesEngineError([&] { cursor->field(QStringLiteral("CliRagsoc")); }, CursorClosed));
    EXPECT_TRUE(raisesEngineError([&] { cursor->seek(Equal, {Value::integer(57)}); }, CursorClosed));
    EXPECT_TRUE(raisesEngineError([&] { cursor->noMatch(); }, CursorClosed));
    EXPECT_TRUE(raisesEngineError([&] { cursor->close(); }, CursorClosed));
    EXPECT_EQ(cursor->tableName(), QStringLiteral("Clienti"));
}
