#pragma once

#include "agenda/DueReminder.h"

#include <QString>
#include <optional>
#include <vector>

namespace rp::agenda {

struct StoreLook
{
    std::vector<DueReminder> due; // earliest alarm first
    // One text per row that cannot be a reminder (its key unreadable, its alarm empty or no date-time): what it
    // holds and why.
    std::vector<QString> badRows;
    std::optional<double> nextAlarm; // the earliest alarm after `now`
};

// Reads the settings again and asks the operator's Promemoria for every reminder whose alarm is at or before
// `now` (a day serial, local time), those whose alarm is none, and the next alarm: reads through the alarm's
// index, Promemoria's key columns found through its own key. Nothing is kept open after it. Raises RuntimeError
// when the settings name no operator or the store cannot be read.
StoreLook lookForDueReminders(const QString& settingsPath, double now);

// The work database's file as the settings name it now; empty when the store is on a server. Raises RuntimeError as
// lookForDueReminders does for settings that name no operator.
QString workDatabaseFile(const QString& settingsPath);

} // namespace rp::agenda
