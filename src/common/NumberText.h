#pragma once

#include <QString>
#include <optional>

namespace rp {

// The platform's numeric test and text-to-number conversion: surrounding blanks, an optional sign,
// digits with the locale's decimal and grouping separators, an optional exponent, or a hexadecimal
// integer "&H..." or octal "&O..." (case-insensitive). Anything else is not a number.
std::optional<double> parseNumberText(const QString& text);

// The platform's ordinary number-to-text conversion: shortest round-trip form, locale decimal separator,
// no grouping, no trailing zeros ("0.5" or "0,5", "12", "-3.25").
QString numberToText(double d);

} // namespace rp
