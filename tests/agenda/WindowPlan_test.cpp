#include "agenda/AgendaOptions.h"
#include "agenda/DueReminder.h"
#include "agenda/PopupEndLog.h"
#include "agenda/StoreFailureLog.h"
#include "agenda/WindowPlan.h"
#include "common/DaySerial.h"

#include <gtest/gtest.h>

using namespace rp;
using namespace rp::agenda;

namespace {

constexpr double Minute = 1.0 / 1440.0;

double at(int hour, int minute, int second = 0)
{
    return *daySerialFromCivil(CivilDateTime{2026, 12, 7, hour, minute, second});
}

DueReminder reminder(qint32 client, double alarm)
{
    return {client, at(10, 0), QStringLiteral("MAN"), alarm};
}

std::vector<int> slotsOf(const std::vector<WindowStart>& starts)
{
    std::vector<int> result;
    for (const WindowStart& s : starts) {
        result.push_back(s.slot);
    }
    return result;
}

TEST(WindowPlan, FillsTheLowestFreeSlotsInDueOrderUpToTheLimit)
{
    std::vector<DueReminder> due;
    for (qint32 c = 1; c <= 6; ++c) {
        due.push_back(reminder(c, at(9, c)));
    }
    std::map<QString, WindowTrace> traces;
    traces[due[0].keyText()].openSlot = 0; // still open from an earlier run: no second window
    traces[QStringLiteral("other")].openSlot = 2;
    const std::vector<WindowStart> starts = planWindows(due, traces, at(12, 0), 10 * Minute, 4);
    EXPECT_EQ(slotsOf(starts), (std::vector<int>{1, 3}));
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].reminder.client, 2);
    EXPECT_EQ(starts[1].reminder.client, 3);
}

TEST(WindowPlan, AnEndedWindowComesBackWhenPostponedOrAfterTheRepeat)
{
    const double ended = at(11, 0);
    const DueReminder closedUntouched = reminder(1, at(10, 55));
    const DueReminder postponed = reminder(2, at(11, 5));
    std::map<QString, WindowTrace> traces;
    traces[closedUntouched.keyText()].endedAt = ended;
    traces[postponed.keyText()].endedAt = ended;
    const std::vector<DueReminder> due{closedUntouched, postponed};

    const std::vector<WindowStart> early = planWindows(due, traces, at(11, 9, 59), 10 * Minute, 20);
    ASSERT_EQ(early.size(), 1u);
    EXPECT_EQ(early[0].reminder.client, 2);
    EXPECT_EQ(planWindows(due, traces, at(11, 10), 10 * Minute, 20).size(), 2u);
}

TEST(DueReminder, LaunchLineFromTheKeysAndBadRowsRefusedNamingTheColumn)
{
    // The store's own names for the key, as its primary key gives them.
    const QStringList keyColumns{QStringLiteral("PmCodCliente"), QStringLiteral("PmIstante"),
                                 QStringLiteral("PmCodAzione")};
    QString why;
    const std::optional<DueReminder> r =
        reminderFromRow({Value::integer(57), Value::dateTime(at(10, 0, 5)), Value::text(QStringLiteral("MAN")),
                         Value::text(QStringLiteral("2026-12-07 09:00:00"))},
                        keyColumns, why);
    ASSERT_TRUE(r);
    EXPECT_EQ(launchLine(QStringLiteral("/home/mario/agenda.ini"), 3, *r),
              QStringLiteral("/home/mario/agenda.ini|3|57|MAN|07/12/2026 10:00:05"));
    EXPECT_DOUBLE_EQ(r->alarm, at(9, 0));

    const Value key = Value::dateTime(at(10, 0));
    const Value action = Value::text(QStringLiteral("MAN"));
    const std::vector<std::pair<std::vector<Value>, QString>> bad{
        {{Value(), key, action, key}, QStringLiteral("PmCodCliente")},
        {{Value::real(1.5), key, action, key}, QStringLiteral("PmCodCliente")},
        {{Value::integer(1), Value::text(QStringLiteral("ieri")), action, key}, QStringLiteral("PmIstante")},
        {{Value::integer(1), key, Value(), key}, QStringLiteral("PmCodAzione")},
        {{Value::integer(1), key, Value::text(QStringLiteral("A|B")), key}, QStringLiteral("PmCodAzione")},
        {{Value::integer(1), key, action, Value::text(QStringLiteral("domani alle 9"))}, QStringLiteral("PmAllarm")},
        {{Value::integer(1), key, action, Value()}, QStringLiteral("PmAllarm")},
    };
    for (const auto& [row, column] : bad) {
        why.clear();
        EXPECT_FALSE(reminderFromRow(row, keyColumns, why));
        EXPECT_TRUE(why.startsWith(column)) << why.toStdString();
    }
}

