#pragma once

// Only the two names callers pass around, as Xlib declares them: Xlib's own header defines macros (Status, None,
// Bool) that break Qt's headers, so it stays out of this one.
struct _XDisplay;
using Display = _XDisplay;
using Window = unsigned long;

// What the test and benchmark helpers do to windows from outside, the way a window manager or a desktop tool
// would: they run without a window manager, under a private X server.
namespace x11client {

// The display DISPLAY names; nullptr, after saying so on standard error, when it cannot be opened.
Display* openDisplay();

// A window id as xdotool prints it (decimal) or as X tools print it (0x hex); 0, after saying so on standard
// error, when it is not one.
Window windowFromArgument(const char* text);

// Asks a top-level window to close the way a window manager does: WM_DELETE_WINDOW, sent and flushed.
void requestClose(Display* display, Window window);

} // namespace x11client
