#include "common/DaySerial.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace rp {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr int SecondsPerDay = 86400;
constexpr int FirstYear = 100; // the classic platform's date range: 1 January 100 to 31 December 9999
constexpr int LastYear = 9999;

constexpr sys_days Epoch = sys_days{std::chrono::year{1899} / std::chrono::December / 30};

constexpr double serialOfDay(int y, unsigned m, unsigned d)
{
    return static_cast<double>(
        (sys_days{std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}} - Epoch).count());
}

// Before the epoch the day count goes toward zero and the time of day is added away from zero.
constexpr double FirstSerial = serialOfDay(FirstYear, 1, 1) - (SecondsPerDay - 1) / double(SecondsPerDay);
constexpr double LastSerial = serialOfDay(LastYear, 12, 31) + (SecondsPerDay - 1) / double(SecondsPerDay);

QString zeroPadded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

// Reads exactly `width` ASCII digits at `from`.
std::optional<int> fixedDigits(const QString& text, qsizetype from, int width)
{
    int value = 0;
    for (qsizetype i = from; i < from + width; ++i) {
        const QChar c = text.at(i);
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

std::optional<double> daySerialFromCivil(const CivilDateTime& civil)
{
    if (civil.year < FirstYear || civil.year > LastYear) {
        return std::nullopt;
    }
    // The calendar types keep only the low byte of a month or day number: reject larger numbers first.
    if (civil.month < 1 || civil.month > 12 || civil.day < 1 || civil.day > 31) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year{civil.year}, std::chrono::month{civil.month},
                              std::chrono::day{civil.day}};
    if (!date.ok()) {
        return std::nullopt;
    }
    if (civil.hour < 0 || civil.hour > 23 || civil.minute < 0 || civil.minute > 59 || civil.second < 0 ||
        civil.second > 59) {
        return std::nullopt;
    }
    const auto dayCount = static_cast<double>((sys_days{date} - Epoch).count());
    const double timeOfDay = (civil.hour * 3600 + civil.minute * 60 + civil.second) / double(SecondsPerDay);
    return dayCount < 0 ? dayCount - timeOfDay : dayCount + timeOfDay;
}

CivilDateTime civilFromDaySerial(double serial)
{
    if (std::isnan(serial)) {
        return CivilDateTime{};
    }
    // Serials outside the representable range are held at its ends rather than wrapping the calendar.
    serial = std::clamp(serial, FirstSerial, LastSerial);

    const double dayPart = std::trunc(serial);
    auto dayCount = static_cast<long long>(dayPart);
    auto secondOfDay = std::llround(std::fabs(serial - dayPart) * SecondsPerDay);
    if (secondOfDay >= SecondsPerDay) {
        // 23:59:59.6 rounds into the next calendar day, whichever side of the epoch it lies on.
        secondOfDay -= SecondsPerDay;
        dayCount += 1;
    }

    const year_month_day date{Epoch + days{dayCount}};
    CivilDateTime civil;
    civil.year = static_cast<int>(date.year());
    civil.month = static_cast<unsigned>(date.month());
    civil.day = static_cast<unsigned>(date.day());
    civil.hour = static_cast<int>(secondOfDay / 3600);
    civil.minute = static_cast<int>(secondOfDay / 60 % 60);
    civil.second = static_cast<int>(secondOfDay % 60);
    return civil;
}

QString storageTextFromDaySerial(double serial)
{
    const CivilDateTime c = civilFromDaySerial(serial);
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(zeroPadded(c.year, 4), zeroPadded(static_cast<int>(c.month), 2), zeroPadded(static_cast<int>(c.day), 2),
             zeroPadded(c.hour, 2), zeroPadded(c.minute, 2), zeroPadded(c.second, 2));
}

std::optional<double> daySerialFromStorageText(const QString& text)
{
    const bool dateOnly = text.size() == 10;
    if (!dateOnly && text.size() != 19) {
        return std::nullopt;
    }
    if (text.at(4) != u'-' || text.at(7) != u'-') {
        return std::nullopt;
    }
    if (!dateOnly && (text.at(10) != u' ' || text.at(13) != u':' || text.at(16) != u':')) {
        return std::nullopt;
    }
    const std::optional<int> year = fixedDigits(text, 0, 4);
    const std::optional<int> month = fixedDigits(text, 5, 2);
    const std::optional<int> day = fixedDigits(text, 8, 2);
    const std::optional<int> hour = dateOnly ? std::optional<int>(0) : fixedDigits(text, 11, 2);
    const std::optional<int> minute = dateOnly ? std::optional<int>(0) : fixedDigits(text, 14, 2);
    const std::optional<int> second = dateOnly ? std::optional<int>(0) : fixedDigits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        return std::nullopt;
    }
    return daySerialFromCivil(
        CivilDateTime{*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day), *hour, *minute, *second});
}

double daySerialFromLocal(const QDateTime& moment)
{
    const QDate d = moment.date();
    const QTime t = moment.time();
    return daySerialFromCivil({d.year(), static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()), t.hour(),
                               t.minute(), t.second()})
        .value_or(0.0);
}

QDateTime localFromDaySerial(double serial)
{
    const CivilDateTime civil = civilFromDaySerial(serial);
    return QDateTime(QDate(civil.year, static_cast<int>(civil.month), static_cast<int>(civil.day)),
                     QTime(civil.hour, civil.minute, civil.second));
}

} // namespace rp
