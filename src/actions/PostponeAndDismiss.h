#pragma once

#include "common/RuntimeError.h"

#include <QString>
#include <optional>

namespace rp {

struct PopupContext;

// Unit positions of the postpone list.
enum UnitPosition : int
{
    UnitMinutes = 0,
    UnitHours = 1,
    UnitDays = 2
};

// The first write of an action that did not take: the table as the operator knows it ("APPUNTAMENTI",
// "PROMEMORIA") and the engine's error.
struct FailedWrite
{
    QString table;
    RuntimeError error;
};

// What an action achieved. Rows that are already as the operator asked (gone where the action only clears
// them) are no failure.
struct ActionOutcome
{
    std::optional<FailedWrite> firstFailedWrite;

    bool written() const { return !firstFailedWrite.has_value(); }
};

// Moves the reminder's next alarm to now + the amount in the chosen unit and records on the appointment the
// whole minutes between that alarm and the appointment. Every step runs even when an earlier one failed; an
// amount that cannot be read postpones by zero. Run again, it reads the clock and the rows afresh.
ActionOutcome PostponeReminder(PopupContext& ctx, const QString& amountText, int unitPosition);

// Clears the appointment's lead time and deletes the reminder row, every step running likewise.
ActionOutcome StopReminding(PopupContext& ctx);

} // namespace rp
