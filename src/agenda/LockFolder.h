#pragma once

#include <QString>
#include <optional>

namespace rp::agenda {

// The folder of the window locks for one settings file: under $XDG_RUNTIME_DIR, else under the operator's own
// cache folder (never a path of the shared temporary folder, which another user could make first), one folder per
// settings file as resolved (a link and the file it names share their windows).
QString lockFolderFor(const QString& settingsPath);

// Nothing when `folder` and its parent (the watcher's own "reminder-agenda" folder) are folders of this user closed
// to others (mode 0700), else why not, in Italian. With `make`, the missing ones are made first (each missing
// folder of the path, mode 0700).
std::optional<QString> privateFolderProblem(const QString& folder, bool make);

} // namespace rp::agenda
