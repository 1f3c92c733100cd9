// The unload releases whatever is open, in its fixed order, and skips what was never opened.
#include "app/UnloadSequence.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

namespace rp::test {
namespace {

TEST(UnloadSequence, NothingOpenedIsSkippedWithoutError)
{
    FakeDesktop desktop;
    PopupContext ctx(desktop);
    EXPECT_NO_THROW(runUnloadSequence(ctx));
    EXPECT_TRUE(desktop.requests.isEmpty());
}

TEST(UnloadSequence, ReleasesCursorsAndDatabasesSoTheFilesCanGo)
{
    TestStore store;
    const double due = serialOf(2026, 12, 7, 10, 0, 0);
    store.addReminder(57, due, QStringLiteral("MAN"), QVariant());
    PopupHarness popup;
    ASSERT_TRUE(popup.start(store.commandLine(57, due, QStringLiteral("MAN"))));
    ASSERT_TRUE(popup.ctx.state.AppointmentRs && popup.ctx.state.ReminderRs);
    std::weak_ptr<engine::Database> work = popup.ctx.state.WorkDb;

    runUnloadSequence(popup.ctx);
    EXPECT_FALSE(popup.ctx.state.AppointmentRs || popup.ctx.state.ReminderRs);
    EXPECT_FALSE(popup.ctx.state.DataDb || popup.ctx.state.VisitsDb || popup.ctx.state.WorkDb);
    EXPECT_FALSE(popup.ctx.state.DataWorkspace || popup.ctx.state.VisitsWorkspace || popup.ctx.state.WorkWorkspace);
    EXPECT_TRUE(work.expired()) << "the last reference gone, the connection is closed";
    EXPECT_NO_THROW(runUnloadSequence(popup.ctx)) << "a second unload finds nothing and skips it";
}

TEST(UnloadSequence, CursorAlreadyClosedIsReleasedAllTheSame)
{
    TestStore store;
    const double due = serialOf(2026, 12, 7, 10, 0, 0);
    store.addReminder(57, due, QStringLiteral("MAN"), QVariant());
    PopupHarness popup;
    ASSERT_TRUE(popup.start(store.commandLine(57, due, QStringLiteral("MAN"))));
    popup.ctx.state.ReminderRs->close();
    runUnloadSequence(popup.ctx);
    EXPECT_FALSE(popup.ctx.state.ReminderRs);
    EXPECT_FALSE(popup.ctx.state.WorkDb);
}

} // namespace
} // namespace rp::test
