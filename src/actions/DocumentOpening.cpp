#include "actions/DocumentOpening.h"

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
    desktop.showMessage(text, QStringLiteral("ERRORE IN ESECUZIONE DI '") + file + QLatin1Char('\''),
                        Desktop::Icon::Critical, Desktop::Buttons::Ok);
}

} // namespace rp
