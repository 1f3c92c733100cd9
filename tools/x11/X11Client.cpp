#include "X11Client.h"

#include <X11/Xlib.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace x11client {

Display* openDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open display\n");
    }
    return display;
}

Window windowFromArgument(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long id = std::strtoul(text, &end, 0);
    if (end == text || *end != '\0' || errno != 0 || id == 0) {
        std::fprintf(stderr, "not a window id: %s\n", text);
        return 0;
    }
    return id;
}

void requestClose(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace x11client