TEST(AgendaOptions, DefaultsValuesAndRefusals)
{
    QString error;
    const std::optional<AgendaOptions> plain = parseAgendaOptions({QStringLiteral("a.ini")}, error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->intervalSeconds, 30);
    EXPECT_EQ(plain->repeatSeconds, 600);
    EXPECT_EQ(plain->maxWindows, 20);
    const std::optional<AgendaOptions> given = parseAgendaOptions(
        {QStringLiteral("--interval"), QStringLiteral("1"), QStringLiteral("a.ini"), QStringLiteral("--max-windows"),
         QStringLiteral("3"), QStringLiteral("--popup"), QStringLiteral("/x/p")},
        error);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->intervalSeconds, 1);
    EXPECT_EQ(given->maxWindows, 3);
    EXPECT_EQ(given->popupPath, QStringLiteral("/x/p"));
    EXPECT_EQ(given->settingsPath, QStringLiteral("a.ini"));
    for (const QStringList& wrong :
         {QStringList{}, QStringList{QStringLiteral("--interval"), QStringLiteral("0"), QStringLiteral("a.ini")},
          QStringList{QStringLiteral("a.ini"), QStringLiteral("--repeat")},
          QStringList{QStringLiteral("a.ini"), QStringLiteral("b.ini")},
          QStringList{QStringLiteral("--colour"), QStringLiteral("a.ini")},
          QStringList{QStringLiteral("/home/mario/agenda|vecchia.ini")},
          QStringList{QStringLiteral("--autostart"), QStringLiteral("a.ini")}}) {
        error.clear();
        EXPECT_FALSE(parseAgendaOptions(wrong, error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(WindowPlan, NextRepeatIsTheEarliestEndPlusTheRepeatOfWindowsClosedWithoutAnAction)
{
    const std::vector<DueReminder> due{reminder(1, at(9, 0)), reminder(2, at(9, 0)), reminder(3, at(10, 30)),
                                       reminder(4, at(9, 0))};
    std::map<QString, WindowTrace> traces;
    traces[due[0].keyText()].endedAt = at(10, 5);
    traces[due[1].keyText()].endedAt = at(10, 2);
    traces[due[2].keyText()].endedAt = at(10, 0); // postponed past its end: it comes back at its alarm instead
    traces[due[3].keyText()].openSlot = 0;
    EXPECT_DOUBLE_EQ(*nextRepeat(due, traces, at(10, 6), 10 * Minute), at(10, 12));
    EXPECT_DOUBLE_EQ(*nextRepeat(due, traces, at(10, 12), 10 * Minute), at(10, 15));
    EXPECT_FALSE(nextRepeat(due, traces, at(10, 15), 10 * Minute));
}

TEST(StoreFailureLog, ToldWhenItStartsChangesOnceAnHourAndWhenItIsOver)
{
    StoreFailureLog log;
    EXPECT_FALSE(log.succeeded());
    const QString locked = QStringLiteral("3260-bloccato");
    EXPECT_EQ(log.failed(locked, 100), QStringLiteral("archivio non leggibile: 3260-bloccato"));
    EXPECT_FALSE(log.failed(locked, 130));
    EXPECT_FALSE(log.failed(locked, 100 + StoreFailureLog::RepeatSeconds - 1));
    EXPECT_EQ(log.failed(locked, 100 + StoreFailureLog::RepeatSeconds),
              QStringLiteral("archivio ancora non leggibile: 3260-bloccato"));
    EXPECT_EQ(log.failed(QStringLiteral("3024-manca"), 3800), QStringLiteral("archivio non leggibile: 3024-manca"));
    EXPECT_EQ(log.succeeded(), QStringLiteral("archivio di nuovo leggibile"));
    EXPECT_FALSE(log.succeeded());
    EXPECT_TRUE(log.failed(QStringLiteral("3024-manca"), 3830)); // a new spell of failure is told afresh
}

TEST(PopupEndLog, APopupThatKeepsFailingIsToldOnceAnHourWithItsCount)
{
    PopupEndLog log;
    const QString key = QStringLiteral("57|2026-12-07 10:00:00|MAN");
    const QString line = QStringLiteral("a.ini|0|57|MAN|07/12/2026 10:00:00");
    const QString abort = QStringLiteral("terminata dal segnale 6 (SIGABRT)");
    EXPECT_EQ(log.failed(key, line, abort, 100), QStringLiteral("finestra %1: %2").arg(abort, line));
    EXPECT_FALSE(log.failed(key, line, abort, 700));
    EXPECT_FALSE(log.failed(key, line, abort, 1300));
    EXPECT_EQ(log.failed(key, line, abort, 100 + PopupEndLog::RepeatSeconds),
              QStringLiteral("finestra %1 ancora 3 volte nell'ultima ora: %2").arg(abort, line));
    EXPECT_TRUE(log.failed(key, line, QStringLiteral("terminata con stato 1"), 3710)); // another way of failing
    EXPECT_TRUE(log.failed(QStringLiteral("58|x|MAN"), line, abort, 3710));            // another reminder
    log.endedNormally(key);
    EXPECT_TRUE(log.failed(key, line, QStringLiteral("terminata con stato 1"), 3720));
    log.forgetAllBut({});
    EXPECT_TRUE(log.failed(QStringLiteral("58|x|MAN"), line, abort, 3730));
}

} // namespace
