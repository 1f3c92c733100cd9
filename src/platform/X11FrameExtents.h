#pragma once

#include <QMargins>
#include <functional>
#include <optional>

class QWidget;

namespace rp {

// What the running X11 window manager tells, before a top-level window is mapped, of the frame it will put
// around it.
struct FrameBeforeMapping
{
    // The frame in the window's own pixels, where the window manager answered the EWMH frame-extents request.
    std::optional<QMargins> frame;
    // A running window manager that does not offer the request (KWin): it sets the frame on the window only as it
    // takes the mapped window in.
    bool setOnMapping = false;
};

// Asks with the EWMH frame-extents request and awaits its answer for a bounded time. Creates the window's native
// window if it has none. Neither a frame nor setOnMapping when the platform is not X11 or no window manager runs;
// no frame when the answer does not come in time. Nothing is waited for where the request is not offered.
FrameBeforeMapping frameExtentsBeforeMapping(const QWidget& window);

// Calls placeInFrame once, with the frame the window manager first sets on the window after this call (as it takes
// the window in), in the window's own pixels. The window is not painted until then, for a bounded time. Nothing
// happens off X11.
void onFrameExtentsSet(QWidget& window, std::function<void(QMargins)> placeInFrame);

} // namespace rp
