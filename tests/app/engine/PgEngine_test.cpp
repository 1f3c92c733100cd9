// The store contract on the office server: the same cursor operations, errors and locking as on the files.
#include "actions/PostponeAndDismiss.h"
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/EngineError.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/LockWait.h"
#include "app/engine/PgTestServer.h"
#include "app/engine/TableCursor.h"
#include "app/engine/Workspace.h"
#include "app/engine/postgres/PgSessionZone.h"
#include "common/DaySerial.h"
#include "support/PopupHarness.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace rp;
using namespace rp::engine;
using rp::engine::test::PgTestServer;
using rp::engine::test::raisesEngineError;

namespace {

const QString Primary = QStringLiteral("primaria");
const QString Equal = QStringLiteral("=");
const QString Reminders = QStringLiteral("\"mario/WorkQZ\".\"Promemoria\"");
const QString Appointments = QStringLiteral("\"mario/VisiteQZ\".\"Appuntamenti\"");

std::vector<Value> dueKey(qint64 client, const QString& due, const QString& action)
{
    return {Value::integer(client), Value::dateTime(*daySerialFromStorageText(due)), Value::text(action)};
}

class PgEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.addOperator(QStringLiteral("mario"));
        m_server.exec(
            QStringLiteral("ALTER TABLE %1 ADD COLUMN \"PmOperatore\" text;"
                           "INSERT INTO %1 VALUES (57, '2024-05-14 09:30:00', 'MAN', '/doc/a.txt', NULL, 'S', "
                           "'ANNA'), (57, '2024-05-14 09:30:00', 'INS', '/doc/b.txt', NULL, 'S', 'ANNA');"
                           "INSERT INTO %2 VALUES (57, '2024-05-14 09:30:00', 'MAN', 'nota', 'causa', 15);")
                .arg(Reminders, Appointments));
        m_workspace = defaultWorkspace(m_server.connectionString(m_server.roleOf(QStringLiteral("mario"))));
    }
    void TearDown() override { setLockWaitHook({}); }

    std::unique_ptr<TableCursor> positioned(const QString& database, const QString& table, const QString& action)
    {
        auto cursor = TableCursor::open(m_workspace->openDatabase(database), table);
        cursor->setIndex(Primary);
        cursor->seek(Equal, dueKey(57, QStringLiteral("2024-05-14 09:30:00"), action));
        return cursor;
    }
    std::unique_ptr<TableCursor> reminder(const QString& action = QStringLiteral("MAN"))
    {
        return positioned(QStringLiteral("mario/WorkQZ"), QStringLiteral("Promemoria"), action);
    }
    QString remindersAsText()
    {
        return m_server.scalar(
            QStringLiteral("SELECT string_agg(concat_ws(',', \"PmAzione\", \"PmDocumento\", "
                           "\"PmAllarm\", \"PmWait\", \"PmOperatore\"), ' | ' ORDER BY \"PmAzione\") "
                           "FROM %1")
                .arg(Reminders));
    }

    QString role() const { return m_server.roleOf(QStringLiteral("mario")); }
    QString mario() const { return m_server.connectionString(role()); }

    // The role's server connections once those just given back have ended (a backend leaves shortly after its
    // client): the count when it reaches `expected`, or the last one seen after two seconds.
    // A backend that has ended leaves pg_stat_activity a moment before it gives back its slot of the role's
    // connection limit, longer on a loaded machine: the slot is asked for until the server grants it.
    PGconn* takeTheRolesOnlySlot()
    {
        const QDeadlineTimer deadline(15000);
        PGconn* slot = PQconnectdb(mario().toUtf8().constData());
        while (PQstatus(slot) != CONNECTION_OK && !deadline.hasExpired()) {
            PQfinish(slot);
            QThread::msleep(20);
            slot = PQconnectdb(mario().toUtf8().constData());
        }
        return slot;
    }

    int connectionsOfMario(int expected = 0)
    {
        const QDeadlineTimer deadline(15000);
        int count = -1;
        do {
            count =
                m_server
                    .scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE usename = '%1'").arg(role()))
                    .toInt();
        } while (count != expected && !deadline.hasExpired());
        return count;
    }

    // The server's own host (its socket folder) and port, for connection strings that name several hosts.
    std::pair<QString, QString> hostAndPort() const
    {
        const auto item = [&](const QString& key) {
            return QRegularExpression(key + QStringLiteral("=(\\S+)")).match(m_server.cluster()).captured(1);
        };
        return {item(QStringLiteral("host")), item(QStringLiteral("port"))};
    }

    PgTestServer m_server;
    std::shared_ptr<Workspace> m_workspace;
};

