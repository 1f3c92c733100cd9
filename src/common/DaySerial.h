#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace rp {

// Date-times are day serials: days since 30 December 1899 (local time), the fraction being the time of day.
constexpr double MinutesPerDay = 1440.0;

struct CivilDateTime
{
    int year = 1899;
    unsigned month = 12;
    unsigned day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CivilDateTime&) const = default;
};

// Civil date-time to day serial; std::nullopt for an impossible date or time (31 February, 25:00).
std::optional<double> daySerialFromCivil(const CivilDateTime& civil);
// Day serial to civil date-time, rounded to the nearest whole second.
CivilDateTime civilFromDaySerial(double serial);

// A moment of the local clock as a day serial of its whole seconds (milliseconds dropped); 0 outside the calendar.
double daySerialFromLocal(const QDateTime& moment);
// A day serial as a moment of the local clock.
QDateTime localFromDaySerial(double serial);

// The store's text form of a date-time: "YYYY-MM-DD HH:MM:SS".
QString storageTextFromDaySerial(double serial);
std::optional<double> daySerialFromStorageText(const QString& text);

} // namespace rp
