#pragma once

#include "app/LoadSequence.h"
#include "app/ReminderState.h"
#include "reminder/ReminderWindow.h"
#include "support/FakeDesktop.h"

#include <QLabel>
#include <memory>

namespace rp::test {

// One run of the pop-up in-process: the real sequences and the real window, the desktop faked.
template <typename DesktopFake = FakeDesktop>
struct BasicPopupHarness
{
    DesktopFake desktop;
    PopupContext ctx{desktop};
    std::unique_ptr<ReminderWindow> window;

    // Command line, settings checks and the load; false when the run ends silently before any window.
    bool start(const QString& commandText)
    {
        if (!startFromCommandLine(ctx, commandText)) {
            return false;
        }
        window = std::make_unique<ReminderWindow>(ctx);
        window->load();
        return true;
    }

    const ReminderControls& controls() const { return window->controls(); }
    QString text(QLabel* label) const { return label->text(); }
};

using PopupHarness = BasicPopupHarness<>;

} // namespace rp::test
