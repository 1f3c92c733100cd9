#pragma once

#include "app/LoadSequence.h"

#include <QString>
#include <vector>

class QLabel;

namespace rp {

struct PopupContext;
struct ReminderState;

// Opens Appuntamenti and Promemoria, positions both cursors on the rows of the launch keys and leaves them
// there until the unload: the operator's action later changes exactly those rows. The appointment's note
// goes to LbAziDes and its cause is returned ("" when no appointment matched); a missing reminder raises.
QString FindAppointment(PopupContext& ctx, QLabel& LbAziDes);
void FindReminder(PopupContext& ctx, QLabel& lbDocumento);

// The two rows above, as FindAppointment and FindReminder seek them, for the store to read ahead.
std::vector<StoreRead> AppointmentAndReminderReads(const ReminderState& s);

} // namespace rp
