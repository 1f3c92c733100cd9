// Postpone and stop on real SQLite files, the clock fixed through the fake desktop.
#include "actions/PostponeAndDismiss.h"
#include "common/DaySerial.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace rp::test {
namespace {

constexpr qint32 Client = 57;
const QString Action = QStringLiteral("MAN");

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

    ScopedLocale locale{u','};
    TestStore store;
    PopupHarness popup;
    double due = 0;
};

// --- Postpone: the worked examples ---

TEST_F(PostponeAndDismiss, FifteenMinutesBeforeTheAppointmentRoundsTheLeadDown)
{
    postponeAt(serialOf(2026, 12, 7, 9, 0, 30), QStringLiteral("15"), UnitMinutes);
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(44.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due), QVariant(alarmText(9, 15, 30)));
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due), QVariant(QStringLiteral(" ")));
    EXPECT_TRUE(popup.window->isUnloaded());
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

    TestStore other;
    other.addReminder(Client, due, Action, QVariant());
    PopupHarness stop;
    ASSERT_TRUE(stop.start(other.commandLine(Client, due, Action)));
    stop.controls().cmdCli[1]->click();
    EXPECT_EQ(other.scalar(other.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(0LL));
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

TEST_F(PostponeAndDismiss, ReminderDeletedByAnotherProcessIsNotRecreated)
{
    load();
    store.exec(store.workDbPath(), QStringLiteral("DELETE FROM Promemoria WHERE PmData = ?"),
               {storageTextFromDaySerial(due)});
    popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
    popup.controls().cmdCli[0]->click();
    EXPECT_EQ(store.scalar(store.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(1LL));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(45.0)) << "the appointment row still changes";
    EXPECT_TRUE(popup.window->isUnloaded());
}

} // namespace
} // namespace rp::test
