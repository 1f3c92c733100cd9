#include "platform/InheritedDescriptors.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

bool closeOnExec(int fd)
{
    return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

// A lock handed over by the watcher is an inherited descriptor without close-on-exec, like this pipe's ends.
TEST(InheritedDescriptors, KeptOpenButNotPassedOnAndTheStandardThreeLeftAlone)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_FALSE(closeOnExec(ends[0]));
    rp::keepInheritedDescriptorsFromChildren();
    EXPECT_TRUE(closeOnExec(ends[0]));
    EXPECT_TRUE(closeOnExec(ends[1]));
    EXPECT_NE(fcntl(ends[0], F_GETFD), -1) << "still open";
    for (int standard = 0; standard <= 2; ++standard) {
        EXPECT_FALSE(closeOnExec(standard));
    }
    close(ends[0]);
    close(ends[1]);
}

} // namespace
