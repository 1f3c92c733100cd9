#pragma once

#include <QString>

class QLabel;

namespace rp {

struct PopupContext;

// Opens Appuntamenti and Promemoria, positions both cursors on the rows of the launch keys and leaves them
// there until the unload: the operator's action later changes exactly those rows. The appointment's note
// goes to LbAziDes and its cause is returned ("" when no appointment matched); a missing reminder raises.
QString FindAppointment(PopupContext& ctx, QLabel& LbAziDes);
void FindReminder(PopupContext& ctx, QLabel& lbDocumento);

} // namespace rp
