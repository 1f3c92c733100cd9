#pragma once

#include <QChar>

namespace rp {

// The regional conventions the program depends on, read from one place. They start from the system
// locale (LANG / LC_ALL through QLocale::system()) and tests set them explicitly to vary them on purpose.
struct LocaleFacts
{
    QChar decimalSeparator = u'.';
    QChar groupSeparator = u',';
    QChar dateSeparator = u'/';
    QChar timeSeparator = u':';
};

LocaleFacts systemLocaleFacts();
const LocaleFacts& localeFacts();
void setLocaleFacts(const LocaleFacts& facts);

} // namespace rp
