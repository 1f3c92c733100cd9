// Postpone and stop on real SQLite files, the clock fixed through the fake desktop; other clients of the store
// are plain SQLite connections holding its locks.
#include "actions/PostponeAndDismiss.h"
#include "app/engine/LockWait.h"
#include "app/engine/PgTestServer.h"
#include "app/engine/sqlite/SqliteDatabase.h"
#include "common/DaySerial.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace rp::test {
namespace {

constexpr qint32 Client = 57;
const QString Action = QStringLiteral("MAN");
constexpr int ShortLockWaitMs = 60;

// The fake desktop, with a moment at which the test acts while the box is up, as the rest of the world may.
class BoxAnsweringDesktop : public FakeDesktop
{
public:
    std::function<void()> whileBoxIsUp;

    Answer showMessage(const QString& text, const QString& title, Icon icon, Buttons buttons) override
    {
        if (whileBoxIsUp) {
            whileBoxIsUp();
        }
        return FakeDesktop::showMessage(text, title, icon, buttons);
    }
};

using BoxPopup = BasicPopupHarness<BoxAnsweringDesktop>;

// Another client of one database file: holds its write lock, with its own changes not committed yet, until
// it commits (or goes away, rolling them back).
class OtherClient
{
public:
    OtherClient(const QString& path, const char* pendingChange = nullptr)
    {
        EXPECT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        exec("BEGIN IMMEDIATE");
        if (pendingChange != nullptr) {
            exec(pendingChange);
        }
    }
    ~OtherClient() { sqlite3_close(m_db); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    void commit()
    {
        if (sqlite3_get_autocommit(m_db) == 0) {
            exec("COMMIT");
        }
    }

private:
    void exec(const char* sql) { EXPECT_EQ(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }
    sqlite3* m_db = nullptr;
};

class PostponeAndDismiss : public ::testing::Test
{
protected:
    void SetUp() override
    {
        due = serialOf(2026, 12, 7, 10, 0, 0);
        store.addAppointment(Client, due, Action, QStringLiteral("nota"), QStringLiteral("C"));
        store.addReminder(Client, due, Action, QStringLiteral("/tmp/doc.txt"));
        // A neighbour that no action may touch.
        store.addAppointment(Client, due + 1, Action, QStringLiteral("altra"), QStringLiteral("C"));
        store.addReminder(Client, due + 1, Action, QVariant());
    }

    void load()
    {
        ASSERT_TRUE(popup.start(store.commandLine(Client, due, Action)));
        ASSERT_TRUE(popup.ctx.state.LoadedOk);
    }

    // Loads, clicks the postpone button with the amount and unit typed into the real controls.
    void postponeAt(double now, const QString& amount, int unit, double secondReading = -1)
    {
        load();
        popup.desktop.clockReadings = {now, secondReading < 0 ? now : secondReading};
        popup.controls().Txt1->setText(amount);
        popup.controls().cmbAllarm->setCurrentIndex(unit);
        popup.controls().cmdCli[0]->click();
    }

    QVariant appointmentField(const QString& field, double when) const
    {
        return store.scalar(store.visitsDbPath(),
                            QStringLiteral("SELECT %1 FROM Appuntamenti WHERE ApData = ?").arg(field),
                            {storageTextFromDaySerial(when)});
    }
    QVariant reminderField(const QString& field, double when) const
    {
        return store.scalar(store.workDbPath(), QStringLiteral("SELECT %1 FROM Promemoria WHERE PmData = ?").arg(field),
                            {storageTextFromDaySerial(when)});
    }
    QString alarmText(int hour, int minute, int second, int day = 7) const
    {
        return storageTextFromDaySerial(serialOf(2026, 12, day, hour, minute, second));
    }

    // The first box: title, icon and buttons of the failed write, its text.
    QString failedWriteBox() const
    {
        if (popup.desktop.messages.empty()) {
            return {};
        }
        const FakeDesktop::Message& box = popup.desktop.messages.front();
        EXPECT_EQ(box.title, QStringLiteral("ERRORE"));
        EXPECT_EQ(box.icon, Desktop::Icon::Critical);
        EXPECT_EQ(box.buttons, Desktop::Buttons::RetryCancel);
        return box.text;
    }

    ScopedLocale locale{u','};
    TestStore store;
    BoxPopup popup;
    double due = 0;
};

const QString LockedReminderBox = QStringLiteral("ERRORE IN SCRITTURA PROMEMORIA\n3260: ");

// --- Postpone: the worked examples ---

TEST_F(PostponeAndDismiss, FifteenMinutesBeforeTheAppointmentRoundsTheLeadDown)
{
    postponeAt(serialOf(2026, 12, 7, 9, 0, 30), QStringLiteral("15"), UnitMinutes);
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(44.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 15, 30)));
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due), QVariant(QStringLiteral(" ")));
    EXPECT_TRUE(popup.window->isUnloaded());
}