// A TCP port that accepts connections (the kernel completes them into the backlog) and never answers.
class SilentHost
{
public:
    SilentHost() : m_socket(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_socket, 8) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on the loopback interface");
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentHost() { ::close(m_socket); }
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;
    int port() const { return m_port; }

private:
    int m_socket;
    int m_port = 0;
};

// --- Opening: the schemas stand for the files ---

TEST_F(PgEngine, AMissingSchemaIsAMissingFileAndATooLongNameIsRefused)
{
    EXPECT_NO_THROW(m_workspace->openDatabase(QStringLiteral("mario/DatiQZ")));
    EXPECT_TRUE(raisesEngineError([&] { m_workspace->openDatabase(QStringLiteral("luigi/DatiQZ")); }, FileNotFound,
                                  QStringLiteral("luigi/DatiQZ")));
    const QString longName = QString(57, u'x') + QStringLiteral("/DatiQZ");
    EXPECT_TRUE(raisesEngineError([&] { m_workspace->openDatabase(longName); }, InvalidName, QStringLiteral("63")));
    EXPECT_TRUE(raisesEngineError(
        [&] { TableCursor::open(m_workspace->openDatabase(QStringLiteral("mario/DatiQZ")), QStringLiteral("Nulla")); },
        TableNotFound, QStringLiteral("Nulla")));
}

TEST_F(PgEngine, AServerThatRefusesIsAFailedConnectionWithItsOwnMessage)
{
    m_server.exec(QStringLiteral("ALTER ROLE %1 PASSWORD 'giusta'").arg(m_server.roleOf(QStringLiteral("mario"))));
    const QString tcp =
        m_server.cluster().replace(QRegularExpression(QStringLiteral("host=\\S+")), QStringLiteral("host=127.0.0.1"));
    const QString wrongPassword = tcp + QStringLiteral(" dbname=%1 user=%2 password=sbagliata")
                                            .arg(m_server.database(), m_server.roleOf(QStringLiteral("mario")));
    EXPECT_TRUE(
        raisesEngineError([&] { defaultWorkspace(wrongPassword)->openDatabase(QStringLiteral("mario/DatiQZ")); },
                          ServerConnectionFailed, QStringLiteral("password")));

    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(raisesEngineError(
        [&] { defaultWorkspace(QStringLiteral("host=127.0.0.1 port=1"))->openDatabase(QStringLiteral("x")); },
        ServerConnectionFailed));
    EXPECT_LT(timer.elapsed(), 6000);
}

TEST_F(PgEngine, ASecondHostIsReachedWhenTheFirstRefusesOrNeverAnswersWithinTheBound)
{
    const auto [host, port] = hostAndPort();
    const SilentHost silent;
    const QString refused = QStringLiteral("host=127.0.0.1,%1 port=1,%2").arg(host, port);
    const QString unanswered = QStringLiteral("host=127.0.0.1,%1 port=%2,%3").arg(host).arg(silent.port()).arg(port);
    int hookCalls = 0;
    setLockWaitHook([&] { ++hookCalls; });
    for (const QString& hosts : {refused, unanswered}) {
        const QString connection =
            hosts +
            QStringLiteral(" dbname=%1 user=%2 target_session_attrs=read-write").arg(m_server.database(), role());
        EXPECT_NO_THROW(defaultWorkspace(connection)->openDatabase(QStringLiteral("mario/DatiQZ")))
            << hosts.toStdString();
    }
    EXPECT_GT(hookCalls, 0);
}

TEST_F(PgEngine, AServerWithNoFreeSlotIsWaitedForWithinTheBoundAndThenIsAFailedConnection)
{
    m_server.exec(QStringLiteral("ALTER ROLE %1 CONNECTION LIMIT 1").arg(role()));
    PGconn* slot = takeTheRolesOnlySlot();
    ASSERT_EQ(PQstatus(slot), CONNECTION_OK);
    QElapsedTimer waited;
    waited.start();
    // The slot frees while the window is kept painted, as another pop-up's connection ends.
    setLockWaitHook([&] {
        if (slot != nullptr && waited.elapsed() > 2000) {
            PQfinish(slot);
            slot = nullptr;
        }
    });
    EXPECT_NO_THROW(m_workspace->openDatabase(QStringLiteral("mario/DatiQZ")));
    EXPECT_EQ(slot, nullptr);
    m_workspace->releaseConnection();

    setLockWaitHook({});
    ASSERT_EQ(connectionsOfMario(), 0);
    slot = takeTheRolesOnlySlot();
    ASSERT_EQ(PQstatus(slot), CONNECTION_OK);
    EXPECT_TRUE(raisesEngineError([&] { m_workspace->openDatabase(QStringLiteral("mario/DatiQZ")); },
                                  ServerConnectionFailed, QStringLiteral("too many connections")));
    PQfinish(slot);
}

