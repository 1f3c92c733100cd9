// Waits, for end-to-end tests, on what a program does on the X server rather than for a fixed time, and without
// starting a process per look as a polling script would:
//
//   x11_wait shown NAME-REGEX [PID]  prints the id of a viewable window whose name matches NAME-REGEX (POSIX
//                                    extended, as xdotool's search), once there is one; gives up early when the
//                                    process PID has ended.
//   x11_wait gone WINDOW             returns once WINDOW is no longer viewable (unmapped or destroyed).
//   x11_wait idle WINDOW             returns once the program that owns WINDOW has handled every event sent to it
//                                    before: a _NET_WM_PING answered, as a window manager asks. Whatever the
//                                    program did in answer to those events (closing the window, ending) has
//                                    reached the server by then.
//   x11_wait bells COUNT             prints "ready" once it listens, then returns once COUNT bells have rung.
//
// Each gives up after thirty seconds with status 1; status 2 is a usage error.
#include "X11Client.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <regex.h>
#include <signal.h>
#include <string>
#include <sys/types.h>

namespace {

constexpr auto Bound = std::chrono::seconds(30);
// Looks again at least this often: a window manager may map a window where no event of the root reports it.
constexpr auto LookAgain = std::chrono::milliseconds(100);

bool windowGone = false;

// A window destroyed before the ping reaches it is an answer too, not a reason to abort.
int noteMissingWindow(Display*, XErrorEvent* error)
{
    if (error->error_code == BadWindow) {
        windowGone = true;
    }
    return 0;
}

// Errors of windows that go while they are looked at are part of looking.
int ignoreError(Display*, XErrorEvent*)
{
    return 0;
}

// nextEvent: the next event of the display, or false once the bound has passed.
bool nextEvent(Display* display, std::chrono::steady_clock::time_point deadline, XEvent& event)
{
    while (XPending(display) == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left.count()));
    }
    XNextEvent(display, &event);
    return true;
}

// nextEventOrTick: the next event, or false when none came within LookAgain.
bool nextEventOrTick(Display* display, XEvent& event)
{
    return nextEvent(display, std::chrono::steady_clock::now() + LookAgain, event);
}

std::string windowName(Display* display, Window window)
{
    static const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, netName, 0, 4096, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && type == utf8) {
        name.assign(reinterpret_cast<const char*>(data), count);
    } else {
        char* plain = nullptr;
        if (XFetchName(display, window, &plain) != 0 && plain != nullptr) {
            name = plain;
            XFree(plain);
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return name;
}

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

// The first viewable window under ROOT, at any depth (a window manager puts clients inside frames), whose name
// matches.
std::optional<Window> findShown(Display* display, Window parent, const regex_t& pattern)
{
    Window root = 0;
    Window parentOfParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &parentOfParent, &children, &count) == 0) {
        return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (!viewable(display, children[i])) {
            continue;
        }
        if (regexec(&pattern, windowName(display, children[i]).c_str(), 0, nullptr, 0) == 0) {
            found = children[i];
        } else {
            found = findShown(display, children[i], pattern);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// A process that has ended, or is a zombie nobody has waited for yet, will show nothing more.
bool processEnded(pid_t pid)
{
    if (kill(pid, 0) != 0) {
        return true;
    }
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (stat == nullptr) {
        return true;
    }
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* state = read ? std::strrchr(line, ')') : nullptr;
    return state != nullptr && state[1] == ' ' && state[2] == 'Z';
}

int waitShown(Display* display, const char* expression, pid_t pid)
{
    regex_t pattern{};
    if (regcomp(&pattern, expression, REG_EXTENDED | REG_NOSUB) != 0) {
        std::fprintf(stderr, "not an extended regular expression: %s\n", expression);
        return 2;
    }
    XSetErrorHandler(ignoreError);
    // Any window created, mapped, named or reparented under the root makes a look at once.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask | PropertyChangeMask);
    const auto deadline = std::chrono::steady_clock::now() + Bound;
    int status = 1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const auto window = findShown(display, DefaultRootWindow(display), pattern)) {
            std::printf("%lu\n", *window);
            status = 0;
            break;
        }
        if (pid > 0 && processEnded(pid)) {
            std::fprintf(stderr, "process %d ended without showing a window matching '%s'\n", pid, expression);
            break;
        }
        XEvent event{};
        while (nextEventOrTick(display, event) && XPending(display) > 0) {
            XNextEvent(display, &event);
        }
    }
    if (status != 0 && !(pid > 0 && processEnded(pid))) {
        std::fprintf(stderr, "no window matching '%s' within %lld s\n", expression,
                     static_cast<long long>(Bound.count()));
    }
    regfree(&pattern);
    return status;
}

int waitGone(Display* display, Window window)
{
    XSetErrorHandler(ignoreError);
    XSelectInput(display, window, StructureNotifyMask);
    const auto deadline = std::chrono::steady_clock::now() + Bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!viewable(display, window)) {
            return 0;
        }
        XEvent event{};
        nextEventOrTick(display, event);
    }
    std::fprintf(stderr, "window 0x%lx still shown after %lld s\n", window, static_cast<long long>(Bound.count()));
    return 1;
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
    const std::string mode = argc >= 3 ? argv[1] : "";
    const bool known = ((mode == "idle" || mode == "gone" || mode == "bells") && argc == 3) ||
                       (mode == "shown" && (argc == 3 || argc == 4));
    if (!known) {
        std::fprintf(stderr, "usage: %s shown NAME-REGEX [PID] | gone WINDOW-ID | idle WINDOW-ID | bells COUNT\n",
                     argv[0]);
        return 2;
    }
    long number = 0;
    Window window = 0;
    if (mode == "idle" || mode == "gone") {
        window = x11client::windowFromArgument(argv[2]);
        if (window == 0) {
            return 2;
        }
    } else if (mode == "bells" || argc == 4) {
        const char* text = argv[argc - 1];
        char* end = nullptr;
        number = std::strtol(text, &end, 10);
        if (end == text || *end != '\0' || number < 1) {
            std::fprintf(stderr, "not a positive number: %s\n", text);
            return 2;
        }
    }
    Display* display = x11client::openDisplay();
    if (display == nullptr) {
        return 1;
    }
    int status = 1;
    if (mode == "shown") {
        status = waitShown(display, argv[2], static_cast<pid_t>(number));
    } else if (mode == "gone") {
        status = waitGone(display, window);
    } else if (mode == "idle") {
        status = waitIdle(display, window);
    } else {
        status = waitBells(display, number);
    }
    XCloseDisplay(display);
    return status;
}
