#include "actions/WriteFailureBox.h"

#include "app/OperatorMessageLog.h"
#include "platform/Desktop.h"

namespace rp {

namespace {

QString failedWriteText(const FailedWrite& failure)
{
    return QStringLiteral("ERRORE IN SCRITTURA ") + failure.table + QLatin1Char('\n') +
           QString::number(failure.error.number()) + QStringLiteral(": ") + failure.error.description();
}

} // namespace

bool runUntilWrittenOrCancelled(Desktop& desktop, const std::function<ActionOutcome()>& action)
{
    // A loop: the operator may press Riprova any number of times while another client holds the file.
    for (;;) {
        const ActionOutcome outcome = action();
        if (outcome.written()) {
            return true;
        }
        const QString title = QStringLiteral("ERRORE");
        const QString text = failedWriteText(*outcome.firstFailedWrite);
        logOperatorMessage(title, text);
        if (desktop.showMessage(text, title, Desktop::Icon::Critical, Desktop::Buttons::RetryCancel) !=
            Desktop::Answer::Retry) {
            return false;
        }
    }
}

} // namespace rp
