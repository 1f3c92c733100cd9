#pragma once

#include "agenda/WindowPlan.h"

#include <QString>
#include <map>
#include <set>

namespace rp::agenda {

// One lock file per reminder under $XDG_RUNTIME_DIR, in a folder per settings file. A window's pop-up inherits
// the open, locked file and holds it for its whole life without knowing: while the lock is held the window is
// open, whoever started it (this watcher or an earlier run of it). The file names the reminder and its slot; once
// the lock is found free, the file records when the window was seen ended (its modification time).
class WindowLocks
{
public:
    explicit WindowLocks(const QString& settingsPath);

    const QString& folder() const { return m_folder; }

    // The windows open now and those that ended, by reminder key.
    std::map<QString, WindowTrace> survey(double now);

    // Drops the files of ended windows whose reminder is no longer due (stopped, or postponed to later).
    void forgetAllBut(const std::set<QString>& dueKeys);

    // Locks the reminder's file for a window in `slot` and returns the descriptor the pop-up is to inherit (the
    // caller closes its own copy once the pop-up is started); -1 with `error` filled when the file cannot be had.
    int lockForWindow(const QString& key, int slot, QString& error);

    // After a pop-up that did not start: the window counts as ended now, so it is tried again after the repeat.
    void markEnded(int fd);

private:
    QString pathFor(const QString& key) const;

    QString m_folder;
};

} // namespace rp::agenda
