#pragma once

#include "agenda/WindowPlan.h"

#include <QString>
#include <map>
#include <optional>
#include <set>

namespace rp::agenda {

// The lock of a window about to start: the descriptor the pop-up is to inherit, or why there is none.
struct WindowLock
{
    int fd = -1;
    bool alreadyOpen = false; // another window (of an earlier run, or of a watcher on the same file) holds it
    QString problem;          // the file or its folder cannot be had
};

// One lock file per reminder in a private folder per settings file (LockFolder.h). A window's pop-up inherits the
// open, locked file and holds it for its whole life without knowing: while the lock is held the window is open,
// whoever started it (this watcher, an earlier run of it, another watcher of the same file). The file names the
// reminder and its slot; once the lock is found free, the file records how the window ended (seen ended by a
// watcher, or ended abnormally) and when (its modification time).
class WindowLocks
{
public:
    explicit WindowLocks(QString settingsPath);

    // The folder as the settings file resolves now.
    QString folder() const;

    // The windows open now and those that ended, by reminder key. At the watcher's first survey a window that ended
    // abnormally, or that ended while no watcher ran (its session lost with the display), leaves no trace: it is
    // shown again at once. Nothing, with `problem` filled, when the folder is not a private one.
    std::map<QString, WindowTrace> survey(double now, std::optional<QString>& problem);

    // Drops the files of ended windows whose reminder is no longer due (stopped, or postponed to later).
    void forgetAllBut(const std::set<QString>& dueKeys);

    // Locks the reminder's file for a window in `slot`, making the folder again when it has gone. The caller closes
    // the descriptor once the pop-up is started.
    WindowLock lockForWindow(const QString& key, int slot);

    // After a pop-up that did not start: the window counts as ended now, so it is tried again after the repeat.
    void markEnded(int fd);

    // After a pop-up that ended abnormally: tried again at the repeat by this watcher, at once by the next one.
    void markFailed(const QString& key);

private:
    QString pathFor(const QString& folder, const QString& key) const;

    QString m_settingsPath;
    bool m_surveyed = false;
};

} // namespace rp::agenda
