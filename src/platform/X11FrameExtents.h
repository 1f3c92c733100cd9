#pragma once

#include <QMargins>
#include <optional>

class QWidget;

namespace rp {

// The frame the running X11 window manager will put around a top-level window that is not mapped yet, in the
// window's own pixels, asked for with the EWMH frame-extents request and its answer awaited for a bounded time.
// Creates the window's native window if it has none. nullopt when the platform is not X11, when no window
// manager runs that offers the request (then nothing is waited for), or when the answer does not come in time.
std::optional<QMargins> frameExtentsBeforeMapping(const QWidget& window);

} // namespace rp
