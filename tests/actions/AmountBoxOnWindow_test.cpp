// The amount box of the real window, loaded from SQLite files, typed into through the window system's key
// routing (the keys go to whichever control has the focus, as the operator's keys do).
#include "common/DaySerial.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace rp::test {
namespace {

constexpr qint32 Client = 57;
const QString Action = QStringLiteral("MAN");

class AmountBoxOnWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        due = serialOf(2026, 12, 7, 10, 0, 0);
        store.addAppointment(Client, due, Action, QStringLiteral("nota"), QStringLiteral("C"));
        store.addReminder(Client, due, Action, QVariant());
        store.addAppointment(Client, due + 1, Action, QStringLiteral("altra"), QStringLiteral("C"));
        store.addReminder(Client, due + 1, Action, QVariant());
        popup.desktop.fixedNow = serialOf(2026, 12, 7, 9, 0, 0);
        ASSERT_TRUE(popup.start(store.commandLine(Client, due, Action)));
        ASSERT_TRUE(popup.ctx.state.LoadedOk);

        ReminderWindow* window = popup.window.get();
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitFor([window] { return window->isActiveWindow(); }));
        ASSERT_TRUE(QTest::qWaitFor([this] { return box()->hasFocus(); }));
        ASSERT_EQ(box()->text(), QStringLiteral("15"));
        press(Qt::Key_Backspace);
        press(Qt::Key_Backspace);
        ASSERT_EQ(box()->text(), QString());
    }

    QLineEdit* box() const { return popup.controls().Txt1; }

    // Through the window, not to a widget: the key reaches the focused control with its filters and shortcuts.
    void press(Qt::Key key) { QTest::keyClick(popup.window->windowHandle(), key); }
    void type(const char* keys)
    {
        for (const char* key = keys; *key != '\0'; ++key) {
            QTest::keyClick(popup.window->windowHandle(), *key);
        }
    }

    QVariant reminderField(const QString& field, double when) const
    {
        return store.scalar(store.workDbPath(), QStringLiteral("SELECT %1 FROM Promemoria WHERE PmData = ?").arg(field),
                            {storageTextFromDaySerial(when)});
    }
    QVariant appointmentField(const QString& field, double when) const
    {
        return store.scalar(store.visitsDbPath(),
                            QStringLiteral("SELECT %1 FROM Appuntamenti WHERE ApData = ?").arg(field),
                            {storageTextFromDaySerial(when)});
    }

    ScopedLocale locale{u','};
    TestStore store;
    PopupHarness popup;
    double due = 0;
};

// --- What typing leaves in the box ---

TEST_F(AmountBoxOnWindow, DigitsAreTypedAndBackspaceRemovesThem)
{
    type("15");
    EXPECT_EQ(box()->text(), QStringLiteral("15"));
    type("0");
    press(Qt::Key_Backspace);
    EXPECT_EQ(box()->text(), QStringLiteral("15"));
}

TEST_F(AmountBoxOnWindow, LettersBlankAndOperatorsInsertNothing)
{
    type("a +*/eZ");
    EXPECT_EQ(box()->text(), QString());
    type("1e2");
    EXPECT_EQ(box()->text(), QStringLiteral("12"));
    EXPECT_TRUE(box()->hasFocus());
}

TEST_F(AmountBoxOnWindow, PointAndCommaBothTypeTheLocalesSeparator)
{
    type("1.5,2");
    EXPECT_EQ(box()->text(), QStringLiteral("1,5,2"));
    for (int i = 0; i < 5; ++i) {
        press(Qt::Key_Backspace);
    }
    ASSERT_EQ(box()->text(), QString());

    const ScopedLocale point(u'.');
    type("1,5.2");
    EXPECT_EQ(box()->text(), QStringLiteral("1.5.2"));
}

// --- Enter, then Enter again ---

TEST_F(AmountBoxOnWindow, EnterMovesToPostponeAndTheSecondEnterPostpones)
{
    const QVariant neighbourAlarm = reminderField(QStringLiteral("PmAllarm"), due + 1);
    type("3");
    press(Qt::Key_Return);
    EXPECT_EQ(box()->text(), QStringLiteral("3"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return popup.controls().cmdCli[0]->hasFocus(); }));
    EXPECT_FALSE(popup.window->isUnloaded()) << "the first Enter only moves the focus";
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due), QVariant(QStringLiteral("S")));

    press(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([this] { return popup.window->isUnloaded(); }));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due),
              QVariant(storageTextFromDaySerial(serialOf(2026, 12, 7, 9, 3, 0))));
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due), QVariant(QStringLiteral(" ")));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due), QVariant(57.0));
    EXPECT_EQ(reminderField(QStringLiteral("PmAllarm"), due + 1), neighbourAlarm);
    EXPECT_EQ(reminderField(QStringLiteral("PmWait"), due + 1), QVariant(QStringLiteral("S")));
    EXPECT_EQ(appointmentField(QStringLiteral("ApAllarm"), due + 1), QVariant(30.0));
}

} // namespace
} // namespace rp::test
