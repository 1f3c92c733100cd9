#include "app/engine/LockWait.h"

#include <mutex>

namespace rp::engine {

namespace {

std::mutex lockWaitHookGuard;
LockWaitHook lockWaitHook;

} // namespace

void setLockWaitHook(LockWaitHook hook)
{
    const std::lock_guard<std::mutex> lock(lockWaitHookGuard);
    lockWaitHook = std::move(hook);
}

void runLockWaitHook()
{
    LockWaitHook hook;
    {
        const std::lock_guard<std::mutex> lock(lockWaitHookGuard);
        hook = lockWaitHook;
    }
    if (hook) {
        hook();
    }
}

} // namespace rp::engine
