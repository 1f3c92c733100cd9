#include "platform/FontConfigWarmUp.h"

#include <fontconfig/fontconfig.h>
#include <pthread.h>
#include <sched.h>
#include <system_error>

namespace rp {

FontConfigWarmUp::FontConfigWarmUp()
{
    try {
        m_thread = std::thread([] {
            // Idle priority: while Qt connects, the X server needs the other core more than this thread does.
            // Once wait() blocks the main thread, a core is free and the thread runs at full speed anyway.
            sched_param unused{};
            pthread_setschedparam(pthread_self(), SCHED_IDLE, &unused);
            FcInit();
        });
    } catch (const std::system_error&) {
        // No thread to spare: Qt loads the configuration itself when it first needs it.
    }
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    wait();
}

void FontConfigWarmUp::wait()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

} // namespace rp
