#pragma once

#include "agenda/DueReminder.h"

#include <QString>
#include <QStringList>
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
    QStringList keyColumns;          // Promemoria's key as its primary key gives it
};

// The operator's work database as the settings name it now: on a server (`server` its connection string) a schema,
// else a file. Raises RuntimeError when the settings name no operator.
struct WorkDatabase
{
    QString server;
    QString name;

    // The file to watch for changes; empty on a server.
    QString file() const { return server.isEmpty() ? name : QString(); }
};
WorkDatabase workDatabaseOf(const QString& settingsPath);

// Asks the operator's Promemoria for every reminder whose alarm is at or before
// `now` (a day serial, local time), those whose alarm is none, and the next alarm: reads through the alarm's
// index, Promemoria's key columns found through its own key. Nothing is kept open after it. Raises RuntimeError
// when the store cannot be read.
StoreLook lookForDueReminders(const WorkDatabase& store, double now);

} // namespace rp::agenda
