#pragma once

namespace rp {

struct PopupContext;

// The configured sound (when enabled) followed by ten beep requests, one straight after the other.
void GiveActivationAlerts(PopupContext& ctx);

// Starts the configured sound and returns at once; called with whatever SoundFilePath holds, so a missing
// file still gives an audible alert (the player falls back to the beep).
void PlayAlarmSound(PopupContext& ctx);

} // namespace rp
