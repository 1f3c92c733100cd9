#pragma once

#include <QString>
#include <cstdio>

namespace rp {

// A message box's title and text repeated on standard error, one line per box (line feeds shown as " | "),
// for whoever supervises the process: a box's text cannot be read back from outside the program.
inline void logOperatorMessage(const QString& title, const QString& text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    std::fprintf(stderr, "reminder-popup: %s: %s\n", title.toUtf8().constData(), oneLine.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace rp
