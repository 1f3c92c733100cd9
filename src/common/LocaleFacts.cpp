#include "common/LocaleFacts.h"

#include <QLocale>
#include <QString>
#include <optional>

namespace rp {

namespace {

// The separator of a date or time pattern is its first character that is not a field letter, a blank or a
// quote ("dd.MM.yy" gives '.', "H:mm" gives ':').
QChar patternSeparator(const QString& pattern, QChar fallback)
{
    for (const QChar c : pattern) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            return c;
        }
    }
    return fallback;
}

QChar firstOr(const QString& text, QChar fallback)
{
    return text.isEmpty() ? fallback : text.front();
}

std::optional<LocaleFacts>& currentFacts()
{
    static std::optional<LocaleFacts> facts;
    return facts;
}

} // namespace

LocaleFacts systemLocaleFacts()
{
    const QLocale locale = QLocale::system();
    LocaleFacts facts;
    facts.decimalSeparator = firstOr(locale.decimalPoint(), u'.');
    facts.groupSeparator = firstOr(locale.groupSeparator(), facts.decimalSeparator == u',' ? u'.' : u',');
    facts.dateSeparator = patternSeparator(locale.dateFormat(QLocale::ShortFormat), u'/');
    facts.timeSeparator = patternSeparator(locale.timeFormat(QLocale::ShortFormat), u':');
    return facts;
}

const LocaleFacts& localeFacts()
{
    std::optional<LocaleFacts>& facts = currentFacts();
    if (!facts) {
        facts = systemLocaleFacts();
    }
    return *facts;
}

void setLocaleFacts(const LocaleFacts& facts)
{
    currentFacts() = facts;
}

} // namespace rp
