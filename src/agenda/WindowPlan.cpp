#include "agenda/WindowPlan.h"

namespace rp::agenda {

namespace {

// Day serials of whole seconds: compared with half a second's margin, not exactly.
constexpr double HalfSecond = 0.5 / 86400.0;

// Whether the reminder, due, waits for its repeat after a window that ended at `ended`: not postponed past that end.
bool waitsForRepeat(const DueReminder& reminder, double ended)
{
    return reminder.alarm <= ended + HalfSecond;
}

} // namespace

std::vector<WindowStart> planWindows(const std::vector<DueReminder>& due, const std::map<QString, WindowTrace>& traces,
                                     double now, double repeatDays, int maxWindows)
{
    std::set<int> takenSlots;
    for (const auto& [key, trace] : traces) {
        if (trace.openSlot) {
            takenSlots.insert(*trace.openSlot);
        }
    }
    int open = static_cast<int>(takenSlots.size());
    std::vector<WindowStart> starts;
    int nextSlot = 0;
    for (const DueReminder& reminder : due) {
        if (open >= maxWindows) {
            break;
        }
        const auto trace = traces.find(reminder.keyText());
        if (trace != traces.end() && trace->second.openSlot) {
            continue;
        }
        if (trace != traces.end() && trace->second.endedAt) {
            const double ended = *trace->second.endedAt;
            const bool repeatDue = now + HalfSecond >= ended + repeatDays;
            if (waitsForRepeat(reminder, ended) && !repeatDue) {
                continue;
            }
        }
        while (takenSlots.count(nextSlot) != 0) {
            ++nextSlot;
        }
        takenSlots.insert(nextSlot);
        starts.push_back({reminder, nextSlot});
        ++open;
    }
    return starts;
}

std::optional<double> nextRepeat(const std::vector<DueReminder>& due, const std::map<QString, WindowTrace>& traces,
                                 double now, double repeatDays)
{
    std::optional<double> next;
    for (const DueReminder& reminder : due) {
        const auto trace = traces.find(reminder.keyText());
        if (trace == traces.end() || trace->second.openSlot || !trace->second.endedAt ||
            !waitsForRepeat(reminder, *trace->second.endedAt)) {
            continue;
        }
        const double repeatAt = *trace->second.endedAt + repeatDays;
        if (repeatAt > now + HalfSecond && (!next || repeatAt < *next)) {
            next = repeatAt;
        }
    }
    return next;
}

} // namespace rp::agenda
