// Waits, for end-to-end tests, on what a program does on the X server rather than for a fixed time:
//
//   x11_wait idle WINDOW   returns once the program that owns WINDOW has handled every event sent to it before:
//                          a _NET_WM_PING answered, as a window manager asks. Whatever the program did in answer
//                          to those events (closing the window, ending) has reached the server by then.
//   x11_wait bells COUNT   prints "ready" once it listens, then returns once COUNT bells have rung on the display.
//
// Each gives up after ten seconds with status 1; status 2 is a usage error.
#include "X11Client.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace {

constexpr auto Bound = std::chrono::seconds(10);

bool windowGone = false;

// A window destroyed before the ping reaches it is an answer too, not a reason to abort.
int noteMissingWindow(Display*, XErrorEvent* error)
{
    if (error->error_code == BadWindow) {
        windowGone = true;
    }
    return 0;
}

// nextEvent: the next event of the display, or false once the bound has passed.
bool nextEvent(Display* display, std::chrono::steady_clock::time_point deadline, XEvent& event)
{
    while (XPending(display) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left.count()));
    }
    XNextEvent(display, &event);
    return true;
}

int waitIdle(Display* display, Window window)
{
    const Window root = DefaultRootWindow(display);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    // The answer goes to the root window for whoever listens there; many clients may listen this way at once.
    XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);
    // A mark of this request alone, so that an answer to another ping is not taken for this one's.
    const long mark = static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7fffffff);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(ping);
    event.xclient.data.l[1] = mark;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSetErrorHandler(noteMissingWindow);
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    if (windowGone) {
        std::fprintf(stderr, "window 0x%lx is gone\n", window);
        return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() + Bound;
    while (nextEvent(display, deadline, event)) {
        if (event.type == ClientMessage && event.xclient.message_type == protocols &&
            event.xclient.data.l[0] == static_cast<long>(ping) && event.xclient.data.l[1] == mark) {
            return 0;
        }
    }
    std::fprintf(stderr, "window 0x%lx did not answer within %lld s\n", window, static_cast<long long>(Bound.count()));
    return 1;
}

int waitBells(Display* display, long count)
{
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "the X server has no keyboard extension to report bells\n");
        return 1;
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + Bound;
    long rung = 0;
    XEvent event{};
    while (rung < count && nextEvent(display, deadline, event)) {
        if (event.type == eventBase && reinterpret_cast<XkbAnyEvent&>(event).xkb_type == XkbBellNotify) {
            ++rung;
        }
    }
    if (rung < count) {
        std::fprintf(stderr, "%ld of %ld bells rang within %lld s\n", rung, count,
                     static_cast<long long>(Bound.count()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "idle") != 0 && std::strcmp(argv[1], "bells") != 0)) {
        std::fprintf(stderr, "usage: %s idle WINDOW-ID | bells COUNT\n", argv[0]);
        return 2;
    }
    long count = 0;
    Window window = 0;
    if (std::strcmp(argv[1], "idle") == 0) {
        window = x11client::windowFromArgument(argv[2]);
        if (window == 0) {
            return 2;
        }
    } else {
        char* end = nullptr;
        count = std::strtol(argv[2], &end, 10);
        if (end == argv[2] || *end != '\0' || count < 1) {
            std::fprintf(stderr, "not a number of bells: %s\n", argv[2]);
            return 2;
        }
    }
    Display* display = x11client::openDisplay();
    if (display == nullptr) {
        return 1;
    }
    const int status = window != 0 ? waitIdle(display, window) : waitBells(display, count);
    XCloseDisplay(display);
    return status;
}
