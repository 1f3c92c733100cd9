#pragma once

#include <QString>

namespace rp {

// The classic platform's notion of blank space around values: spaces and tabs, nothing else, so that a line
// break or another control character inside a value is never silently dropped.
bool isBlank(QChar c);
QString trimBlanks(const QString& text);
bool isBlankText(const QString& text);

} // namespace rp