TEST_F(PostponeAndDismiss, DateTimesDeclaredAsTextAreFoundAndWrittenAsText)
{
    store.declareDateTimesAs(QStringLiteral("TEXT"));
    postponeAt(serialOf(2026, 12, 7, 9, 0, 30), QStringLiteral("15"), UnitMinutes);
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(44.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 15, 30)));
    EXPECT_EQ(reminderField(QStringLiteral("typeof(PmAllarm)"), due), QVariant(QStringLiteral("text")));
}

TEST_F(PostponeAndDismiss, OverdueAppointmentGetsANegativeLead)
{
    postponeAt(serialOf(2026, 12, 7, 10, 20, 30), QStringLiteral("15"), UnitMinutes);
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(-36.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(10, 35, 30)));
}

TEST_F(PostponeAndDismiss, SecondClockReadingSetsTheAlarm)
{
    postponeAt(serialOf(2026, 12, 7, 9, 0, 30), QStringLiteral("15"), UnitMinutes, serialOf(2026, 12, 7, 9, 0, 31));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(44.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 15, 31)));
}

// --- Postpone: units and amounts ---

TEST_F(PostponeAndDismiss, HoursAndDaysMultiplyTheAmount)
{
    postponeAt(serialOf(2026, 12, 7, 8, 0, 0), QStringLiteral("2"), UnitHours);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(10, 0, 0)));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(0.0));
}

TEST_F(PostponeAndDismiss, OneDayIs1440Minutes)
{
    postponeAt(serialOf(2026, 12, 7, 8, 0, 0), QStringLiteral("1"), UnitDays);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(8, 0, 0, 8)));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(-1320.0));
}

TEST_F(PostponeAndDismiss, CommaDecimalInTheCommaLocale)
{
    postponeAt(serialOf(2026, 12, 7, 8, 0, 0), QStringLiteral("1,5"), UnitHours);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 30, 0)));
}

TEST_F(PostponeAndDismiss, EmptyOrMalformedAmountPostponesByZero)
{
    for (const QString& amount : {QString(), QStringLiteral("1-2"), QStringLiteral("1/2/abc")}) {
        SCOPED_TRACE(amount.toStdString());
        TestStore fresh;
        fresh.addAppointment(Client, due, Action, QVariant(), QVariant());
        fresh.addReminder(Client, due, Action, QVariant());
        PopupHarness run;
        ASSERT_TRUE(run.start(fresh.commandLine(Client, due, Action)));
        run.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 30);
        run.controls().Txt1->setText(amount);
        run.controls().cmdCli[0]->click();
        EXPECT_EQ(fresh.scalar(fresh.visitsDbPath(), QStringLiteral("SELECT ApAllarm FROM Appuntamenti")),
                  QVariant(59.0));
        EXPECT_EQ(fresh.scalar(fresh.workDbPath(), QStringLiteral("SELECT PmAllarm FROM Promemoria")),
                  QVariant(alarmText(9, 0, 30)));
        EXPECT_TRUE(run.window->isUnloaded());
    }
}

TEST_F(PostponeAndDismiss, NegativeAmountPutsTheAlarmInThePast)
{
    postponeAt(serialOf(2026, 12, 7, 9, 0, 0), QStringLiteral("-30"), UnitMinutes);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(8, 30, 0)));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(90.0));
}

TEST_F(PostponeAndDismiss, AmountThatIsADateCountsItsDaySerial)
{
    // 01/01/1900 is day serial 2: two minutes.
    postponeAt(serialOf(2026, 12, 7, 9, 0, 0), QStringLiteral("01/01/1900"), UnitMinutes);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 2, 0)));
}

