#include "app/UnloadSequence.h"

#include "app/ReminderState.h"
#include "common/SkipOnError.h"

namespace rp {

void runUnloadSequence(PopupContext& ctx)
{
    ReminderState& s = ctx.state;
    runSkippingError([&] { requireCursor(s.AppointmentRs).close(); });
    s.AppointmentRs.reset();
    runSkippingError([&] { requireCursor(s.ReminderRs).close(); });
    s.ReminderRs.reset();
    CloseAllAndEnd(ctx);
}

void CloseAllAndEnd(PopupContext& ctx)
{
    ReminderState& s = ctx.state;
    // The databases are not closed explicitly: dropping the last reference closes each file.
    s.DataWorkspace.reset();
    s.DataDb.reset();
    s.VisitsWorkspace.reset();
    s.VisitsDb.reset();
    s.WorkWorkspace.reset();
    s.WorkDb.reset();
}

} // namespace rp
