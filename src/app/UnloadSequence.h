#pragma once

namespace rp {

struct PopupContext;

// Releases every database object in its fixed order, skipping whatever fails (a cursor never opened,
// a connection already gone). The caller then ends the program by closing the window.
void runUnloadSequence(PopupContext& ctx);
void CloseAllAndEnd(PopupContext& ctx);

} // namespace rp