TEST_F(PostponeAndDismiss, NothingSelectedCountsMinutes)
{
    load();
    popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
    popup.controls().Txt1->setText(QStringLiteral("10"));
    popup.controls().cmbAllarm->setCurrentIndex(-1);
    popup.controls().cmdCli[0]->click();
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 10, 0)));
}

// --- Stop reminding ---

TEST_F(PostponeAndDismiss, StopWritesZeroAndDeletesOnlyThatReminder)
{
    load();
    popup.controls().cmdCli[1]->click();
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(0.0));
    EXPECT_EQ(store.scalar(store.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(1LL));
    EXPECT_EQ(reminderField(QStringLiteral("count(*)"), due + 1), QVariant(1LL));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due + 1), QVariant(30.0));
    EXPECT_TRUE(popup.window->isUnloaded());
}

// --- Rows the actions must respect ---

TEST_F(PostponeAndDismiss, MissingAppointmentIsLeftAloneWhileTheReminderChanges)
{
    const double orphan = due + 2;
    store.addReminder(Client, orphan, Action, QVariant());
    const QVariant appointmentsBefore =
        store.scalar(store.visitsDbPath(), QStringLiteral("SELECT group_concat(ApAllarm) FROM Appuntamenti"));
    ASSERT_TRUE(popup.start(store.commandLine(Client, orphan, Action)));
    popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
    popup.controls().cmdCli[0]->click();
    EXPECT_EQ(store.scalar(store.visitsDbPath(), QStringLiteral("SELECT group_concat(ApAllarm) FROM Appuntamenti")),
              appointmentsBefore);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), orphan), QVariant(alarmText(9, 15, 0)));
    EXPECT_TRUE(popup.desktop.messages.empty()) << "an appointment not found is no failed write";
    EXPECT_TRUE(popup.window->isUnloaded());

    TestStore other;
    other.addReminder(Client, due, Action, QVariant());
    PopupHarness stop;
    ASSERT_TRUE(stop.start(other.commandLine(Client, due, Action)));
    stop.controls().cmdCli[1]->click();
    EXPECT_EQ(other.scalar(other.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(0LL));
    EXPECT_TRUE(stop.desktop.messages.empty());
    EXPECT_TRUE(stop.window->isUnloaded());
}

TEST_F(PostponeAndDismiss, ColumnsTheProgramDoesNotKnowKeepTheirValues)
{
    store.exec(store.visitsDbPath(), QStringLiteral("ALTER TABLE Appuntamenti ADD COLUMN ApOperatore TEXT"));
    store.exec(store.visitsDbPath(), QStringLiteral("UPDATE Appuntamenti SET ApOperatore = 'luca'"));
    store.exec(store.workDbPath(), QStringLiteral("ALTER TABLE Promemoria ADD COLUMN PmContatore INTEGER"));
    store.exec(store.workDbPath(), QStringLiteral("UPDATE Promemoria SET PmContatore = 3"));
    postponeAt(serialOf(2026, 12, 7, 9, 0, 0), QStringLiteral("15"), UnitMinutes);
    EXPECT_EQ(appointmentField(QStringLiteral("ApOperatore || ApNote"), due),
              QVariant(QStringLiteral("luca") + "nota"));
    EXPECT_EQ(reminderField(QStringLiteral("PmContatore || PmDocumento"), due),
              QVariant(QStringLiteral("3/tmp/doc.txt")));
}

// A store of its own with one appointment and its reminder, and a pop-up loaded on them: for the cases that run
// each button on a fresh store.
bool startOnOneReminder(TestStore& store, BoxPopup& popup, double due)
{
    store.addAppointment(Client, due, Action, QVariant(), QVariant());
    store.addReminder(Client, due, Action, QVariant());
    return popup.start(store.commandLine(Client, due, Action));
}

