#include "platform/WindowPlatformChoice.h"

#include <gtest/gtest.h>
#include <string>

namespace rp {
namespace {

struct SessionCase
{
    const char* name;
    WindowSystemSession session;
    const char* platform; // empty: Qt chooses
};

class WindowPlatformChoiceTest : public ::testing::TestWithParam<SessionCase>
{
};

TEST_P(WindowPlatformChoiceTest, PlatformForTheSession)
{
    EXPECT_EQ(windowPlatformFor(GetParam().session), QByteArray(GetParam().platform));
}

INSTANTIATE_TEST_SUITE_P(Sessions, WindowPlatformChoiceTest,
                         ::testing::Values(SessionCase{"x11Alone", {"", ":0", ""}, "xcb"},
                                           SessionCase{"waylandWithXwayland", {"", ":1", "wayland-0"}, "xcb;wayland"},
                                           SessionCase{"waylandAlone", {"", "", "wayland-0"}, ""},
                                           SessionCase{"noDisplayAtAll", {"", "", ""}, ""},
                                           SessionCase{"operatorChoseWayland", {"wayland", ":1", "wayland-0"}, ""},
                                           SessionCase{"operatorChoseX11", {"xcb", ":0", ""}, ""},
                                           SessionCase{"operatorChoseOffscreen", {"offscreen", "", ""}, ""}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(WindowSystemArgumentsTest, PlatformOptionFollowsTheProgramName)
{
    char program[] = "reminder-popup";
    char request[] = "/tmp/a.ini|0|57|MAN|07/12/2026 10:00:00";
    char* argv[] = {program, request, nullptr};
    WindowSystemArguments chosen(2, argv, "xcb;wayland");
    ASSERT_EQ(chosen.argc(), 4);
    EXPECT_STREQ(chosen.argv()[0], program);
    EXPECT_STREQ(chosen.argv()[1], "-platform");
    EXPECT_STREQ(chosen.argv()[2], "xcb;wayland");
    EXPECT_STREQ(chosen.argv()[3], request);
    EXPECT_EQ(chosen.argv()[4], nullptr);

    WindowSystemArguments left(2, argv, {});
    ASSERT_EQ(left.argc(), 2);
    EXPECT_STREQ(left.argv()[1], request);
    EXPECT_EQ(left.argv()[2], nullptr);
}

} // namespace
} // namespace rp
