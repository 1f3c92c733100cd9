#include "platform/X11FrameExtents.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
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
// KWin 5.27 sets the frame some 5 to 10 ms after it maps the window, here on a 2-core machine.
constexpr auto PaintingHeldAtMost = std::chrono::milliseconds(500);
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

// Looked up without creating them: a name no client ever interned means no window manager offers it. A window
// manager that does not offer the frame-extents request may leave its name unknown to the server.
std::optional<EwmhAtoms> existingAtoms(xcb_connection_t* connection)
{
    static constexpr std::array<const char*, 4> Names{"_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK",
                                                      "_NET_FRAME_EXTENTS", "_NET_REQUEST_FRAME_EXTENTS"};
    std::array<xcb_intern_atom_cookie_t, Names.size()> cookies{};
    for (std::size_t i = 0; i < Names.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection, 1, static_cast<quint16>(std::strlen(Names[i])), Names[i]);
    }
    std::array<xcb_atom_t, Names.size()> atoms{};
    for (std::size_t i = 0; i < Names.size(); ++i) {
        const auto reply = owned(xcb_intern_atom_reply(connection, cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    if (std::find(atoms.begin(), atoms.end() - 1, xcb_atom_t{XCB_ATOM_NONE}) != atoms.end() - 1) {
        return std::nullopt;
    }
    return EwmhAtoms{atoms[0], atoms[1], atoms[3], atoms[2]};
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
bool windowManagerRuns(xcb_connection_t* connection, xcb_window_t root, const EwmhAtoms& atoms)
{
    const auto check = values<xcb_window_t>(connection, root, atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1);
    if (check.size() != 1) {
        return false;
    }
    const auto self = values<xcb_window_t>(connection, check[0], atoms.supportingWmCheck, XCB_ATOM_WINDOW, 1);
    return self.size() == 1 && self[0] == check[0];
}

bool offersFrameRequest(xcb_connection_t* connection, xcb_window_t root, const EwmhAtoms& atoms)
{
    if (atoms.requestFrameExtents == XCB_ATOM_NONE) {
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

// The frame in a property's values: left, right, top, bottom. nullopt for a broken value.
std::optional<QMargins> frameOf(const std::vector<quint32>& sides)
{
    if (sides.size() != 4 || *std::max_element(sides.begin(), sides.end()) > LargestFrameSide) {
        return std::nullopt;
    }
    return QMargins(static_cast<int>(sides[0]), static_cast<int>(sides[2]), static_cast<int>(sides[1]),
                    static_cast<int>(sides[3]));
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
            return frameOf(sides);
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

xcb_connection_t* x11Connection()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Every event of the connection passes the application's native filters on the main thread. KWin 5.27 maps the
// window first and sets its frame some milliseconds later: the window's painting is held until then, because a
// compositing window manager shows a new window only once the window has drawn into it, and so shows it first
// where it belongs. Without compositing the frame is seen for those milliseconds at the first place.
class FrameExtentsWatch final : public QObject, public QAbstractNativeEventFilter
{
public:
    FrameExtentsWatch(QWidget& window, xcb_connection_t* connection, xcb_atom_t frameExtents,
                      std::function<void(QMargins)> placeInFrame)
        : QObject(&window), m_window(window), m_native(static_cast<xcb_window_t>(window.winId())),
          m_connection(connection), m_frameExtents(frameExtents), m_placeInFrame(std::move(placeInFrame))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_window.setUpdatesEnabled(false);
        // A window manager that never sets the frame, or one slowed down, does not keep the window blank.
        QTimer::singleShot(PaintingHeldAtMost, this, [this] { m_window.setUpdatesEnabled(true); });
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
        if (m_done || eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The high bit marks an event sent by another client rather than by the server.
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
            return false;
        }
        const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
        if (change->window != m_native || change->atom != m_frameExtents || change->state != XCB_PROPERTY_NEW_VALUE) {
            return false;
        }
        m_done = true;
        // Once is enough: later changes are the window manager's own business. The destructor takes the filter off.
        deleteLater();
        if (const auto frame = frameOf(values<quint32>(m_connection, m_native, m_frameExtents, XCB_ATOM_CARDINAL, 4))) {
            m_placeInFrame(inWindowPixels(*frame, m_window.devicePixelRatioF()));
        }
        m_window.setUpdatesEnabled(true);
        // Qt reads the frame too, for its own idea of the window's frame geometry.
        return false;
    }

private:
    QWidget& m_window;
    const xcb_window_t m_native;
    xcb_connection_t* const m_connection;
    const xcb_atom_t m_frameExtents;
    const std::function<void(QMargins)> m_placeInFrame;
    bool m_done = false;
};

} // namespace

FrameBeforeMapping frameExtentsBeforeMapping(const QWidget& window)
{
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return {};
    }
    const std::optional<EwmhAtoms> atoms = existingAtoms(connection);
    if (!atoms) {
        return {};
    }
    const auto native = static_cast<xcb_window_t>(window.winId());
    const auto geometry = owned(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, native), nullptr));
    if (!geometry || !windowManagerRuns(connection, geometry->root, *atoms)) {
        return {};
    }
    if (!offersFrameRequest(connection, geometry->root, *atoms)) {
        return {std::nullopt, true};
    }
    requestFrameExtents(connection, geometry->root, native, *atoms);
    const std::optional<QMargins> frame = awaitFrameExtents(connection, native, *atoms);
    if (!frame) {
        return {};
    }
    return {inWindowPixels(*frame, window.devicePixelRatioF()), false};
}

void onFrameExtentsSet(QWidget& window, std::function<void(QMargins)> placeInFrame)
{
    xcb_connection_t* connection = x11Connection();
    if (connection == nullptr) {
        return;
    }
    static constexpr char Name[] = "_NET_FRAME_EXTENTS";
    const auto atom =
        owned(xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof Name - 1, Name), nullptr));
    if (!atom) {
        return;
    }
    new FrameExtentsWatch(window, connection, atom->atom, std::move(placeInFrame));
}

} // namespace rp
