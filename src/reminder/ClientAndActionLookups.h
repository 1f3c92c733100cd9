#pragma once

#include "app/LoadSequence.h"
#include "common/Value.h"

#include <QString>
#include <vector>

class QLabel;

namespace rp {

struct PopupContext;
struct ReminderState;

// The client's display name: the short name, then " >" and the extended name when there is one;
// "" for client 0 (no table opened), an unknown client or a table that could not be opened.
QString LoadClientName(PopupContext& ctx, qint32 code);

// Colours the action labels (black first) and, where the appointment left no note, shows the action's
// description in LbAziDes.
void ShowActionInfo(PopupContext& ctx, const QString& code, QLabel& lbAziCod, QLabel& LbAziDes);

// The colour of an action from its stored field. A Null or blank colour is black: without a colour the
// reminder must still be shown and handled. Any other text must be a number (type mismatch otherwise)
// that fits in 32 bits, signed or unsigned (overflow otherwise); its low 24 bits colour the labels.
qint32 ActionColourFromField(const Value& field);

// The client's and the action's rows of the launch, as the two look-ups seek them, for the store to read ahead.
std::vector<StoreRead> ClientAndActionReads(const ReminderState& s);

} // namespace rp
