#pragma once

#include <QString>

namespace rp {

class Desktop;

// Opens the attached document with the desktop's associated program; a failure is reported with the
// document's path and leaves everything else as it was.
void ShellOpen(Desktop& desktop, const QString& file);

} // namespace rp
