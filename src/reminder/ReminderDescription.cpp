#include "reminder/ReminderDescription.h"

#include "reminder/ReminderControls.h"

#include <QLabel>
#include <QStringList>

namespace rp {

namespace {

// A note may span several lines; one sentence reads better with its line breaks as spaces.
QString oneLine(const QLabel& label)
{
    return label.text().simplified();
}

// Blank fields are left out rather than read as empty pauses.
QString joinedWithSpaces(const QStringList& parts)
{
    QStringList kept;
    for (const QString& part : parts) {
        if (!part.isEmpty()) {
            kept << part;
        }
    }
    return kept.join(QLatin1Char(' '));
}

void nameAfterCaption(QLabel& field, const QString& caption)
{
    const QString value = oneLine(field);
    field.setAccessibleName(value.isEmpty() ? caption : caption + QStringLiteral(": ") + value);
}

} // namespace

void nameFieldsAfterTheirCaptions(ReminderControls& controls)
{
    nameAfterCaption(*controls.lbCliCod, QStringLiteral("Cliente, codice"));
    nameAfterCaption(*controls.lbCliDes, QStringLiteral("Cliente, nome"));
    nameAfterCaption(*controls.lbAziCod, QStringLiteral("Intervento, codice"));
    nameAfterCaption(*controls.LbAziDes, QStringLiteral("Intervento, descrizione"));
    nameAfterCaption(*controls.lbScadDD, QStringLiteral("Appuntamento del"));
    nameAfterCaption(*controls.lbScadHH, QStringLiteral("alle ore"));
    nameAfterCaption(*controls.lbDocumento, QStringLiteral("Documento"));
}

QString describeReminder(const ReminderControls& controls, bool overdue)
{
    QStringList clauses;
    clauses << joinedWithSpaces({QStringLiteral("cliente"), oneLine(*controls.lbCliCod), oneLine(*controls.lbCliDes)});
    clauses << joinedWithSpaces({QStringLiteral("intervento"), oneLine(*controls.lbAziCod)});
    const QString note = oneLine(*controls.LbAziDes);
    if (!note.isEmpty()) {
        clauses << note;
    }
    clauses << joinedWithSpaces({QStringLiteral("appuntamento del"), oneLine(*controls.lbScadDD),
                                 QStringLiteral("alle ore"), oneLine(*controls.lbScadHH)});
    clauses << (overdue ? QStringLiteral("SCADUTO") : QStringLiteral("non ancora scaduto"));
    return QStringLiteral("Promemoria: ") + clauses.join(QStringLiteral(", ")) + QLatin1Char('.');
}

} // namespace rp
