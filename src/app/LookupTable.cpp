#include "app/LookupTable.h"

#include "app/OperatorMessageLog.h"
#include "app/ReminderState.h"
#include "platform/Desktop.h"

namespace rp {

void OpenLookupTable(PopupContext& ctx, const std::shared_ptr<engine::Database>& db, const QString& tableName,
                     const QString& label)
{
    // A loop rather than the recursion of the classic routine: retries are unlimited and must not
    // grow the stack while an operator keeps pressing Retry.
    for (;;) {
        ctx.state.LookupOpenOk = true;
        try {
            if (!db) {
                throw RuntimeError(ObjectNotSetNumber, QStringLiteral("Variabile oggetto non impostata"));
            }
            ctx.state.LookupRs = engine::TableCursor::open(db, tableName);
            return;
        } catch (const RuntimeError& error) {
            ctx.state.LookupOpenOk = false;
            ctx.module.LastErrorText = QStringLiteral("ERRORE IN APERTURA TABELLA ") + label;
            ctx.module.LastErrorText +=
                QLatin1Char('\n') + QString::number(error.number()) + QStringLiteral(": ") + error.description();
            logOperatorMessage(QStringLiteral("ERRORE"), ctx.module.LastErrorText);
            const Desktop::Answer answer =
                ctx.desktop.showMessage(ctx.module.LastErrorText, QStringLiteral("ERRORE"), Desktop::Icon::Exclamation,
                                        Desktop::Buttons::RetryCancel);
            ctx.module.RetryAnswer = static_cast<qint16>(answer == Desktop::Answer::Retry ? 4 : 2);
            if (answer != Desktop::Answer::Retry) {
                return;
            }
        }
    }
}

} // namespace rp
