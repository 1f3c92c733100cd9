#include "actions/PostponeAndDismiss.h"

#include "app/ReminderState.h"
#include "common/DaySerial.h"
#include "common/IntegerConversion.h"
#include "common/SkipOnError.h"
#include "common/ValueConversions.h"
#include "platform/Desktop.h"

#include <cmath>

namespace rp {

namespace {

const QString ApAllarm = QStringLiteral("ApAllarm");
const QString PmAllarm = QStringLiteral("PmAllarm");
const QString PmWait = QStringLiteral("PmWait");

// Floating-point arithmetic that leaves the finite range is the overflow error, as it was for the
// scheduling application; an infinite alarm time must never reach the store.
double finiteOrOverflow(double d)
{
    if (!std::isfinite(d)) {
        throw RuntimeError::overflow();
    }
    return d;
}

// Day serials carry a representation error of about 1e-8 minutes, so a new alarm falling exactly on the
// appointment computed as -0.00000001 minutes and was stored as -1. Differences below this tolerance (60
// microseconds) are taken as exact; everything else rounds toward minus infinity.
double wholeMinutesRoundedDown(double minutes)
{
    constexpr double Tolerance = 1e-6;
    return std::floor(minutes + Tolerance);
}

} // namespace

void PostponeReminder(PopupContext& ctx, const QString& amountText, int unitPosition)
{
    ReminderState& s = ctx.state;
    double PostponeMinutes = 0;
    double NextAlarmTime = 0;

    runSkippingError([&] { PostponeMinutes = toDouble(NumberOrDate(Value::text(amountText))); },
                     "lettura della quantità");
    if (unitPosition == UnitHours) {
        runSkippingError([&] { PostponeMinutes = finiteOrOverflow(PostponeMinutes * 60); }, "conversione in ore");
    }
    if (unitPosition == UnitDays) {
        runSkippingError([&] { PostponeMinutes = finiteOrOverflow(PostponeMinutes * MinutesPerDay); },
                         "conversione in giorni");
    }
    runSkippingError([&] { NextAlarmTime = finiteOrOverflow(ctx.desktop.now() + PostponeMinutes / MinutesPerDay); },
                     "calcolo del prossimo avviso");

    runSkippingError([&] { requireCursor(s.AppointmentRs).edit(); }, "Appuntamenti: apertura in modifica");
    runSkippingError(
        [&] {
            // The whole minutes by which the new alarm precedes the appointment.
            const double leadMinutes =
                finiteOrOverflow(wholeMinutesRoundedDown((s.AppointmentTime - NextAlarmTime) * MinutesPerDay));
            requireCursor(s.AppointmentRs).setField(ApAllarm, Value::real(leadMinutes));
        },
        "Appuntamenti: ApAllarm");
    runSkippingError([&] { requireCursor(s.AppointmentRs).update(); }, "Appuntamenti: scrittura");

    runSkippingError([&] { requireCursor(s.ReminderRs).edit(); }, "Promemoria: apertura in modifica");
    runSkippingError(
        [&] {
            const double nextAlarm = finiteOrOverflow(ctx.desktop.now() + PostponeMinutes / MinutesPerDay);
            requireCursor(s.ReminderRs).setField(PmAllarm, Value::real(nextAlarm));
        },
        "Promemoria: PmAllarm");
    runSkippingError([&] { requireCursor(s.ReminderRs).setField(PmWait, Value::text(QStringLiteral(" "))); },
                     "Promemoria: PmWait");
    runSkippingError([&] { requireCursor(s.ReminderRs).update(); }, "Promemoria: scrittura");
}

void StopReminding(PopupContext& ctx)
{
    ReminderState& s = ctx.state;
    runSkippingError([&] { requireCursor(s.AppointmentRs).edit(); }, "Appuntamenti: apertura in modifica");
    runSkippingError([&] { requireCursor(s.AppointmentRs).setField(ApAllarm, Value::integer(0)); },
                     "Appuntamenti: ApAllarm");
    runSkippingError([&] { requireCursor(s.AppointmentRs).update(); }, "Appuntamenti: scrittura");
    runSkippingError([&] { requireCursor(s.ReminderRs).remove(); }, "Promemoria: eliminazione");
}

} // namespace rp