// --- Seek and read ---

TEST_F(PgEngine, SeeksThePrimaryKeyWithDateTimesInWholeSeconds)
{
    auto cursor = reminder();
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("PmDocumento")).asText(), QStringLiteral("/doc/a.txt"));
    EXPECT_TRUE(cursor->field(QStringLiteral("PmAllarm")).isNull());
    EXPECT_EQ(cursor->field(QStringLiteral("PmData")).kind(), Value::Kind::DateTime);

    cursor->seek(Equal, dueKey(57, QStringLiteral("2024-05-14 09:30:01"), QStringLiteral("MAN")));
    EXPECT_TRUE(cursor->noMatch());
    EXPECT_TRUE(raisesEngineError([&] { cursor->field(QStringLiteral("PmDocumento")); }, NoCurrentRecord));
    // A key the column cannot hold matches nothing, as on the files.
    cursor->seek(Equal, {Value::text(QStringLiteral("MAN")), Value::text(QStringLiteral("x")), Value::text({})});
    EXPECT_TRUE(cursor->noMatch());
}

// The suite's PC is in Europe/Rome (its TZ); the server below keeps UTC, as many do.
TEST_F(PgEngine, TimestamptzColumnsReadAndWriteThePcsLocalTimeWhateverTheServersZone)
{
    m_server.exec(QStringLiteral("SET TimeZone = 'Europe/Rome';"
                                 "ALTER TABLE %1 ALTER \"PmData\" TYPE timestamptz(0), "
                                 "ALTER \"PmAllarm\" TYPE timestamptz(0);"
                                 "ALTER DATABASE %2 SET TimeZone = 'UTC';")
                      .arg(Reminders, m_server.database()));
    auto cursor = reminder();
    ASSERT_FALSE(cursor->noMatch());
    EXPECT_EQ(cursor->field(QStringLiteral("PmData")), dueKey(57, QStringLiteral("2024-05-14 09:30:00"), {})[1]);
    cursor->edit();
    cursor->setField(QStringLiteral("PmAllarm"),
                     Value::dateTime(*daySerialFromStorageText(QStringLiteral("2024-05-14 09:45:00"))));
    cursor->update();
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"PmAllarm\" AT TIME ZONE 'UTC' FROM %1 WHERE \"PmAzione\" = "
                                             "'MAN'")
                                  .arg(Reminders)),
              QStringLiteral("2024-05-14 07:45:00"));
}

TEST(PgSessionZone, ThePcsZoneIsNamedAsTheCLibraryFindsIt)
{
    struct Row
    {
        const char* tz;
        QByteArray localtimeTarget;
        QByteArray timezoneFile;
        QByteArray name;
    };
    const Row rows[] = {
        {"Europe/Rome", "/usr/share/zoneinfo/UTC", "", "Europe/Rome"},
        {":Europe/Rome", "", "", "Europe/Rome"},
        {":/usr/share/zoneinfo/America/New_York", "", "", "America/New_York"},
        {"", "/usr/share/zoneinfo/Europe/Rome", "", "UTC"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "", "", "CET-1CEST,M3.5.0,M10.5.0/3"},
        {"/home/mario/fuso", "/usr/share/zoneinfo/Europe/Rome", "", ""},
        {nullptr, "/usr/share/zoneinfo/Europe/Rome", "Etc/UTC\n", "Europe/Rome"},
        {nullptr, "../usr/share/zoneinfo/Asia/Tokyo", "", "Asia/Tokyo"},
        {nullptr, "", "Europe/Rome\n", "Europe/Rome"},
        {nullptr, "", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(pcTimeZoneName(row.tz, row.localtimeTarget, row.timezoneFile), row.name)
            << (row.tz ? row.tz : "(TZ unset)") << " " << row.localtimeTarget.constData();
    }
}

// --- Writes: exactly the positioned row, exactly the named fields ---

TEST_F(PgEngine, UpdateAndDeleteTouchOnlyThePositionedRowAndTheNamedFields)
{
    auto cursor = reminder();
    cursor->edit();
    cursor->setField(QStringLiteral("PmAllarm"),
                     Value::dateTime(*daySerialFromStorageText(QStringLiteral("2024-05-14 09:45:00"))));
    cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    cursor->update();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt,2024-05-14 09:45:00, ,ANNA"));

    auto appointment =
        positioned(QStringLiteral("mario/VisiteQZ"), QStringLiteral("Appuntamenti"), QStringLiteral("MAN"));
    appointment->edit();
    appointment->setField(QStringLiteral("ApAllarm"), Value::real(-36));
    appointment->update();
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"ApAllarm\" FROM %1").arg(Appointments)), QStringLiteral("-36"));

    cursor->remove();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA"));
}

