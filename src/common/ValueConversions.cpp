#include "common/ValueConversions.h"

#include "common/Blanks.h"
#include "common/DateText.h"
#include "common/NumberText.h"
#include "common/RuntimeError.h"

namespace rp {

namespace {

// Character positions were held in an unsigned byte on the classic platform: a "/" found beyond the 255th
// character overflows it.
constexpr qsizetype LastBytePosition = 255;

qsizetype slashPosition(const QString& text, qsizetype from)
{
    const qsizetype position = text.indexOf(u'/', from) + 1;
    if (position > LastBytePosition) {
        throw RuntimeError::overflow();
    }
    return position;
}

} // namespace

QString TextOrDefault(const Value& value, const std::optional<Value>& defaultValue)
{
    QString defaultText = defaultValue ? defaultValue->textForm() : QStringLiteral(" ");
    if (isBlankText(defaultText)) {
        defaultText = QStringLiteral(" ");
    }
    const QString text = value.isNull() ? defaultText : value.textForm();
    if (isBlankText(text) || text.front() == QChar(u'\0')) {
        return defaultText;
    }
    return text;
}

Value NumberOrDate(const Value& value)
{
    if (value.isNull()) {
        return Value::integer(0);
    }
    // A date-time is already what the date conversion produces; going through its text would lose the
    // fraction of a second, and in a locale whose dates are not written with "/" it would give 0.
    if (value.kind() == Value::Kind::DateTime) {
        return Value::real(value.asDaySerial());
    }
    const QString text = value.textForm();
    if (isBlankText(text)) {
        return Value::integer(0);
    }

    const qsizetype firstSlash = slashPosition(text, 0);
    if (firstSlash > 0 && slashPosition(text, firstSlash) > 0) {
        if (const std::optional<double> serial = parseDateText(text)) {
            return Value::real(*serial);
        }
        throw RuntimeError::typeMismatch();
    }

    if (value.isNumber() || parseNumberText(text)) {
        return value;
    }
    return Value::integer(0);
}

} // namespace rp
