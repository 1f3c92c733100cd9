#include "common/RuntimeError.h"
#include "reminder/PlacementGrid.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace rp {
namespace {

constexpr double OuterWidth = 459 * 15;
constexpr double OuterHeight = 147 * 15;

// A grid whose rooms are the given numbers of vertical and horizontal steps.
PlacementGrid gridWithRoom(double rowSteps, double columnSteps)
{
    return placementGridFor(OuterWidth + columnSteps * SlotStepRightTwips, OuterHeight + rowSteps * SlotStepDownTwips,
                            OuterWidth, OuterHeight);
}

struct Position
{
    int top;
    int left;
    bool operator==(const Position&) const = default;
};

Position placeSlot(const PlacementGrid& grid, qint16 slot)
{
    const PlacementCell cell = placementCellFor(grid, slot);
    return {topForRow(cell.row), leftForColumn(cell.column)};
}

int errorNumberOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// --- Grid size: rounded to the nearest count, halves to the even neighbour ---

TEST(PlacementGridTest, RoomsRoundToNearestWithHalvesToEven)
{
    const PlacementGrid grid = gridWithRoom(12.65, 27.5);
    EXPECT_EQ(grid.Rows, 13);
    EXPECT_EQ(grid.Columns, 28);
    EXPECT_EQ(gridWithRoom(2.5, 10).Rows, 2);
    EXPECT_EQ(gridWithRoom(3.5, 10).Rows, 4);
    EXPECT_EQ(gridWithRoom(10, 26.5).Columns, 26);
}

TEST(PlacementGridTest, ScreenSmallerThanWindowGivesNegativeCounts)
{
    const PlacementGrid grid = placementGridFor(1000, 1000, 1000 + 3 * 300, 1000 + 2 * 700);
    EXPECT_EQ(grid.Rows, -2);
    EXPECT_EQ(grid.Columns, -3);
}

TEST(PlacementGridTest, CountBeyondSixteenBitsIsOverflow)
{
    EXPECT_EQ(errorNumberOf([] { gridWithRoom(40000, 10); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([] { gridWithRoom(10, -40000); }), RuntimeError::OverflowNumber);
}

// --- The window manager's frame is part of the outer size ---

struct FramedWindow
{
    const char* windowManager;
    QMargins frame; // in pixels
    qint16 rows;
    qint16 columns;
};

class PlacementWithFrameTest : public ::testing::TestWithParam<FramedWindow>
{
};

// The window's client area on a 1920 x 1080 screen: a title bar alone is enough to take a row off.
TEST_P(PlacementWithFrameTest, FrameCountsInRowsAndColumns)
{
    const FramedWindow& framed = GetParam();
    const QSize outer = outerSizeTwips(QSize(459, 147), framed.frame);
    const PlacementGrid grid = placementGridFor(1920 * 15, 1080 * 15, outer.width(), outer.height());
    EXPECT_EQ(grid.Rows, framed.rows);
    EXPECT_EQ(grid.Columns, framed.columns);
    EXPECT_EQ(placeSlot(grid, 19).top, 19 % framed.rows * SlotStepDownTwips);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, PlacementWithFrameTest,
                         ::testing::Values(FramedWindow{"none", QMargins(), 20, 73},
                                           FramedWindow{"xfwm4", QMargins(5, 29, 5, 5), 19, 73},
                                           FramedWindow{"openbox", QMargins(1, 20, 1, 1), 20, 73},
                                           FramedWindow{"thickBorders", QMargins(10, 30, 10, 10), 19, 72}),
                         [](const auto& test) { return std::string(test.param.windowManager); });

// --- Cascading slots ---

TEST(PlacementGridTest, FirstSlotsCascadeDownAndRight)
{
    const PlacementGrid grid = gridWithRoom(10, 20);
    EXPECT_EQ(placeSlot(grid, 0), (Position{0, 0}));
    EXPECT_EQ(placeSlot(grid, 1), (Position{700, 300}));
    EXPECT_EQ(placeSlot(grid, 2), (Position{1400, 600}));
}

TEST(PlacementGridTest, EachDirectionWrapsOnItsOwn)
{
    const PlacementGrid grid = gridWithRoom(12.65, 27.5);
    EXPECT_EQ(placeSlot(grid, 13), (Position{0, 13 * 300}));
    EXPECT_EQ(placeSlot(grid, 30), (Position{4 * 700, 2 * 300}));
}

TEST(PlacementGridTest, NegativeSlotKeepsItsSign)
{
    const PlacementGrid grid = gridWithRoom(5, 5);
    EXPECT_EQ(placeSlot(grid, -1), (Position{-700, -300}));
    EXPECT_EQ(placeSlot(grid, -7), (Position{-2 * 700, -2 * 300}));
    // Remainders by a negative count still follow the slot's sign.
    EXPECT_EQ(placeSlot(PlacementGrid{-3, -4}, 7), (Position{1 * 700, 3 * 300}));
}

TEST(PlacementGridTest, ExtremeSlotsStayDefined)
{
    const PlacementCell cell = placementCellFor(PlacementGrid{-1, 1}, -32768);
    EXPECT_EQ(cell.row, 0);
    EXPECT_EQ(cell.column, 0);
    const PlacementCell last = placementCellFor(PlacementGrid{32767, 32767}, 32767);
    EXPECT_EQ(last.row, 0);
}

// --- On the desk: the grid lies on the primary monitor ---

// A laptop of 1366 x 768 at the desktop's corner and the primary 1920 x 1080 monitor on its right; the window
// framed as mutter frames it, the frame told before the window is shown (mutter) or only as the window manager takes
// the shown window in (KWin). The real window set-up, with the desktop faked.
TEST(PlacementOnTheDeskTest, GridLiesWhollyOnThePrimaryMonitor)
{
    const QRect primary(1366, 0, 1920, 1080);
    const QMargins frame(0, 37, 0, 0);
    test::ScopedLocale locale{u','};
    test::TestStore store;
    const double due = test::serialOf(2026, 12, 7, 10, 0, 0);
    store.addClient(57, QStringLiteral("ROSSI SRL"), QStringLiteral("ROSSI IMPIANTI"));
    store.addAction(QStringLiteral("MAN"), QStringLiteral("MANUTENZIONE"), 255);
    store.addAppointment(57, due, QStringLiteral("MAN"), QStringLiteral("nota"), QStringLiteral("VERIFICA"));
    store.addReminder(57, due, QStringLiteral("MAN"), QVariant());
    // 19 rows and 73 columns of the primary monitor: slot 18 is its last row, slot 19 the first again (a window
    // without a frame would have 20 rows).
    struct SlotOnTheDesk
    {
        qint16 slot;
        QPoint frameAt;
    };
    const SlotOnTheDesk placements[] = {
        {0, {1366, 0}}, {1, {1366 + 20, 46}}, {18, {1366 + 18 * 20, 840}}, {19, {1366 + 19 * 20, 0}}};
    for (const bool frameSetOnShowing : {false, true}) {
        for (const auto& [slot, frameAt] : placements) {
            test::PopupHarness popup;
            popup.desktop.primaryScreen = primary;
            popup.desktop.framePixels = frameSetOnShowing ? QMargins() : frame;
            ASSERT_TRUE(popup.start(store.commandLine(57, due, QStringLiteral("MAN"), slot)));
            ASSERT_TRUE(popup.desktop.messages.empty()) << popup.desktop.messages.front().text.toStdString();
            if (frameSetOnShowing) {
                ASSERT_TRUE(popup.desktop.frameSetOnShowing);
                popup.desktop.frameSetOnShowing(frame);
            }
            const QRect framed = popup.window->geometry().marginsAdded(frame);
            EXPECT_EQ(framed.topLeft(), frameAt)
                << "slot " << slot << (frameSetOnShowing ? ", frame set on showing" : "");
            EXPECT_TRUE(primary.contains(framed)) << "slot " << slot << " reaches off the primary monitor";
        }
    }
}

// --- Failures ---

TEST(PlacementGridTest, NoRoomForAStepIsDivisionByZero)
{
    for (const double rowSteps : {0.5, -0.5, 0.0}) {
        const PlacementGrid grid = gridWithRoom(rowSteps, 10);
        EXPECT_EQ(grid.Rows, 0) << rowSteps;
        EXPECT_EQ(errorNumberOf([&] { placementCellFor(grid, 1); }), RuntimeError::DivisionByZeroNumber);
    }
    for (const double columnSteps : {0.5, -0.5}) {
        const PlacementGrid grid = gridWithRoom(10, columnSteps);
        EXPECT_EQ(errorNumberOf([&] { placementCellFor(grid, 0); }), RuntimeError::DivisionByZeroNumber);
    }
    EXPECT_EQ(gridWithRoom(351.0 / 700, 151.0 / 300).Rows, 1);
    EXPECT_EQ(gridWithRoom(351.0 / 700, 151.0 / 300).Columns, 1);
}

TEST(PlacementGridTest, RowProductOutsideSixteenBitsIsOverflow)
{
    const PlacementGrid grid = gridWithRoom(48, 10);
    EXPECT_EQ(placeSlot(grid, 46).top, 46 * 700);
    EXPECT_EQ(errorNumberOf([&] { placeSlot(grid, 47); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(errorNumberOf([&] { placeSlot(grid, -47); }), RuntimeError::OverflowNumber);
}

TEST(PlacementGridTest, ColumnProductOverflowsAfterTheRowWasFine)
{
    const PlacementGrid grid = gridWithRoom(20, 111);
    const PlacementCell cell = placementCellFor(grid, 110);
    EXPECT_EQ(topForRow(cell.row), (110 % 20) * 700);
    EXPECT_EQ(errorNumberOf([&] { leftForColumn(cell.column); }), RuntimeError::OverflowNumber);
    EXPECT_EQ(leftForColumn(109), 109 * 300);
    EXPECT_EQ(leftForColumn(-109), -109 * 300);
    EXPECT_EQ(errorNumberOf([] { leftForColumn(-110); }), RuntimeError::OverflowNumber);
}

} // namespace
} // namespace rp
