// Launches a program and reports how long it takes until it maps a top-level window whose title starts with a
// given prefix, then closes that window the way a window manager does (WM_DELETE_WINDOW) and waits for the
// program to end. Watching the root window's structure events needs no polling, so the timing neither loads
// the X server nor lags behind the program.
//
//   x11_time_to_map [--timeout-ms N] [--settle-ms N] TITLE-PREFIX PROGRAM [ARGUMENT...]
//
// Prints "mapped_ms <milliseconds>" on standard output; exits with the program's own status, or 124 when no
// such window appeared in time (the program is then killed).
#include "X11Client.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int NoWindowStatus = 124;
constexpr int UsageStatus = 2;

struct Options
{
    long timeoutMs = 10000;
    long settleMs = 300;
    std::string titlePrefix;
    char** program = nullptr;
};

bool parseOptions(int argc, char** argv, Options& options)
{
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--timeout-ms") {
            options.timeoutMs = std::strtol(argv[i + 1], nullptr, 10);
        } else if (flag == "--settle-ms") {
            options.settleMs = std::strtol(argv[i + 1], nullptr, 10);
        } else {
            break;
        }
    }
    if (argc - i < 2) {
        return false;
    }
    options.titlePrefix = argv[i];
    options.program = argv + i + 1;
    return true;
}

// The title as the program set it; Qt writes both the ICCCM and the EWMH property before mapping.
std::string windowTitle(Display* display, Window window)
{
    std::string title;
    XTextProperty property{};
    if (XGetWMName(display, window, &property) != 0 && property.value != nullptr) {
        title.assign(reinterpret_cast<const char*>(property.value), property.nitems);
        XFree(property.value);
    }
    return title;
}

bool isWantedWindow(Display* display, const XMapEvent& event, const std::string& prefix)
{
    if (event.override_redirect) {
        return false;
    }
    return windowTitle(display, event.window).rfind(prefix, 0) == 0;
}

double elapsedMs(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// A window may be gone again by the time its title is read; that is no reason to stop watching.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Waits for the mapping of the wanted window; 0 when the time runs out or the program ends first.
Window waitForMap(Display* display, const Options& options, pid_t child, Clock::time_point start)
{
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event{};
            XNextEvent(display, &event);
            if (event.type == MapNotify && isWantedWindow(display, event.xmap, options.titlePrefix)) {
                return event.xmap.window;
            }
        }
        const long left = options.timeoutMs - static_cast<long>(elapsedMs(start));
        if (left <= 0 || waitpid(child, nullptr, WNOHANG) == child) {
            return 0;
        }
        // Woken by the X server's next event, or every 50 ms to notice a program that ended without a window.
        poll(&connection, 1, static_cast<int>(left < 50 ? left : 50));
    }
}

int exitStatus(int status)
{
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--timeout-ms N] [--settle-ms N] TITLE-PREFIX PROGRAM [ARGUMENT...]\n",
                     argv[0]);
        return UsageStatus;
    }
    Display* display = x11client::openDisplay();
    if (display == nullptr) {
        return 1;
    }
    XSetErrorHandler(ignoreXError);
    // Selected before the program starts, so that no mapping can slip by unseen.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(options.program[0], options.program);
        std::fprintf(stderr, "cannot run %s: %s\n", options.program[0], std::strerror(errno));
        _exit(127);
    }

    const Window window = waitForMap(display, options, child, start);
    const double mappedMs = elapsedMs(start);
    if (window == 0) {
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        std::fprintf(stderr, "no window titled '%s...' within %.0f ms\n", options.titlePrefix.c_str(), mappedMs);
        XCloseDisplay(display);
        return NoWindowStatus;
    }
    std::printf("mapped_ms %.2f\n", mappedMs);
    std::fflush(stdout);

    // Let the program finish its first paint and whatever it does on activation before it is closed, so that its
    // peak memory is that of a window really shown.
    usleep(static_cast<useconds_t>(options.settleMs) * 1000U);
    x11client::requestClose(display, window);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    XCloseDisplay(display);
    return exitStatus(status);
}
