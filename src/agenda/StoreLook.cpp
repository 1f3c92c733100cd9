#include "agenda/StoreLook.h"

#include "app/SettingsValues.h"
#include "app/engine/Database.h"
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/Workspace.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QDir>
#include <QStringList>

namespace rp::agenda {

namespace {

QString rowText(const std::vector<Value>& row)
{
    QStringList texts;
    for (const Value& value : row) {
        switch (value.kind()) {
        case Value::Kind::Null:
            texts << QStringLiteral("Null");
            break;
        case Value::Kind::Text:
            texts << value.asText();
            break;
        case Value::Kind::Integer:
            texts << QString::number(value.asInteger());
            break;
        case Value::Kind::DateTime:
            texts << storageTextFromDaySerial(value.asReal());
            break;
        case Value::Kind::Real:
            texts << QString::number(value.asReal(), 'g', 17);
            break;
        }
    }
    return texts.join(QLatin1Char('|'));
}

} // namespace

StoreLook lookForDueReminders(const QString& settingsPath, double now)
{
    const QString operatorName = ReadOperatorName(settingsPath).trimmed();
    if (operatorName.isEmpty()) {
        throw RuntimeError(0, QStringLiteral("il file delle impostazioni non indica l'operatore (BASE, OPERATORE)"));
    }
    const QString server = ReadServerSetting(settingsPath);
    const QString workFolder = ReadFolderSetting(settingsPath, QStringLiteral("WORK"), QDir::currentPath());
    const QString name = DatabaseName(server, workFolder, ReadOperatorName(settingsPath), QStringLiteral("WorkQZ"));

    std::vector<std::vector<Value>> rows;
    {
        // The workspace ends with this scope: on the server no connection is held between looks.
        const std::shared_ptr<engine::Workspace> workspace = engine::defaultWorkspace(server);
        rows = workspace->openDatabase(name)->rowsUpTo(QStringLiteral("Promemoria"), alarmField(), Value::dateTime(now),
                                                       promemoriaFields());
    }
    StoreLook look;
    for (const std::vector<Value>& row : rows) {
        QString why;
        if (const std::optional<DueReminder> reminder = reminderFromRow(row, why)) {
            look.due.push_back(*reminder);
        } else {
            look.badRows.push_back(rowText(row) + QStringLiteral(": ") + why);
        }
    }
    return look;
}

} // namespace rp::agenda