TEST_F(PgEngine, ADateTimeIntoADateColumnIsRefusedNotCutAndTheOtherFieldsStillWritten)
{
    m_server.exec(QStringLiteral("ALTER TABLE %1 ALTER \"PmAllarm\" TYPE date").arg(Reminders));
    auto cursor = reminder();
    ASSERT_FALSE(cursor->noMatch());
    cursor->edit();
    EXPECT_TRUE(raisesEngineError(
        [&] {
            cursor->setField(QStringLiteral("PmAllarm"),
                             Value::dateTime(*daySerialFromStorageText(QStringLiteral("2024-05-14 09:45:00"))));
        },
        ValueNotAccepted, QStringLiteral("PmAllarm")));
    cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    cursor->update();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt, ,ANNA"));

    // A whole day loses nothing.
    cursor->edit();
    cursor->setField(QStringLiteral("PmAllarm"),
                     Value::dateTime(*daySerialFromStorageText(QStringLiteral("2024-05-15 00:00:00"))));
    cursor->update();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt,2024-05-15, ,ANNA"));
}

TEST_F(PgEngine, TheOperatorsRoleMayNotChangeWhatTheActionsDoNotWrite)
{
    auto cursor = reminder();
    cursor->edit();
    cursor->setField(QStringLiteral("PmDocumento"), Value::text(QStringLiteral("/altro")));
    EXPECT_TRUE(raisesEngineError([&] { cursor->update(); }, NoPermission));
    EXPECT_EQ(
        m_server.scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE \"PmDocumento\" = '/altro'").arg(Reminders)),
        QStringLiteral("0"));
}

TEST_F(PgEngine, AnotherClientsChangeOrDeleteIsReportedNotOverwritten)
{
    auto cursor = reminder();
    m_server.exec(QStringLiteral("UPDATE %1 SET \"PmWait\" = 'X' WHERE \"PmAzione\" = 'MAN'").arg(Reminders));
    cursor->edit();
    cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    EXPECT_TRUE(raisesEngineError([&] { cursor->update(); }, RowChangedByAnotherUser, QStringLiteral("Promemoria")));
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt,X,ANNA"));

    // Tried again, the write applies to the row as it now stands; a column it neither read nor writes is no
    // business of the write.
    m_server.exec(QStringLiteral("UPDATE %1 SET \"PmOperatore\" = 'PIERO' WHERE \"PmAzione\" = 'MAN'").arg(Reminders));
    cursor->edit();
    cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    cursor->update();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt, ,PIERO"));

    m_server.exec(QStringLiteral("DELETE FROM %1 WHERE \"PmAzione\" = 'MAN'").arg(Reminders));
    EXPECT_TRUE(raisesEngineError([&] { cursor->remove(); }, RowDeletedByAnotherUser));
}

// --- Waiting and failing like the files ---

TEST_F(PgEngine, ALockHeldPastTheBusyTimeIsTheLockedErrorWithTheWindowKeptPainted)
{
    PGconn* other = m_server.otherSession();
    PgTestServer::run(other,
                      QStringLiteral("BEGIN; SELECT 1 FROM %1 WHERE \"PmAzione\" = 'MAN' FOR UPDATE").arg(Reminders));
    auto cursor = reminder();
    cursor->edit();
    cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
    int hookCalls = 0;
    setLockWaitHook([&] { ++hookCalls; });
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(raisesEngineError([&] { cursor->update(); }, DatabaseLocked, QStringLiteral("55P03")));
    EXPECT_LE(timer.elapsed(), BusyTimeoutMs + 500);
    EXPECT_GE(hookCalls, 100);
    PQfinish(other);
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt,S,ANNA"));
}

TEST_F(PgEngine, AConnectionLostAfterTheLoadFailsTheStepAndTheNextTryConnectsAgain)
{
    auto cursor = reminder();
    m_server.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '%1'")
                      .arg(m_server.roleOf(QStringLiteral("mario"))));
    const auto postpone = [&] {
        cursor->edit();
        cursor->setField(QStringLiteral("PmWait"), Value::text(QStringLiteral(" ")));
        cursor->update();
    };
    EXPECT_TRUE(raisesEngineError(postpone, ServerConnectionFailed));
    postpone();
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA | MAN,/doc/a.txt, ,ANNA"));
}