TEST_F(PostponeAndDismiss, ReminderDeletedByAnotherProcessFailsThePostponeButIsAStopDone)
{
    for (const int button : {0, 1}) {
        SCOPED_TRACE(button);
        TestStore fresh;
        BoxPopup run;
        ASSERT_TRUE(startOnOneReminder(fresh, run, due));
        fresh.exec(fresh.workDbPath(), QStringLiteral("DELETE FROM Promemoria"));
        run.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
        run.controls().cmdCli[button]->click();
        EXPECT_EQ(fresh.scalar(fresh.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(0LL))
            << "not recreated";
        EXPECT_EQ(fresh.scalar(fresh.visitsDbPath(), QStringLiteral("SELECT ApAllarm FROM Appuntamenti")),
                  QVariant(button == 0 ? 45.0 : 0.0))
            << "the appointment row still changes";
        if (button == 0) {
            ASSERT_EQ(run.desktop.messages.size(), 1u);
            EXPECT_EQ(run.desktop.messages[0].text,
                      QStringLiteral("ERRORE IN SCRITTURA PROMEMORIA\n3167: Il record della tabella 'Promemoria' è "
                                     "stato eliminato da un altro utente."));
            EXPECT_FALSE(run.window->isUnloaded()) << "Annulla leaves the window open";
        } else {
            EXPECT_TRUE(run.desktop.messages.empty());
            EXPECT_TRUE(run.window->isUnloaded());
        }
    }
}

// --- A write that did not take: the box, Riprova and Annulla ---

TEST_F(PostponeAndDismiss, RiprovaAfterTheLockIsGoneRunsTheWholeActionAgainWithAFreshClock)
{
    load();
    static_cast<engine::SqliteDatabase&>(*popup.ctx.state.WorkDb).setBusyTimeout(ShortLockWaitMs);
    auto other = std::make_unique<OtherClient>(store.workDbPath());
    const double firstClick = serialOf(2026, 12, 7, 9, 0, 0);
    const double retry = serialOf(2026, 12, 7, 9, 1, 0);
    popup.desktop.clockReadings = {firstClick, firstClick, retry};
    popup.desktop.nextAnswers = {Desktop::Answer::Retry};
    bool boxSeen = false;
    popup.desktop.whileBoxIsUp = [&] {
        if (boxSeen) {
            return;
        }
        boxSeen = true;
        // A second action must not start underneath the box: a stop would delete the row being postponed.
        popup.controls().cmdCli[1]->click();
        other.reset();
    };
    popup.controls().cmdCli[0]->click();

    EXPECT_TRUE(failedWriteBox().startsWith(LockedReminderBox)) << failedWriteBox().toStdString();
    EXPECT_EQ(popup.desktop.messages.size(), 1u);
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 16, 0)));
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due), QVariant(QStringLiteral(" ")));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(44.0));
    EXPECT_TRUE(popup.window->isUnloaded());
}

TEST_F(PostponeAndDismiss, RowChangedByAnotherClientDuringTheWriteIsReadAgainOnRiprova)
{
    load();
    OtherClient other(store.workDbPath(), "UPDATE Promemoria SET PmWait = 'X', PmDocumento = 'altro'");
    // The other client commits while the update waits for its lock: the row is no longer the one edited.
    engine::setLockWaitHook([&] { other.commit(); });
    popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
    popup.desktop.nextAnswers = {Desktop::Answer::Retry};
    popup.controls().cmdCli[0]->click();
    engine::setLockWaitHook({});

    EXPECT_TRUE(failedWriteBox().startsWith(QStringLiteral("ERRORE IN SCRITTURA PROMEMORIA\n3197: ")))
        << failedWriteBox().toStdString();
    EXPECT_EQ(reminderField(QStringLiteral("PmWait || PmDocumento"), due), QVariant(QStringLiteral(" altro")));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 15, 0)));
    EXPECT_TRUE(popup.window->isUnloaded());
}

