#pragma once

#include "common/Value.h"

#include <optional>

namespace rp {

// Display text that is never empty: a Null, empty or all-blank value, or one that starts with NUL,
// gives the default (one blank " " when omitted or blank). Any other value's text form, untrimmed.
QString TextOrDefault(const Value& value, const std::optional<Value>& defaultValue = std::nullopt);

// A number or a date that never fails on blank or non-numeric input: Null and blank give 0, a text with two
// "/" is converted as a date (type mismatch when it is none) and given back as a Real day serial, a numeric
// value is given back unchanged, anything else gives 0. A first or second "/" beyond the 255th character
// raises the overflow error.
Value NumberOrDate(const Value& value);

} // namespace rp
