#include "agenda/StoreLook.h"

#include "app/SettingsValues.h"
#include "app/engine/Database.h"
#include "app/engine/DefaultWorkspace.h"
#include "app/engine/TableSchema.h"
#include "app/engine/Workspace.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QDir>
#include <QStringList>

namespace rp::agenda {

namespace {

const QString PromemoriaTable = QStringLiteral("Promemoria");

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

WorkDatabase workDatabaseOf(const QString& settingsPath)
{
    const QString operatorName = ReadOperatorName(settingsPath);
    if (operatorName.trimmed().isEmpty()) {
        throw RuntimeError(0, QStringLiteral("il file delle impostazioni non indica l'operatore (BASE, OPERATORE)"));
    }
    const QString server = ReadServerSetting(settingsPath);
    const QString workFolder = ReadFolderSetting(settingsPath, QStringLiteral("WORK"), QDir::currentPath());
    return {server, DatabaseName(server, workFolder, operatorName, QStringLiteral("WorkQZ"))};
}

StoreLook lookForDueReminders(const WorkDatabase& store, double now)
{
    const auto& [server, name] = store;
    StoreLook look;
    engine::Database::MomentRows rows;
    QStringList keyColumns;
    {
        // The workspace ends with this scope: on the server no connection is held between looks.
        const std::shared_ptr<engine::Workspace> workspace = engine::defaultWorkspace(server);
        const std::shared_ptr<engine::Database> work = workspace->openDatabase(name);
        keyColumns = work->indexColumns(PromemoriaTable, engine::PrimaryKeyIndexName);
        if (keyColumns.size() != 3) {
            throw RuntimeError(0, QStringLiteral("la chiave primaria di %1 ha %2 campi invece di 3 (cliente, data e "
                                                 "ora, intervento): %3")
                                      .arg(PromemoriaTable)
                                      .arg(keyColumns.size())
                                      .arg(keyColumns.join(QStringLiteral(", "))));
        }
        rows = work->rowsByMoment(PromemoriaTable, alarmField(), Value::dateTime(now),
                                  QStringList(keyColumns) << alarmField());
    }
    look.keyColumns = keyColumns;
    for (const auto* group : {&rows.upTo, &rows.withoutMoment}) {
        for (const std::vector<Value>& row : *group) {
            QString why;
            if (const std::optional<DueReminder> reminder = reminderFromRow(row, keyColumns, why)) {
                look.due.push_back(*reminder);
            } else {
                look.badRows.push_back(rowText(row) + QStringLiteral(": ") + why);
            }
        }
    }
    if (rows.nextAfter) {
        look.nextAlarm = dateTimeOf(*rows.nextAfter);
    }
    return look;
}

} // namespace rp::agenda
