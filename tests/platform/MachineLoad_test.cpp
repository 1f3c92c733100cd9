#include "platform/MachineLoad.h"

#include <gtest/gtest.h>

namespace rp {
namespace {

TEST(MachineLoadTest, BusyOnlyWhenMoreTasksAreReadyThanTwiceTheProcessors)
{
    EXPECT_FALSE(busierThanItsProcessors("0.52 0.58 0.59 1/467 12345\n", 2));
    EXPECT_FALSE(busierThanItsProcessors("3.10 1.20 0.80 4/467 12345\n", 2));
    EXPECT_TRUE(busierThanItsProcessors("25.57 16.53 8.20 5/467 12345\n", 2));
    EXPECT_TRUE(busierThanItsProcessors("1.00 1.00 1.00 201/900 12345\n", 8));
    // A machine that does not tell its processors counts as one.
    EXPECT_TRUE(busierThanItsProcessors("1.00 1.00 1.00 3/900 12345\n", 0));
}

TEST(MachineLoadTest, AnUnreadableLoadIsNotBusy)
{
    EXPECT_FALSE(busierThanItsProcessors("", 2));
    EXPECT_FALSE(busierThanItsProcessors("0.52 0.58 0.59", 2));
    EXPECT_FALSE(busierThanItsProcessors("0.52 0.58 0.59 many/467 12345", 2));
    EXPECT_FALSE(busierThanItsProcessors("0.52 0.58 0.59 467 12345", 2));
}

} // namespace
} // namespace rp
