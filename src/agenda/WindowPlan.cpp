#include "agenda/WindowPlan.h"

namespace rp::agenda {

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
            // Day serials of whole seconds: compare with half a second's margin, not exactly.
            constexpr double HalfSecond = 0.5 / 86400.0;
            const double ended = *trace->second.endedAt;
            const bool postponed = reminder.alarm > ended + HalfSecond;
            const bool repeatDue = now + HalfSecond >= ended + repeatDays;
            if (!postponed && !repeatDue) {
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

} // namespace rp::agenda
