#include "reminder/Alerts.h"

#include "app/ReminderState.h"
#include "platform/Desktop.h"

namespace rp {

void GiveActivationAlerts(PopupContext& ctx)
{
    if (ctx.module.SoundEnabled) {
        PlayAlarmSound(ctx);
    }
    for (ctx.state.BeepCounter = 1; ctx.state.BeepCounter <= 10; ++ctx.state.BeepCounter) {
        ctx.desktop.beep();
    }
}

void PlayAlarmSound(PopupContext& ctx)
{
    if (!ctx.module.SoundEnabled) {
        return;
    }
    ctx.desktop.playSound(ctx.module.SoundFilePath);
}

} // namespace rp
