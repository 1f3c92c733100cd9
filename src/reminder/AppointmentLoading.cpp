#include "reminder/AppointmentLoading.h"

#include "app/ReminderState.h"
#include "common/ValueConversions.h"

#include <QLabel>

namespace rp {

namespace {

const QString PrimaryIndex = QStringLiteral("primaria");
const QString AppointmentTable = QStringLiteral("Appuntamenti");
const QString ReminderTable = QStringLiteral("Promemoria");

std::vector<Value> appointmentKey(const ReminderState& s)
{
    return {Value::integer(s.ClientCode), Value::dateTime(s.AppointmentTime), Value::text(s.ActionCode)};
}

} // namespace

QString FindAppointment(PopupContext& ctx, QLabel& LbAziDes)
{
    ReminderState& s = ctx.state;
    s.AppointmentRs = engine::TableCursor::open(s.VisitsDb, AppointmentTable);
    s.AppointmentRs->setIndex(PrimaryIndex);
    s.AppointmentRs->seek(QStringLiteral("="), appointmentKey(s));
    QString cause;
    if (!s.AppointmentRs->noMatch()) {
        LbAziDes.setText(TextOrDefault(s.AppointmentRs->field(QStringLiteral("ApNote"))));
        cause = TextOrDefault(s.AppointmentRs->field(QStringLiteral("ApCausa")));
    }
    return cause;
}

void FindReminder(PopupContext& ctx, QLabel& lbDocumento)
{
    ReminderState& s = ctx.state;
    s.ReminderRs = engine::TableCursor::open(s.WorkDb, ReminderTable);
    s.ReminderRs->setIndex(PrimaryIndex);
    s.ReminderRs->seek(QStringLiteral("="), appointmentKey(s));
    // No match is not tested: reading the field without a current row raises, and that ends the load.
    lbDocumento.setText(TextOrDefault(s.ReminderRs->field(QStringLiteral("PmDocumento"))));
}

std::vector<StoreRead> AppointmentAndReminderReads(const ReminderState& s)
{
    return {{StoreDatabase::Visits, AppointmentTable, PrimaryIndex, appointmentKey(s)},
            {StoreDatabase::Work, ReminderTable, PrimaryIndex, appointmentKey(s)}};
}

} // namespace rp
