#include "platform/InheritedDescriptors.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace rp {

namespace {

// Kernels before 5.11 lack CLOSE_RANGE_CLOEXEC: each open descriptor, as /proc lists them.
void markListedDescriptors()
{
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) {
        return;
    }
    const int own = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd > STDERR_FILENO && fd != own) {
            const int flags = fcntl(static_cast<int>(fd), F_GETFD);
            if (flags >= 0) {
                fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
            }
        }
    }
    closedir(listing);
}

} // namespace

void keepInheritedDescriptorsFromChildren()
{
    if (syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        markListedDescriptors();
    }
}

} // namespace rp
