#pragma once

#include <QString>

namespace rp {

struct PopupContext;

// Unit positions of the postpone list.
enum UnitPosition : int
{
    UnitMinutes = 0,
    UnitHours = 1,
    UnitDays = 2
};

// Moves the reminder's next alarm to now + the amount in the chosen unit and records on the appointment the
// whole minutes between that alarm and the appointment. Every step that fails is skipped: the action is
// silent to the operator and the window closes afterwards whatever happened.
void PostponeReminder(PopupContext& ctx, const QString& amountText, int unitPosition);

// Clears the appointment's lead time and deletes the reminder row, under the same skip regime.
void StopReminding(PopupContext& ctx);

} // namespace rp
