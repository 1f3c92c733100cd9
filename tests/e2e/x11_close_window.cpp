// Asks a top-level window to close the way a window manager does (WM_DELETE_WINDOW), for end-to-end tests
// that run without a window manager. Usage: x11_close_window WINDOW-ID
#include "X11Client.h"

#include <X11/Xlib.h>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    const Window window = x11client::windowFromArgument(argv[1]);
    if (window == 0) {
        return 2;
    }
    Display* display = x11client::openDisplay();
    if (display == nullptr) {
        return 1;
    }
    x11client::requestClose(display, window);
    XCloseDisplay(display);
    return 0;
}
