#pragma once

#include "common/Value.h"

#include <QString>
#include <optional>
#include <vector>

namespace rp::agenda {

// One row of Promemoria as the watcher needs it: its three keys and its next alarm, all as day serials.
struct DueReminder
{
    qint32 client = 0;
    double appointment = 0; // the key's date-time
    QString action;
    double alarm = 0;

    // The key as one text, unique per row: names the reminder's lock and its log lines.
    QString keyText() const;
};

// The column whose index finds what has come due.
QString alarmField();

// A row read as the fields `keyColumns` (Promemoria's key in key order: client, appointment, action, whatever the
// store calls them) and then the alarm. std::nullopt, with `why` filled naming the column, for a null or
// unreadable key or alarm, and for a key that the launch line cannot carry exactly as stored: the pop-up, reading
// the line back with its own parse, would seek another key and never find the row.
std::optional<DueReminder> reminderFromRow(const std::vector<Value>& row, const QStringList& keyColumns, QString& why);

// A stored date-time (a date-time value, or on the files its text) as a day serial; nothing for anything else.
std::optional<double> dateTimeOf(const Value& value);

// "SETTINGS|SLOT|CLIENT|ACTION|DD/MM/YYYY HH:MM:SS", the line the pop-up is started with.
QString launchLine(const QString& settingsPath, int slot, const DueReminder& reminder);

} // namespace rp::agenda
