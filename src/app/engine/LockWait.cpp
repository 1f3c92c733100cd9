#include "app/engine/LockWait.h"

#include <mutex>

namespace rp::engine {

namespace {

std::mutex lockWaitHookGuard;
LockWaitHook lockWaitHook;
thread_local bool hookOff = false;

} // namespace

void setLockWaitHook(LockWaitHook hook)
{
    const std::lock_guard<std::mutex> lock(lockWaitHookGuard);
    lockWaitHook = std::move(hook);
}

LockWaitHookOff::LockWaitHookOff()
{
    hookOff = true;
}

LockWaitHookOff::~LockWaitHookOff()
{
    hookOff = false;
}

void runLockWaitHook()
{
    if (hookOff) {
        return;
    }
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
