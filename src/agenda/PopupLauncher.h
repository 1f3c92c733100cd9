#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace rp::agenda {

// The pop-up to start: `configured` when given, else reminder-popup in this program's own folder when it is
// there, else the bare name, looked up on PATH.
QString popupProgram(const QString& configured);

// Starts the pop-up with the launch line as its one argument, detached from the watcher's life (the watcher only
// reaps it). It inherits every descriptor opened without close-on-exec, the reminder's locked file among them, and
// so holds that lock while it runs (the pop-up keeps it from whatever it starts in turn). Returns its process id, or
// nothing with `error` filled when it could not be started.
std::optional<pid_t> startPopup(const QString& program, const QString& launchLine, QString& error);

// Collects the pop-ups that have ended, so that none lingers as a zombie.
void reapEndedPopups();

} // namespace rp::agenda
