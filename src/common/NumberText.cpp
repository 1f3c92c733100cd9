#include "common/NumberText.h"

#include "common/Blanks.h"
#include "common/LocaleFacts.h"

#include <charconv>
#include <cmath>
#include <string>

namespace rp {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9') {
        value = u - u'0';
    } else if (u >= u'a' && u <= u'f') {
        value = u - u'a' + 10;
    } else if (u >= u'A' && u <= u'F') {
        value = u - u'A' + 10;
    }
    return value < base ? value : -1;
}

// "&H" and "&O" integers fill 32 bits and are read as a signed value, as on the classic platform
// ("&HFFFFFFFF" is -1).
std::optional<double> parsePrefixedInteger(const QString& text)
{
    if (text.size() < 3 || text.at(0) != u'&') {
        return std::nullopt;
    }
    const char16_t prefix = text.at(1).toUpper().unicode();
    const int base = prefix == u'H' ? 16 : prefix == u'O' ? 8 : 0;
    if (base == 0) {
        return std::nullopt;
    }
    quint64 value = 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const int digit = digitValue(text.at(i), base);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * static_cast<quint64>(base) + static_cast<quint64>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    return static_cast<double>(static_cast<qint32>(static_cast<quint32>(value)));
}

// Decimal text in the locale's conventions, rewritten in the neutral form the standard parser reads.
std::optional<double> parseDecimal(const QString& text, const LocaleFacts& facts)
{
    std::string neutral;
    neutral.reserve(static_cast<std::size_t>(text.size()));
    qsizetype i = 0;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        if (text.at(i) == u'-') {
            neutral.push_back('-');
        }
        ++i;
    }

    int mantissaDigits = 0;
    bool afterDecimalSeparator = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isAsciiDigit(c)) {
            neutral.push_back(static_cast<char>(c.unicode()));
            ++mantissaDigits;
        } else if (c == facts.decimalSeparator && !afterDecimalSeparator) {
            neutral.push_back('.');
            afterDecimalSeparator = true;
        } else if (c == facts.groupSeparator && !afterDecimalSeparator) {
            // Grouping is ignored wherever it stands between two digits of the whole part ("1,5" is 15, as
            // the classic platform read it); anywhere else it makes the text something other than a number.
            const bool betweenDigits =
                i > 0 && isAsciiDigit(text.at(i - 1)) && i + 1 < text.size() && isAsciiDigit(text.at(i + 1));
            if (!betweenDigits) {
                return std::nullopt;
            }
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }

    if (i < text.size() && (text.at(i) == u'E' || text.at(i) == u'e')) {
        neutral.push_back('e');
        ++i;
        if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
            neutral.push_back(static_cast<char>(text.at(i).unicode()));
            ++i;
        }
        int exponentDigits = 0;
        for (; i < text.size() && isAsciiDigit(text.at(i)); ++i) {
            neutral.push_back(static_cast<char>(text.at(i).unicode()));
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }

    double value = 0;
    const char* begin = neutral.data();
    const char* end = begin + neutral.size();
    const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<double> parseNumberText(const QString& text)
{
    const QString trimmed = trimBlanks(text);
    if (trimmed.startsWith(u'&')) {
        return parsePrefixedInteger(trimmed);
    }
    return parseDecimal(trimmed, localeFacts());
}

QString numberToText(double d)
{
    if (d == 0) {
        return QStringLiteral("0"); // never "-0"
    }
    // Fifteen significant digits, as the classic platform shows a double: 0.1 + 0.2 reads "0.3".
    QString text = QString::number(d, 'g', 15);
    const qsizetype exponentAt = text.indexOf(u'e');
    if (exponentAt >= 0) {
        text[exponentAt] = u'E';
    }
    const qsizetype pointAt = text.indexOf(u'.');
    if (pointAt >= 0) {
        text[pointAt] = localeFacts().decimalSeparator;
    }
    return text;
}

} // namespace rp
