#pragma once

#include <QString>

namespace rp::agenda {

// The journal's priorities of the watcher's lines: `journalctl -p err` lists what went wrong.
enum class LogPriority
{
    Error = 3,
    Warning = 4,
    Info = 6,
};

// `text` with every control character written out (\n, \r, \t, \xHH), so that text read from the store or the
// settings can never end a log line early nor stand as a line of its own.
QString escapedForLog(const QString& text);

// One line on standard error, prefixed with the program's name, escaped; with the journal's priority prefix when
// standard error is the journal's stream.
void logLine(LogPriority priority, const QString& text);

} // namespace rp::agenda
