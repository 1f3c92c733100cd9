#pragma once

#include "agenda/DueReminder.h"

#include <QString>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace rp::agenda {

// What the watcher knows of a reminder's window from its lock: open now in a slot, or ended at a moment.
struct WindowTrace
{
    std::optional<int> openSlot;
    std::optional<double> endedAt; // day serial
};

struct WindowStart
{
    DueReminder reminder;
    int slot = 0;
};

// Which due reminders get a window now, and in which slot. `due` is in due order (earliest alarm first); `traces`
// is keyed by DueReminder::keyText. A reminder with an open window gets no second one. One whose window ended
// comes back only when the store moved its alarm past that end (postponed), or once `repeatDays` have passed since
// the end (closed without an action, still due). At most `maxWindows` are open at once; each new window takes the
// lowest slot no open window holds.
std::vector<WindowStart> planWindows(const std::vector<DueReminder>& due, const std::map<QString, WindowTrace>& traces,
                                     double now, double repeatDays, int maxWindows);

// The earliest moment after `now` at which planWindows would bring back a due reminder whose window ended without
// an action (its repeat); nothing when none waits for one.
std::optional<double> nextRepeat(const std::vector<DueReminder>& due, const std::map<QString, WindowTrace>& traces,
                                 double now, double repeatDays);

} // namespace rp::agenda
