#include "app/LaunchRequest.h"
#include "app/LoadSequence.h"
#include "app/ReminderState.h"
#include "app/StandardOptions.h"
#include "app/UnhandledError.h"
#include "common/RuntimeError.h"
#include "platform/FontConfigWarmUp.h"
#include "platform/InheritedDescriptors.h"
#include "platform/MachineLoad.h"
#include "platform/QtDesktop.h"
#include "platform/WindowPlatformChoice.h"
#include "reminder/ReminderWindow.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    rp::keepInheritedDescriptorsFromChildren();
    if (const std::optional<int> status = rp::answerStandardOption(argc, argv)) {
        return *status;
    }
    // The command line and the settings checks come before the window system is reached: a run that must end
    // silently neither connects to the display nor shows anything.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    // Decided before the window system starts, from the session's own variables: a few look-ups, no connection.
    rp::WindowSystemArguments qtArguments(argc, argv, rp::windowPlatformFor(rp::currentWindowSystemSession()));
    rp::QtDesktop desktop;
    rp::PopupContext ctx(desktop);
    bool goOn = false;
    try {
        goOn = rp::startFromCommandLine(ctx, rp::LaunchCommandText(arguments));
    } catch (const rp::RuntimeError& error) {
        QApplication app(qtArguments.argc(), qtArguments.argv());
        rp::reportUnhandledError(desktop, error);
        return rp::UnhandledErrorExitStatus;
    }
    if (!goOn) {
        return 0;
    }

    // On a server, what the load reads is read while the window system starts.
    const bool storesPreparing = rp::prepareStores(ctx, rp::ReminderWindow::storeReadsOfLoad(ctx.state));
    // On a machine already busier than its processors (a morning's backlog of pop-ups starting together), the
    // window system's start would take the processor from the connection and hold it past the server's bound:
    // there the connection goes first, and the window system starts once the load's rows are read.
    if (storesPreparing && rp::machineBusierThanItsProcessors()) {
        rp::finishPreparingStores(ctx);
    }
    rp::FontConfigWarmUp fontConfigWarmUp;
    QApplication app(qtArguments.argc(), qtArguments.argv());
    fontConfigWarmUp.wait();
    rp::ReminderWindow window(ctx);
    window.load();
    window.show();
    return app.exec();
}
