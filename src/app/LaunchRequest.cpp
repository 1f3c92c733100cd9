#include "app/LaunchRequest.h"

#include "common/Blanks.h"
#include "common/DateText.h"
#include "common/DaySerial.h"
#include "common/IntegerConversion.h"
#include "common/RuntimeError.h"
#include "common/ValueConversions.h"

namespace rp {

namespace {

constexpr QChar FieldSeparator = u'|';
// Character positions were 16-bit on the classic platform; a separator further on overflows.
constexpr qsizetype LastShortPosition = 32767;

// Splits off the next field: its text when the remaining text holds a separator, nothing otherwise.
// What follows the separator, trimmed, becomes the remaining text.
std::optional<QString> takeField(QString& rest)
{
    const qsizetype position = rest.indexOf(FieldSeparator) + 1;
    if (position > LastShortPosition) {
        throw RuntimeError::overflow();
    }
    if (position == 0) {
        return std::nullopt;
    }
    QString field = rest.left(position - 1);
    rest = trimBlanks(rest.mid(position));
    return field;
}

} // namespace

LaunchRequest ParseLaunchRequest(const QString& commandText, double today)
{
    LaunchRequest request;
    request.AppointmentTime = today;

    // The appended separator terminates the last field that is present.
    QString rest = commandText + FieldSeparator;

    const std::optional<QString> settingsPath = takeField(rest);
    if (!settingsPath) {
        return request;
    }
    request.SettingsPath = *settingsPath; // untrimmed: a path may begin with blanks

    const std::optional<QString> slot = takeField(rest);
    if (!slot) {
        return request;
    }
    request.SlotNumber = toInt16(NumberOrDate(Value::text(*slot)));

    const std::optional<QString> client = takeField(rest);
    if (!client) {
        return request;
    }
    request.ClientCode = toInt32(NumberOrDate(Value::text(*client)));

    const std::optional<QString> action = takeField(rest);
    if (!action) {
        return request;
    }
    request.ActionCode = trimBlanks(*action);

    const std::optional<QString> appointment = takeField(rest);
    if (!appointment) {
        return request;
    }
    // An empty fifth field counts as a missing one, not as a date that fails to convert.
    const QString appointmentText = trimBlanks(*appointment);
    if (!appointmentText.isEmpty()) {
        const std::optional<double> serial = parseDateText(appointmentText);
        if (!serial) {
            throw RuntimeError::typeMismatch();
        }
        request.AppointmentTime = *serial;
    }
    return request;
}

QString LaunchCommandText(const QStringList& arguments)
{
    return arguments.join(u' ');
}

QString LaunchDateTimeText(double appointmentTime)
{
    const CivilDateTime c = civilFromDaySerial(appointmentTime);
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(c.day, 2, 10, QLatin1Char('0'))
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.year, 4, 10, QLatin1Char('0'))
        .arg(c.hour, 2, 10, QLatin1Char('0'))
        .arg(c.minute, 2, 10, QLatin1Char('0'))
        .arg(c.second, 2, 10, QLatin1Char('0'));
}

} // namespace rp
