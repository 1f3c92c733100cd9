#pragma once

#include <thread>

namespace rp {

// Reading the system's font configuration is the largest single cost between launch and the window on
// screen (dozens of XML files, before any text can be measured), and nothing before the window's first
// text needs it. Started before the application object, it runs on the second core while Qt connects to
// the display; wait() is called before the first font is used, so Qt finds the configuration loaded and
// never loads it a second time alongside.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp&) = delete;
    FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace rp
