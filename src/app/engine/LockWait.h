#pragma once

#include <functional>

namespace rp::engine {

// How long a statement waits for another process's lock before failing with DatabaseLocked, on either store.
constexpr int BusyTimeoutMs = 5000;

// The wait for a lock, or for the server's answer, goes in steps of this length; the hook runs between steps.
constexpr int LockWaitStepMs = 20;

// Called on the waiting thread between the steps of every wait, so that an application can keep its window
// painted while another process holds a lock. The engine knows nothing of windows: whoever owns the event loop
// installs the hook. An empty function removes it.
using LockWaitHook = std::function<void()>;
void setLockWaitHook(LockWaitHook hook);
void runLockWaitHook();

// For its lifetime, the current thread runs no hook: a worker that waits on the store while the window system
// starts must not run the event loop's work, which belongs to the thread that owns it.
class LockWaitHookOff
{
public:
    LockWaitHookOff();
    ~LockWaitHookOff();
    LockWaitHookOff(const LockWaitHookOff&) = delete;
    LockWaitHookOff& operator=(const LockWaitHookOff&) = delete;
};

} // namespace rp::engine
