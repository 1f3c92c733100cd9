#include "common/Blanks.h"

namespace rp {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isBlank(text.at(first))) {
        ++first;
    }
    while (end > first && isBlank(text.at(end - 1))) {
        --end;
    }
    return text.mid(first, end - first);
}

bool isBlankText(const QString& text)
{
    for (const QChar c : text) {
        if (!isBlank(c)) {
            return false;
        }
    }
    return true;
}

} // namespace rp
