#include "actions/DocumentOpening.h"

#include "app/OperatorMessageLog.h"
#include "platform/Desktop.h"

namespace rp {

void ShellOpen(Desktop& desktop, const QString& file)
{
    const int result = desktop.openDocument(file);
    if (result > 32) {
        return;
    }
    const QString text = result == 0
                             ? QStringLiteral("MEMORIA DI SISTEMA INSUFFICIENTE")
                             : QStringLiteral("ERRORE DI ESECUZIONE DEL PROGRAMMA  '") + file + QStringLiteral("' ");
    const QString title = QStringLiteral("ERRORE IN ESECUZIONE DI '") + file + QLatin1Char('\'');
    logOperatorMessage(title, text);
    desktop.showMessage(text, title, Desktop::Icon::Critical, Desktop::Buttons::Ok);
}

} // namespace rp
