#include "agenda/DueReminder.h"

#include "app/LaunchRequest.h"
#include "common/Blanks.h"
#include "common/DaySerial.h"
#include "common/RuntimeError.h"

#include <QStringList>
#include <cmath>
#include <limits>

namespace rp::agenda {

std::optional<double> dateTimeOf(const Value& value)
{
    if (value.kind() == Value::Kind::DateTime) {
        return value.asReal();
    }
    if (value.kind() == Value::Kind::Text) {
        return daySerialFromStorageText(value.asText());
    }
    return std::nullopt;
}

QString DueReminder::keyText() const
{
    return QString::number(client) + QLatin1Char('|') + storageTextFromDaySerial(appointment) + QLatin1Char('|') +
           action;
}

QString alarmField()
{
    return QStringLiteral("PmAllarm");
}

namespace {

// Why the pop-up, started with the reminder's launch line, would not find the row by the key it reads back (its
// parse trims the fields and reads the date-time to the second), or nothing when it would.
std::optional<QString> launchKeyProblem(const DueReminder& r, const QStringList& keyColumns)
{
    for (const QChar c : r.action) {
        if (c.category() == QChar::Other_Control) {
            return keyColumns.value(2) + QStringLiteral(" contiene un carattere di controllo");
        }
    }
    if (!r.action.isEmpty() && (isBlank(r.action.front()) || isBlank(r.action.back()))) {
        return keyColumns.value(2) + QStringLiteral(" comincia o finisce con uno spazio");
    }
    LaunchRequest back;
    try {
        back = ParseLaunchRequest(launchLine(QStringLiteral("impostazioni.ini"), 0, r), 0);
    } catch (const RuntimeError&) {
        return keyColumns.value(1) + QStringLiteral(" non è una data e ora che la riga di avvio possa portare");
    }
    if (back.ClientCode != r.client) {
        return keyColumns.value(0) + QStringLiteral(" non passa intatto nella riga di avvio");
    }
    if (back.AppointmentTime != r.appointment) {
        return keyColumns.value(1) +
               QStringLiteral(" non passa intatto nella riga di avvio (%1)").arg(LaunchDateTimeText(r.appointment));
    }
    if (back.ActionCode != r.action) {
        return keyColumns.value(2) + QStringLiteral(" non passa intatto nella riga di avvio");
    }
    return std::nullopt;
}

} // namespace

std::optional<DueReminder> reminderFromRow(const std::vector<Value>& row, const QStringList& keyColumns, QString& why)
{
    DueReminder r;
    const Value& client = row.at(0);
    const bool wholeNumber = client.kind() == Value::Kind::Integer ||
                             (client.kind() == Value::Kind::Real && std::trunc(client.asReal()) == client.asReal());
    if (!wholeNumber || client.asReal() < std::numeric_limits<qint32>::min() ||
        client.asReal() > std::numeric_limits<qint32>::max()) {
        why = keyColumns.value(0) + QStringLiteral(" non è un codice cliente");
        return std::nullopt;
    }
    r.client = static_cast<qint32>(client.asReal());
    const std::optional<double> appointment = dateTimeOf(row.at(1));
    if (!appointment) {
        why = keyColumns.value(1) + QStringLiteral(" non è una data e ora");
        return std::nullopt;
    }
    r.appointment = *appointment;
    if (row.at(2).kind() != Value::Kind::Text) {
        why = keyColumns.value(2) + QStringLiteral(" non è un codice di intervento");
        return std::nullopt;
    }
    r.action = row.at(2).asText();
    if (r.action.contains(QLatin1Char('|'))) {
        why = keyColumns.value(2) + QStringLiteral(" contiene il separatore |");
        return std::nullopt;
    }
    if (const std::optional<QString> problem = launchKeyProblem(r, keyColumns)) {
        why = *problem;
        return std::nullopt;
    }
    const std::optional<double> alarm = dateTimeOf(row.at(3));
    if (row.at(3).kind() == Value::Kind::Null) {
        why = alarmField() + QStringLiteral(" è vuoto");
        return std::nullopt;
    }
    if (!alarm) {
        why = alarmField() + QStringLiteral(" non è una data e ora");
        return std::nullopt;
    }
    r.alarm = *alarm;
    return r;
}

QString launchLine(const QString& settingsPath, int slot, const DueReminder& reminder)
{
    const QString when = LaunchDateTimeText(reminder.appointment);
    return QStringList{settingsPath, QString::number(slot), QString::number(reminder.client), reminder.action, when}
        .join(QLatin1Char('|'));
}

} // namespace rp::agenda
