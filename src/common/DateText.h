#pragma once

#include <QString>
#include <optional>

namespace rp {

// Text to date-time by the locale's conventions: day, month, year (two or four digits; two-digit years
// 00-29 are 2000-2029, 30-99 are 1930-1999), separated by the locale's date separator, optionally followed
// by blanks and hours:minutes[:seconds] with the locale's time separator. Surrounding blanks are allowed.
// std::nullopt for any other text or an impossible date.
std::optional<double> parseDateText(const QString& text);

// Display patterns with the locale's separators.
QString formatDayMonthYear(double serial); // "dd/mm/yy"
QString formatHourMinute(double serial);   // "hh:nn"
QString formatDayMonthTime(double serial); // "dd/mm hh:nn"
// The text form of a date-time value: "dd/mm/yyyy", with " hh:nn:ss" after it when there is a time of day.
QString dateTimeTextForm(double serial);

} // namespace rp
