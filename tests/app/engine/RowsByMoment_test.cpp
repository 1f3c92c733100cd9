// What the agenda watcher reads of a store laid out by the scheduling application itself: Promemoria's key
// columns named and placed otherwise, found through the table's own key; the rows due, those without an alarm and
// the next alarm, on both engines.
#include "app/engine/Database.h"
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/EngineTestStore.h"
#include "app/engine/PgTestServer.h"
#include "app/engine/Workspace.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rp;
using namespace rp::engine;

namespace {

const QString Reminders = QStringLiteral("Promemoria");
const QString Alarm = QStringLiteral("PmAllarm");

Value at(const char* text)
{
    return Value::dateTime(*daySerialFromStorageText(QString::fromLatin1(text)));
}

// How the store declares its date-times: on the files a type named for them or text; on the server timestamp, or
// timestamptz with the server's own zone UTC while the PC (the suite's TZ) is in Europe/Rome.
struct MomentLayout
{
    bool server;
    const char* moment;
};

void PrintTo(const MomentLayout& layout, std::ostream* os)
{
    *os << (layout.server ? "server, " : "files, ") << layout.moment;
}

// The key's columns last and out of their key order; a constraint name of the application's own.
QString otherLayout(bool server, const QString& moment)
{
    return QStringLiteral("CREATE TABLE %1 (\"PmDocumento\" text, \"PmCodAzione\" text NOT NULL, \"PmAllarm\" %2, "
                          "\"PmIstante\" %2 NOT NULL, \"PmWait\" text, \"PmCodCliente\" integer NOT NULL, "
                          "CONSTRAINT \"chiave_promemoria\" PRIMARY KEY (\"PmCodCliente\", \"PmIstante\", "
                          "\"PmCodAzione\"));"
                          "CREATE INDEX \"promemoria_allarme\" ON %1 (\"PmAllarm\");")
        .arg(server ? QStringLiteral("\"mario/WorkQZ\".\"Promemoria\"") : QStringLiteral("\"Promemoria\""), moment);
}

QString insert(const QString& values)
{
    return QStringLiteral("INSERT INTO %1 (\"PmCodCliente\", \"PmIstante\", \"PmCodAzione\", \"PmAllarm\") VALUES %2;")
        .arg(QStringLiteral("%1"), values);
}

class RowsByMoment : public ::testing::TestWithParam<MomentLayout>
{
protected:
    void SetUp() override
    {
        const bool server = GetParam().server;
        const QString moment = QString::fromLatin1(GetParam().moment);
        const QString rows = insert(QStringLiteral("(3, '2026-12-08 11:00:00', 'C', '2026-12-08 10:00:00'), "
                                                   "(1, '2026-12-08 09:00:00', 'A', '2026-12-08 08:00:00'), "
                                                   "(2, '2026-12-08 12:00:00', 'B', NULL), "
                                                   "(4, '2026-12-08 13:00:00', 'D', '2026-12-08 11:30:00'), "
                                                   "(5, '2026-12-08 14:00:00', 'E', '2026-12-09 07:00:00')"));
        if (server) {
            m_server.emplace();
            m_server->addOperator(QStringLiteral("mario"));
            const QString role = m_server->roleOf(QStringLiteral("mario"));
            const QString table = QStringLiteral("\"mario/WorkQZ\".\"Promemoria\"");
            // The rows are the PC's local times; the engine's sessions start in the server's zone.
            m_server->exec(QStringLiteral("SET TimeZone = 'Europe/Rome'; DROP TABLE %1;").arg(table) +
                           otherLayout(true, moment) + rows.arg(table) +
                           QStringLiteral("GRANT SELECT ON %1 TO \"%2\"; ALTER DATABASE %3 SET TimeZone = 'UTC';")
                               .arg(table, role, m_server->database()));
            m_workspace = defaultWorkspace(m_server->connectionString(role));
            m_work = m_workspace->openDatabase(QStringLiteral("mario/WorkQZ"));
        } else {
            const QString path = m_folder.filePath(QStringLiteral("WorkQZ.mdb"));
            test::RawConnection raw(path);
            raw.exec(otherLayout(false, moment) + rows.arg(QStringLiteral("\"Promemoria\"")) +
                     insert(QStringLiteral("(6, '2026-12-08 15:00:00', 'F', 'domani alle 9')"))
                         .arg(QStringLiteral("\"Promemoria\"")));
            m_work = SqliteDatabase::open(path);
        }
    }

    QTemporaryDir m_folder;
    std::optional<test::PgTestServer> m_server;
    std::shared_ptr<Workspace> m_workspace;
    std::shared_ptr<Database> m_work;
};

std::vector<qint64> clientsOf(const std::vector<std::vector<Value>>& rows)
{
    std::vector<qint64> clients;
    for (const std::vector<Value>& row : rows) {
        clients.push_back(row.at(0).asInteger());
    }
    return clients;
}

TEST_P(RowsByMoment, KeyFoundThroughThePrimaryKeyAndRowsReadThroughTheAlarm)
{
    const QStringList key = m_work->indexColumns(Reminders, QStringLiteral("primaria"));
    EXPECT_EQ(
        key, QStringList({QStringLiteral("PmCodCliente"), QStringLiteral("PmIstante"), QStringLiteral("PmCodAzione")}));

    const Database::MomentRows rows =
        m_work->rowsByMoment(Reminders, Alarm, at("2026-12-08 11:00:00"), QStringList(key) << Alarm);
    EXPECT_EQ(clientsOf(rows.upTo), (std::vector<qint64>{1, 3})); // in alarm order, whatever the key's
    EXPECT_EQ(rows.upTo.at(0).at(1), at("2026-12-08 09:00:00"));
    EXPECT_EQ(rows.upTo.at(0).at(2), Value::text(QStringLiteral("A")));
    // No alarm at all, or on the files a text no moment is.
    const std::vector<qint64> withoutMoment = GetParam().server ? std::vector<qint64>{2} : std::vector<qint64>{2, 6};
    EXPECT_EQ(clientsOf(rows.withoutMoment), withoutMoment);
    ASSERT_TRUE(rows.nextAfter);
    EXPECT_EQ(*rows.nextAfter, at("2026-12-08 11:30:00"));

    EXPECT_FALSE(m_work->rowsByMoment(Reminders, Alarm, at("2026-12-09 07:00:00"), {Alarm}).nextAfter);
}

INSTANTIATE_TEST_SUITE_P(BothStores, RowsByMoment,
                         ::testing::Values(MomentLayout{false, "DATETIME"}, MomentLayout{false, "TEXT"},
                                           MomentLayout{true, "timestamp(0)"}, MomentLayout{true, "timestamptz(0)"}),
                         [](const ::testing::TestParamInfo<MomentLayout>& layout) {
                             const std::string moment = layout.param.moment;
                             return std::string(layout.param.server ? "server_" : "files_") +
                                    moment.substr(0, moment.find('('));
                         });

} // namespace
