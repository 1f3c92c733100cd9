#include "platform/X11FrameExtents.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace rp {

namespace {

// xfwm4 and openbox answer within a millisecond or so: the first looks come soon after each other, and later
// ones less often. The bound only matters for a window manager that claims the request and never answers: the
// window is then placed without its frame rather than kept from showing.
constexpr auto AnswerWait = std::chrono::milliseconds(500);
constexpr auto FirstPollInterval = std::chrono::microseconds(100);
constexpr auto LongestPollInterval = std::chrono::microseconds(4000);
// Far larger than any frame; a bigger value is a broken answer, not a frame.
constexpr quint32 LargestFrameSide = 4096;
constexpr quint32 AtomListLongs = 4096;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> owned(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

struct EwmhAtoms
{
    xcb_atom_t supported = XCB_ATOM_NONE;
    xcb_atom_t supportingWmCheck = XCB_ATOM_NONE;
    xcb_atom_t requestFrameExtents = XCB_ATOM_NONE;
    xcb_atom_t frameExtents = XCB_ATOM_NONE;
};

// Looked up without creating them: a name no client ever interned means no window manager offers it.
std::optional<EwmhAtoms> existingAtoms(xcb_connection_t* connection)
{
    static constexpr std::array<const char*, 4> Names{"_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK",
                                                      "_NET_REQUEST_FRAME_EXTENTS", "_NET_FRAME_EXTENTS"};
    std::array<xcb_intern_atom_cookie_t, Names.size()> cookies{};
    for (std::size_t i = 0; i < Names.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection, 1, static_cast<quint16>(std::strlen(Names[i])), Names[i]);
    }
    std::array<xcb_atom_t, Names.size()> atoms{};
    for (std::size_t i = 0; i < Names.size(); ++i) {
        const auto reply = owned(xcb_intern_atom_reply(connection, cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    if (std::find(atoms.begin(), atoms.end(), xcb_atom_t{XCB_ATOM_NONE}) != atoms.end()) {
        return std::nullopt;
    }
    return EwmhAtoms{atoms[0], atoms[1], atoms[2], atoms[3]};
}

ReplyPtr<xcb_get_property_reply_t> property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                                            xcb_atom_t type, quint32 longs)
{
    return owned(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, name, type, 0, longs), nullptr));
}

// The 32-bit values of a property of the given type, empty when it is missing or of another form.
template <typename Value>
std::vector<Value> values(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                          quint32 longs)
{
    const auto reply = property(connection, window, name, type, longs);
    if (!reply || reply->type != type || reply->format != 32) {
        return {};
    }
    const auto* first = static_cast<const Value*>(xcb_get_property_value(reply.get()));
    return {first, first + xcb_get_property_value_length(reply.get()) / 4};
}

// A running window manager proves itself by the check window that names itself; a stale root property left by
// one that has ended does not.
bool windowManagerOffersFrameRequest(xcb_connection_t* connection, xcb_window_t root, const EwmhAtoms& atoms)
{
    const auto check = values<xcb_window_t>(connection, root, atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1);
    if (check.size() != 1) {
        return false;
    }
    const auto self = values<xcb_window_t>(connection, check[0], atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1);
    if (self.size() != 1 || self[0] != check[0]) {
        return false;
    }
    const auto supported = values<xcb_atom_t>(connection, root, atoms.supported, XCB_ATOM_ATOM, AtomListLongs);
    return std::find(supported.begin(), supported.end(), atoms.requestFrameExtents) != supported.end();
}

void requestFrameExtents(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window, const EwmhAtoms& atoms)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atoms.requestFrameExtents;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

// The answer is a property on the window. Qt's own thread reads the connection's events, so the property is
// polled rather than its change notification awaited.
std::optional<QMargins> awaitFrameExtents(xcb_connection_t* connection, xcb_window_t window, const EwmhAtoms& atoms)
{
    const auto deadline = std::chrono::steady_clock::now() + AnswerWait;
    std::chrono::microseconds interval = FirstPollInterval;
    for (;;) {
        const auto sides = values<quint32>(connection, window, atoms.frameExtents, XCB_ATOM_CARDINAL, 4);
        if (sides.size() == 4) {
            if (*std::max_element(sides.begin(), sides.end()) > LargestFrameSide) {
                return std::nullopt;
            }
            // The property's order is left, right, top, bottom.
            return QMargins(static_cast<int>(sides[0]), static_cast<int>(sides[2]), static_cast<int>(sides[1]),
                            static_cast<int>(sides[3]));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(interval);
        interval = std::min(interval * 2, LongestPollInterval);
    }
}

// X11 counts the frame in device pixels; the window's geometry is in device-independent ones.
QMargins inWindowPixels(const QMargins& device, qreal ratio)
{
    if (ratio == 1.0) {
        return device;
    }
    return {qRound(device.left() / ratio), qRound(device.top() / ratio), qRound(device.right() / ratio),
            qRound(device.bottom() / ratio)};
}

} // namespace

std::optional<QMargins> frameExtentsBeforeMapping(const QWidget& window)
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return std::nullopt;
    }
    const std::optional<EwmhAtoms> atoms = existingAtoms(connection);
    if (!atoms) {
        return std::nullopt;
    }
    const auto native = static_cast<xcb_window_t>(window.winId());
    const auto geometry = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, native), nullptr));
    if (!geometry || !windowManagerOffersFrameRequest(connection, geometry->root, *atoms)) {
        return std::nullopt;
    }
    requestFrameExtents(connection, geometry->root, native, *atoms);
    const std::optional<QMargins> frame = awaitFrameExtents(connection, native, *atoms);
    if (!frame) {
        return std::nullopt;
    }
    return inWindowPixels(*frame, window.devicePixelRatioF());
}

} // namespace rp
