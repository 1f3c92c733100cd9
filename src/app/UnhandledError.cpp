#include "app/UnhandledError.h"

#include "app/ApplicationTitle.h"
#include "common/RuntimeError.h"
#include "platform/Desktop.h"

#include <cstdio>

namespace rp {

void reportUnhandledError(Desktop& desktop, const RuntimeError& error)
{
    const QString text = QStringLiteral("Errore di run-time '%1':\n\n%2").arg(error.number()).arg(error.description());
    // Also on standard error: the scheduling application may start the pop-up where nobody sees the box.
    std::fprintf(stderr, "reminder-popup: %s\n", qPrintable(text.simplified()));
    desktop.showMessage(text, applicationTitle(), Desktop::Icon::Critical, Desktop::Buttons::Ok);
}

} // namespace rp
