#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace rp::agenda {

// The pop-up to start: `configured` when given, else reminder-popup in this program's own folder when it is
// there, else the bare name, looked up on PATH.
QString popupProgram(const QString& configured);

// Starts the pop-up with the launch line as its one argument, detached from the watcher's life (the watcher only
// reaps it). Of the watcher's descriptors it inherits only the reminder's locked file `lockFd` (none when it is
// negative), and so holds that lock while it runs (the pop-up keeps it from whatever it starts in turn). Returns its
// process id, or nothing with `error` filled when it could not be started.
std::optional<pid_t> startPopup(const QString& program, const QString& launchLine, int lockFd, QString& error);

// How a pop-up ended, from its wait status, in Italian; nothing for a normal end (status 0).
std::optional<QString> abnormalEnd(int waitStatus);

} // namespace rp::agenda
