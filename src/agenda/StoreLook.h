#pragma once

#include "agenda/DueReminder.h"

#include <QString>
#include <vector>

namespace rp::agenda {

struct StoreLook
{
    std::vector<DueReminder> due; // earliest alarm first
    std::vector<QString> badRows; // one text per row that cannot be a reminder: what it holds and why
};

// Reads the settings again and asks the operator's Promemoria for every reminder whose alarm is at or before
// `now` (a day serial, local time): one indexed read. Nothing is kept open after it. Raises RuntimeError when the
// settings name no operator or the store cannot be read.
StoreLook lookForDueReminders(const QString& settingsPath, double now);

} // namespace rp::agenda
