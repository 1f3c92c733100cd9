#include "FuzzInput.h"
#include "common/Blanks.h"
#include "common/DateText.h"
#include "common/DaySerial.h"
#include "common/NumberText.h"
#include "common/RuntimeError.h"
#include "common/ValueConversions.h"

#include <cmath>

namespace {

// Defaults of every kind: none, Null, blank, text and number.
std::optional<rp::Value> defaultOfChoice(std::uint8_t choice)
{
    switch (choice % 5) {
    case 0:
        return std::nullopt;
    case 1:
        return rp::Value();
    case 2:
        return rp::Value::text(QStringLiteral("  "));
    case 3:
        return rp::Value::text(QStringLiteral("n/d"));
    default:
        return rp::Value::integer(7);
    }
}

void checkTextOrDefault(const rp::Value& value, const std::optional<rp::Value>& defaultValue)
{
    QString expectedDefault = defaultValue ? defaultValue->textForm() : QString();
    if (rp::isBlankText(expectedDefault)) {
        expectedDefault = QStringLiteral(" ");
    }

    const QString result = rp::TextOrDefault(value, defaultValue);
    RP_FUZZ_CHECK(!result.isEmpty());
    const QString text = value.textForm();
    const bool usable = !value.isNull() && !rp::isBlankText(text) && text.front() != QChar(u'\0');
    if (usable) {
        RP_FUZZ_CHECK(result == text);
    } else {
        RP_FUZZ_CHECK(result == expectedDefault);
    }
}

// NumberOrDate gives back 0, the value itself, or a day serial that is a real calendar moment.
void checkNumberOrDate(const rp::Value& value)
{
    rp::Value result;
    try {
        result = rp::NumberOrDate(value);
    } catch (const rp::RuntimeError&) {
        return; // type mismatch or overflow: an expected outcome for outside text
    }
    if (result == value) {
        return;
    }
    // 0 stands for "no number": a text that reads as a number must have come back as it was.
    if (result == rp::Value::integer(0)) {
        RP_FUZZ_CHECK(value.kind() != rp::Value::Kind::Text || rp::isBlankText(value.asText()) ||
                      !rp::parseNumberText(value.asText()));
        return;
    }
    // NaN is unequal to itself, yet a NaN number handed back is the value itself.
    if (value.isNumber() && result.kind() == value.kind() && std::isnan(value.asReal())) {
        RP_FUZZ_CHECK(std::isnan(result.asReal()));
        return;
    }
    RP_FUZZ_CHECK(result.kind() == rp::Value::Kind::Real);
    const double serial = result.asReal();
    if (value.kind() == rp::Value::Kind::DateTime) {
        RP_FUZZ_CHECK(std::isnan(serial) ? std::isnan(value.asDaySerial()) : serial == value.asDaySerial());
        return;
    }
    RP_FUZZ_CHECK(std::isfinite(serial));
    const std::optional<double> again = rp::daySerialFromCivil(rp::civilFromDaySerial(serial));
    RP_FUZZ_CHECK(again && std::fabs(*again - serial) < 0.5 / 86400);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rp::fuzz::FuzzInput input(data, size);
    input.chooseLocale();
    const std::optional<rp::Value> defaultValue = defaultOfChoice(input.byte());
    const rp::Value value = input.value();

    checkTextOrDefault(value, defaultValue);
    checkNumberOrDate(value);
    return 0;
}