TEST_F(PgEngine, TheLoadIsReadAheadAndNoConnectionIsHeldWhileTheWindowWaitsAndItsActionConnectsAgain)
{
    // As the program starts: what the load reads is read while the window system starts, then the load.
    QTemporaryDir folder;
    const auto load = [&](rp::test::PopupHarness& popup, const QString& server,
                          const std::function<void()>& whileTheWindowSystemStarts) {
        const QString settings = folder.filePath(QStringLiteral("popup.ini"));
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[BASE]\nOPERATORE=mario\n[PATH]\nSERVER=%1\n").arg(server).toUtf8());
        file.close();
        ASSERT_TRUE(startFromCommandLine(popup.ctx, settings + QStringLiteral("|0|57|MAN|14/05/2024 09:30:00")));
        prepareStores(popup.ctx, ReminderWindow::storeReadsOfLoad(popup.ctx.state));
        whileTheWindowSystemStarts();
        popup.window = std::make_unique<ReminderWindow>(popup.ctx);
        popup.window->load();
    };
    rp::test::PopupHarness refused;
    load(refused, QStringLiteral("host=127.0.0.1 port=1"), [] {});
    ASSERT_EQ(refused.desktop.messages.size(), 1U);
    EXPECT_TRUE(
        refused.desktop.messages[0].text.startsWith(QStringLiteral("3151-Connessione al server non riuscita:")));

    rp::test::PopupHarness popup;
    load(popup, mario(), [&] {
        // Once the read ahead is over the server refuses the operator: the load must need no connection.
        finishPreparingStores(popup.ctx);
        m_server.exec(QStringLiteral("ALTER ROLE %1 NOLOGIN").arg(role()));
    });
    m_server.exec(QStringLiteral("ALTER ROLE %1 LOGIN").arg(role()));
    ASSERT_TRUE(popup.ctx.state.LoadedOk);
    EXPECT_TRUE(popup.desktop.messages.empty());
    EXPECT_EQ(connectionsOfMario(), 0);

    const ActionOutcome outcome = StopReminding(popup.ctx);
    EXPECT_TRUE(outcome.written());
    EXPECT_EQ(remindersAsText(), QStringLiteral("INS,/doc/b.txt,S,ANNA"));
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"ApAllarm\" FROM %1").arg(Appointments)), QStringLiteral("0"));
    EXPECT_EQ(connectionsOfMario(), 0);
}

TEST_F(PgEngine, AnActionsWritesAreCommittedTogetherOrNotAtAll)
{
    auto appointment =
        positioned(QStringLiteral("mario/VisiteQZ"), QStringLiteral("Appuntamenti"), QStringLiteral("MAN"));
    auto cursor = reminder();
    m_workspace->beginTransaction();
    appointment->edit();
    appointment->setField(QStringLiteral("ApAllarm"), Value::integer(0));
    appointment->update();
    m_server.exec(QStringLiteral("DELETE FROM %1 WHERE \"PmAzione\" = 'INS'").arg(Reminders));
    auto gone = reminder(QStringLiteral("INS"));
    EXPECT_TRUE(gone->noMatch());
    EXPECT_NO_THROW(m_workspace->rollbackTransaction());
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"ApAllarm\" FROM %1").arg(Appointments)), QStringLiteral("15"));

    m_workspace->beginTransaction();
    appointment->edit();
    appointment->setField(QStringLiteral("ApAllarm"), Value::integer(0));
    appointment->update();
    cursor->remove();
    m_workspace->commitTransaction();
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"ApAllarm\" FROM %1").arg(Appointments)), QStringLiteral("0"));

    // A connection lost before the commit: the commit fails, nothing of the action stays.
    m_workspace->beginTransaction();
    appointment->edit();
    appointment->setField(QStringLiteral("ApAllarm"), Value::integer(5));
    appointment->update();
    m_server.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '%1'")
                      .arg(m_server.roleOf(QStringLiteral("mario"))));
    EXPECT_TRUE(raisesEngineError([&] { m_workspace->commitTransaction(); }, ServerConnectionFailed));
    EXPECT_EQ(m_server.scalar(QStringLiteral("SELECT \"ApAllarm\" FROM %1").arg(Appointments)), QStringLiteral("0"));
    EXPECT_EQ(remindersAsText(), QStringLiteral("<NULL>"));
}

} // namespace
