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

// The fields read from Promemoria, in this order.
QStringList promemoriaFields();
// The column whose index finds what has come due.
QString alarmField();

// The row read as a reminder; std::nullopt (with `why` filled) for a null or unreadable key or alarm.
std::optional<DueReminder> reminderFromRow(const std::vector<Value>& row, QString& why);

// "SETTINGS|SLOT|CLIENT|ACTION|DD/MM/YYYY HH:MM:SS", the line the pop-up is started with.
QString launchLine(const QString& settingsPath, int slot, const DueReminder& reminder);

} // namespace rp::agenda
