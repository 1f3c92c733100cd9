#include "actions/PostponeAndDismiss.h"

#include "app/ReminderState.h"
#include "app/engine/EngineError.h"
#include "common/DaySerial.h"
#include "common/IntegerConversion.h"
#include "common/SkipOnError.h"
#include "common/ValueConversions.h"
#include "platform/Desktop.h"

#include <cmath>
#include <optional>
#include <utility>

namespace rp {

namespace {

const QString ApAllarm = QStringLiteral("ApAllarm");
const QString PmAllarm = QStringLiteral("PmAllarm");
const QString PmWait = QStringLiteral("PmWait");
const QString AppointmentsTable = QStringLiteral("APPUNTAMENTI");
const QString RemindersTable = QStringLiteral("PROMEMORIA");

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

// The write steps on one row, under the skip regime, keeping the action's first failed write. Where the
// action can do without the row, a row that is not there (never found, or deleted by another client since)
// leaves nothing to write: no failure, and the later steps on the row fail only because of it.
class RowWrites
{
public:
    enum class MissingRow
    {
        IsAFailure,
        IsDone
    };

    RowWrites(ActionOutcome& outcome, QString table, MissingRow missingRow)
        : m_outcome(outcome), m_table(std::move(table)), m_missingRow(missingRow)
    {
    }

    template <typename Step>
    void run(Step&& step, std::string_view diagnostic)
    {
        if (m_rowMissing) {
            return;
        }
        const std::optional<RuntimeError> error = errorOfSkippedStep(std::forward<Step>(step));
        if (!error) {
            return;
        }
        // A row the action can do without is not there: nothing failed, and nothing is reported.
        if (m_missingRow == MissingRow::IsDone && isMissingRow(*error)) {
            m_rowMissing = true;
            return;
        }
        reportSkippedStep(diagnostic, *error);
        if (m_outcome.written()) {
            m_outcome.firstFailedWrite = FailedWrite{m_table, *error};
        }
    }

private:
    static bool isMissingRow(const RuntimeError& error)
    {
        return error.number() == engine::NoCurrentRecord || error.number() == engine::RowDeletedByAnotherUser;
    }

    ActionOutcome& m_outcome;
    QString m_table;
    MissingRow m_missingRow;
    bool m_rowMissing = false;
};

// Both writes of an action as one unit where the store can: on the office server the two rows are committed
// together or not at all; on the files each write has committed on its own already and this does nothing.
class ActionTransaction
{
public:
    ActionTransaction(const std::shared_ptr<engine::Workspace>& workspace, ActionOutcome& outcome)
        : m_workspace(workspace), m_outcome(outcome)
    {
        // Without the transaction every write still runs, committing on its own: the steps report the failure.
        m_open = m_workspace && runSkippingError([&] { m_workspace->beginTransaction(); }, "inizio transazione");
    }
    ~ActionTransaction()
    {
        if (m_open) {
            finish();
        }
        // The window may stay open after a failed action, waiting for Riprova or the operator: the server's
        // connection goes back meanwhile, and the next try connects again.
        if (m_workspace) {
            m_workspace->releaseConnection();
        }
    }
    ActionTransaction(const ActionTransaction&) = delete;
    ActionTransaction& operator=(const ActionTransaction&) = delete;

private:
    void finish()
    {
        if (m_outcome.written()) {
            if (const std::optional<RuntimeError> error =
                    errorOfSkippedStep([&] { m_workspace->commitTransaction(); }, "conferma della transazione")) {
                m_outcome.firstFailedWrite = FailedWrite{AppointmentsTable, *error};
            }
            return;
        }
        runSkippingError([&] { m_workspace->rollbackTransaction(); }, "annullamento della transazione");
    }

    std::shared_ptr<engine::Workspace> m_workspace;
    ActionOutcome& m_outcome;
    bool m_open = false;
};

} // namespace

ActionOutcome PostponeReminder(PopupContext& ctx, const QString& amountText, int unitPosition)
{
    ReminderState& s = ctx.state;
    double PostponeMinutes = 0;
    double NextAlarmTime = 0;

    // An amount that cannot be read or computed postpones by zero: no write has failed.
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

    // The appointment's lead time is bookkeeping: an appointment that is not there leaves the postpone done.
    ActionOutcome outcome;
    {
        const ActionTransaction transaction(s.VisitsWorkspace, outcome);
        RowWrites appointment(outcome, AppointmentsTable, RowWrites::MissingRow::IsDone);
        appointment.run([&] { requireCursor(s.AppointmentRs).edit(); }, "Appuntamenti: apertura in modifica");
        appointment.run(
            [&] {
                // The whole minutes by which the new alarm precedes the appointment.
                const double leadMinutes =
                    finiteOrOverflow(wholeMinutesRoundedDown((s.AppointmentTime - NextAlarmTime) * MinutesPerDay));
                requireCursor(s.AppointmentRs).setField(ApAllarm, Value::real(leadMinutes));
            },
            "Appuntamenti: ApAllarm");
        appointment.run([&] { requireCursor(s.AppointmentRs).update(); }, "Appuntamenti: scrittura");

        // The reminder row carries the next alarm: without it nothing reminds the operator later.
        RowWrites reminder(outcome, RemindersTable, RowWrites::MissingRow::IsAFailure);
        reminder.run([&] { requireCursor(s.ReminderRs).edit(); }, "Promemoria: apertura in modifica");
        reminder.run(
            [&] {
                const double nextAlarm = finiteOrOverflow(ctx.desktop.now() + PostponeMinutes / MinutesPerDay);
                requireCursor(s.ReminderRs).setField(PmAllarm, Value::real(nextAlarm));
            },
            "Promemoria: PmAllarm");
        reminder.run([&] { requireCursor(s.ReminderRs).setField(PmWait, Value::text(QStringLiteral(" "))); },
                     "Promemoria: PmWait");
        reminder.run([&] { requireCursor(s.ReminderRs).update(); }, "Promemoria: scrittura");
    }
    return outcome;
}

ActionOutcome StopReminding(PopupContext& ctx)
{
    ReminderState& s = ctx.state;
    ActionOutcome outcome;
    {
        const ActionTransaction transaction(s.VisitsWorkspace, outcome);
        RowWrites appointment(outcome, AppointmentsTable, RowWrites::MissingRow::IsDone);
        appointment.run([&] { requireCursor(s.AppointmentRs).edit(); }, "Appuntamenti: apertura in modifica");
        appointment.run([&] { requireCursor(s.AppointmentRs).setField(ApAllarm, Value::integer(0)); },
                        "Appuntamenti: ApAllarm");
        appointment.run([&] { requireCursor(s.AppointmentRs).update(); }, "Appuntamenti: scrittura");
        // A reminder another client already deleted, or this action deleted on an earlier try, is stopped.
        RowWrites reminder(outcome, RemindersTable, RowWrites::MissingRow::IsDone);
        reminder.run([&] { requireCursor(s.ReminderRs).remove(); }, "Promemoria: eliminazione");
    }
    return outcome;
}

} // namespace rp