TEST_F(PostponeAndDismiss, AnnullaLeavesTheWindowOpenAndTheRowsAsTheStepsLeftThem)
{
    for (const int button : {0, 1}) {
        SCOPED_TRACE(button);
        TestStore fresh;
        BoxPopup run;
        ASSERT_TRUE(startOnOneReminder(fresh, run, due));
        static_cast<engine::SqliteDatabase&>(*run.ctx.state.VisitsDb).setBusyTimeout(ShortLockWaitMs);
        run.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
        const QString rows = QStringLiteral("SELECT group_concat(PmAllarm || PmWait) FROM Promemoria");
        {
            // The appointment's file is locked: its steps fail, the reminder's still run.
            const OtherClient other(fresh.visitsDbPath());
            run.controls().cmdCli[button]->click();
        }
        ASSERT_EQ(run.desktop.messages.size(), 1u);
        EXPECT_TRUE(run.desktop.messages[0].text.startsWith(QStringLiteral("ERRORE IN SCRITTURA APPUNTAMENTI\n3260: ")))
            << run.desktop.messages[0].text.toStdString();
        EXPECT_FALSE(run.window->isUnloaded());
        EXPECT_EQ(fresh.scalar(fresh.visitsDbPath(), QStringLiteral("SELECT ApAllarm FROM Appuntamenti")),
                  QVariant(30.0));
        EXPECT_EQ(fresh.scalar(fresh.workDbPath(), rows),
                  button == 0 ? QVariant(alarmText(9, 15, 0) + QStringLiteral(" ")) : QVariant());

        // The operator tries again once the other client has let go.
        run.controls().cmdCli[button]->click();
        EXPECT_EQ(run.desktop.messages.size(), 1u);
        EXPECT_EQ(fresh.scalar(fresh.visitsDbPath(), QStringLiteral("SELECT ApAllarm FROM Appuntamenti")),
                  QVariant(button == 0 ? 45.0 : 0.0));
        EXPECT_TRUE(run.window->isUnloaded());
    }
}

} // namespace
} // namespace rp::test

