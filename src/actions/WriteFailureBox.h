#pragma once

#include "actions/PostponeAndDismiss.h"

#include <functional>

namespace rp {

class Desktop;

// Runs an action until its writes take or the operator gives up. After a failed write the operator is shown
// "ERRORE IN SCRITTURA" with the table and the engine's error, Riprova and Annulla: Riprova runs the whole
// action again. Returns whether the writes took; false after Annulla.
bool runUntilWrittenOrCancelled(Desktop& desktop, const std::function<ActionOutcome()>& action);

} // namespace rp
