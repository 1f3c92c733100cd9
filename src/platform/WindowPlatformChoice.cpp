#include "platform/WindowPlatformChoice.h"

namespace rp {

QByteArray windowPlatformFor(const WindowSystemSession& session)
{
    if (!session.qtPlatform.isEmpty() || session.x11Display.isEmpty()) {
        return {};
    }
    if (session.waylandDisplay.isEmpty()) {
        return QByteArrayLiteral("xcb");
    }
    return QByteArrayLiteral("xcb;wayland");
}

WindowSystemSession currentWindowSystemSession()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
}

WindowSystemArguments::WindowSystemArguments(int argc, char** argv, const QByteArray& platform) : m_platform(platform)
{
    static char platformOption[] = "-platform";
    m_argv.reserve(static_cast<std::size_t>(argc) + 3);
    for (int i = 0; i < argc; ++i) {
        m_argv.push_back(argv[i]);
        // Right after the program's name, so that Qt reads it whatever the other arguments hold.
        if (i == 0 && !m_platform.isEmpty()) {
            m_argv.push_back(platformOption);
            m_argv.push_back(m_platform.data());
        }
    }
    m_argc = static_cast<int>(m_argv.size());
    m_argv.push_back(nullptr);
}

} // namespace rp