namespace rp::test {
namespace {

// --- Rows changed by other programs while the window waits, on both stores ---

// The store a window waits on: the files, or the office server. The SQL of a case names the appointments' table
// %A and the reminders' %P, quotes its columns and so reads alike on both engines.
class WaitingStore
{
public:
    virtual ~WaitingStore() = default;
    virtual void exec(const QString& sql) = 0;
    // The rows of the table of `expression` (which names %A or %P), joined with " | " in key order.
    virtual QString rows(const QString& expression) = 0;
    virtual QString commandLine() const = 0;
};

const QString DueLaunch = QStringLiteral("|0|57|MAN|07/12/2026 10:00:00");

class FileStore final : public WaitingStore
{
public:
    // Each statement goes to the file of its table.
    void exec(const QString& sql) override
    {
        for (const QString& statement : sql.split(u';')) {
            const bool appointments = statement.contains(QStringLiteral("%A"));
            m_store.exec(appointments ? m_store.visitsDbPath() : m_store.workDbPath(),
                         QString(statement)
                             .replace(QStringLiteral("%A"), QStringLiteral("Appuntamenti"))
                             .replace(QStringLiteral("%P"), QStringLiteral("Promemoria")));
        }
    }
    QString rows(const QString& expression) override
    {
        const bool appointments = expression.contains(QStringLiteral("%A"));
        const QString table = appointments ? QStringLiteral("Appuntamenti") : QStringLiteral("Promemoria");
        return m_store
            .scalar(appointments ? m_store.visitsDbPath() : m_store.workDbPath(),
                    QStringLiteral("SELECT group_concat(r, ' | ') FROM (SELECT %1 AS r FROM %2 ORDER BY 1)")
                        .arg(QString(expression)
                                 .replace(appointments ? QStringLiteral("%A.") : QStringLiteral("%P."), QString()),
                             table))
            .toString();
    }
    QString commandLine() const override { return m_store.settingsPath() + DueLaunch; }

private:
    TestStore m_store;
};

class ServerStore final : public WaitingStore
{
public:
    ServerStore()
    {
        m_server.addOperator(QStringLiteral("mario"));
        QFile file(m_dir.filePath(QStringLiteral("popup.ini")));
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("[BASE]\nOPERATORE=mario\n[PATH]\nSERVER=%1\n")
                       .arg(m_server.connectionString(m_server.roleOf(QStringLiteral("mario"))))
                       .toUtf8());
    }
    void exec(const QString& sql) override { m_server.exec(qualified(sql)); }
    QString rows(const QString& expression) override
    {
        const bool appointments = expression.contains(QStringLiteral("%A"));
        const QString bare =
            QString(expression).replace(appointments ? QStringLiteral("%A.") : QStringLiteral("%P."), QString());
        const QString value =
            m_server.scalar(QStringLiteral("SELECT string_agg(%1, ' | ' ORDER BY %1) FROM %2")
                                .arg(bare, qualified(appointments ? QStringLiteral("%A") : QStringLiteral("%P"))));
        return value == QStringLiteral("<NULL>") ? QString() : value;
    }
    QString commandLine() const override { return m_dir.filePath(QStringLiteral("popup.ini")) + DueLaunch; }

private:
    static QString qualified(QString sql)
    {
        return sql.replace(QStringLiteral("%A"), QStringLiteral("\"mario/VisiteQZ\".\"Appuntamenti\""))
            .replace(QStringLiteral("%P"), QStringLiteral("\"mario/WorkQZ\".\"Promemoria\""));
    }
    engine::test::PgTestServer m_server;
    QTemporaryDir m_dir;
};

struct WaitCase
{
    const char* name;
    int button; // 0 postpones by 15 minutes, 1 stops reminding
    const char* beforeLoad;
    const char* whileOpen;
    Desktop::Answer answer; // to the write-failure box, if one comes
    const char* box;        // how the first box starts; empty when none may come
    const char* remindersAtBox;
    const char* reminders;
    const char* appointments; // on the files; on the server too unless serverAppointments says otherwise
    const char* serverAppointments = nullptr;
};

const char* const ReminderRow = "%P.\"PmCliente\" || ',' || CAST(\"PmData\" AS TEXT) || ',' || "
                                "coalesce(CAST(\"PmAllarm\" AS TEXT), '-') || ',' || coalesce(\"PmWait\", '-') || ',' "
                                "|| coalesce(\"PmDocumento\", '-')";
const char* const AppointmentRow = "%A.\"ApCliente\" || ',' || CAST(\"ApData\" AS TEXT) || ',' || "
                                   "coalesce(CAST(CAST(\"ApAllarm\" AS INTEGER) AS TEXT), '-')";

const WaitCase WaitCases[] = {
    {"UnchangedRowsWithNullFieldsAreWritten", 0, "", "", Desktop::Answer::Cancel, "", "",
     "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-07 10:00:00,2026-12-07 09:15:00, ,-",
     "56,2026-12-07 10:00:00,30 | 57,2026-12-07 10:00:00,45"},
    {"AppointmentMissingAtLoadIsLeftAloneAndTheReminderWritten", 0, "DELETE FROM %A WHERE \"ApCliente\" = 57", "",
     Desktop::Answer::Cancel, "", "", "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-07 10:00:00,2026-12-07 09:15:00, ,-",
     "56,2026-12-07 10:00:00,30"},
    {"ARowNumberReusedByAnotherKeyLeavesThatRowAloneAndTheStopIsDone", 1, "",
     "DELETE FROM %P WHERE \"PmCliente\" = 57; INSERT INTO %P VALUES (58, '2026-12-07 10:00:00', 'MAN', '/doc/58', "
     "NULL, 'S')",
     Desktop::Answer::Cancel, "", "", "56,2026-12-07 10:00:00,-,S,- | 58,2026-12-07 10:00:00,-,S,/doc/58",
     "56,2026-12-07 10:00:00,30 | 57,2026-12-07 10:00:00,0"},
    {"RowsWhoseKeyMovedAreLeftAloneAndTheOperatorTold", 0, "",
     "UPDATE %A SET \"ApData\" = '2026-12-08 10:00:00' WHERE \"ApCliente\" = 57; UPDATE %P SET \"PmData\" = "
     "'2026-12-08 10:00:00' WHERE \"PmCliente\" = 57",
     Desktop::Answer::Cancel, "ERRORE IN SCRITTURA PROMEMORIA\n3167: ", "",
     "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-08 10:00:00,-,S,-",
     "56,2026-12-07 10:00:00,30 | 57,2026-12-08 10:00:00,30"},
    {"AWrittenFieldChangedIsToldAndRiprovaWritesOnTheRowAsItStands", 0, "",
     "UPDATE %P SET \"PmAllarm\" = '2026-12-07 12:00:00', \"PmWait\" = 'X' WHERE \"PmCliente\" = 57",
     Desktop::Answer::Retry, "ERRORE IN SCRITTURA PROMEMORIA\n3197: ",
     "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-07 10:00:00,2026-12-07 12:00:00,X,-",
     "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-07 10:00:00,2026-12-07 09:15:00, ,-",
     "56,2026-12-07 10:00:00,30 | 57,2026-12-07 10:00:00,45"},
    {"AFieldTheWindowReadChangedIsToldAndNotOverwritten", 1, "",
     "UPDATE %P SET \"PmDocumento\" = '/altro' WHERE \"PmCliente\" = 57", Desktop::Answer::Cancel,
     "ERRORE IN SCRITTURA PROMEMORIA\n3197: ", "", "56,2026-12-07 10:00:00,-,S,- | 57,2026-12-07 10:00:00,-,S,/altro",
     "56,2026-12-07 10:00:00,30 | 57,2026-12-07 10:00:00,0", "56,2026-12-07 10:00:00,30 | 57,2026-12-07 10:00:00,30"},
};

void PrintTo(const WaitCase& c, std::ostream* out)
{
    *out << c.name;
}

class WriteBackOnRowsChangedWhileTheWindowWaits : public ::testing::TestWithParam<std::tuple<bool, WaitCase>>
{
};

TEST_P(WriteBackOnRowsChangedWhileTheWindowWaits, WritesOnlyTheRowTheWindowLoadedAsItWasRead)
{
    const auto& [onServer, c] = GetParam();
    std::unique_ptr<WaitingStore> store =
        onServer ? std::unique_ptr<WaitingStore>(new ServerStore) : std::unique_ptr<WaitingStore>(new FileStore);
    // The neighbour first: on the files the window's reminder has the largest row number, which SQLite hands on.
    store->exec(QStringLiteral("INSERT INTO %A VALUES (56, '2026-12-07 10:00:00', 'MAN', 'altra', 'C', 30), (57, "
                               "'2026-12-07 10:00:00', 'MAN', NULL, 'C', 30)"));
    store->exec(QStringLiteral("INSERT INTO %P VALUES (56, '2026-12-07 10:00:00', 'MAN', NULL, NULL, 'S'), (57, "
                               "'2026-12-07 10:00:00', 'MAN', NULL, NULL, 'S')"));
    if (*c.beforeLoad != '\0') {
        store->exec(QString::fromUtf8(c.beforeLoad));
    }
    BoxPopup popup;
    ASSERT_TRUE(popup.start(store->commandLine()));
    ASSERT_TRUE(popup.ctx.state.LoadedOk);
    if (*c.whileOpen != '\0') {
        store->exec(QString::fromUtf8(c.whileOpen));
    }
    QString remindersAtBox;
    popup.desktop.whileBoxIsUp = [&] { remindersAtBox = store->rows(QString::fromUtf8(ReminderRow)); };
    popup.desktop.nextAnswers = {c.answer};
    popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
    ::testing::internal::CaptureStderr();
    popup.controls().cmdCli[c.button]->click();
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();

    if (*c.box == '\0') {
        EXPECT_TRUE(popup.desktop.messages.empty()) << popup.desktop.messages.front().text.toStdString();
        EXPECT_EQ(diagnostics.find("non eseguito"), std::string::npos) << diagnostics;
    } else {
        ASSERT_FALSE(popup.desktop.messages.empty());
        EXPECT_TRUE(popup.desktop.messages.front().text.startsWith(QString::fromUtf8(c.box)))
            << popup.desktop.messages.front().text.toStdString();
    }
    if (*c.remindersAtBox != '\0') {
        EXPECT_EQ(remindersAtBox, QString::fromUtf8(c.remindersAtBox));
    }
    EXPECT_EQ(store->rows(QString::fromUtf8(ReminderRow)), QString::fromUtf8(c.reminders));
    EXPECT_EQ(store->rows(QString::fromUtf8(AppointmentRow)),
              QString::fromUtf8(onServer && c.serverAppointments ? c.serverAppointments : c.appointments));
    EXPECT_EQ(popup.window->isUnloaded(), c.answer == Desktop::Answer::Retry || *c.box == '\0');
}

INSTANTIATE_TEST_SUITE_P(BothStores, WriteBackOnRowsChangedWhileTheWindowWaits,
                         ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(WaitCases)),
                         [](const auto& testInfo) {
                             return std::string(std::get<1>(testInfo.param).name) +
                                    (std::get<0>(testInfo.param) ? "_server" : "_files");
                         });

} // namespace
} // namespace rp::test
