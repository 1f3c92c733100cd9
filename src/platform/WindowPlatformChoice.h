#pragma once

#include <QByteArray>
#include <vector>

namespace rp {

// What the session offers the program's window, as the window system's own variables tell it.
struct WindowSystemSession
{
    QByteArray qtPlatform;     // QT_QPA_PLATFORM: the operator's own choice, empty when none
    QByteArray x11Display;     // DISPLAY: an X server, or the Xwayland of a Wayland desktop
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
};

// The Qt platform the window asks for, empty to leave the choice to Qt. A Wayland client cannot place its own
// window, so wherever X11 is offered (on a Wayland desktop through Xwayland) the window runs on it and the slot
// grid holds; Wayland stays behind it for an X display that does not answer. Without a display, forcing X11
// would only make Qt abort; and the operator's own choice always wins.
QByteArray windowPlatformFor(const WindowSystemSession& session);

WindowSystemSession currentWindowSystemSession();

// The arguments for the QApplication: the program's own, with the chosen platform added as Qt's -platform
// option, so that it reaches neither the environment nor the programs started from the window.
class WindowSystemArguments
{
public:
    WindowSystemArguments(int argc, char** argv, const QByteArray& platform);
    WindowSystemArguments(const WindowSystemArguments&) = delete;
    WindowSystemArguments& operator=(const WindowSystemArguments&) = delete;

    int& argc() { return m_argc; }
    char** argv() { return m_argv.data(); }

private:
    QByteArray m_platform;
    int m_argc = 0;
    std::vector<char*> m_argv;
};

} // namespace rp
