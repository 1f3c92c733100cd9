#pragma once

#include <QString>
#include <QStringList>

namespace rp {

// What the scheduling application says about the appointment to remind of.
struct LaunchRequest
{
    QString SettingsPath;
    qint16 SlotNumber = 0;
    qint32 ClientCode = 0;
    QString ActionCode;
    double AppointmentTime = 0; // day serial
};

// Reads "settings path|slot|client|action|date-time" (anything after a fifth "|" is ignored). `today` is the
// current date at midnight as a day serial: the appointment time when the fifth field is missing or empty.
// Raises the overflow error for a slot or client code out of range (or a separator beyond character 32767)
// and the type-mismatch error for a fifth field that is not a date.
LaunchRequest ParseLaunchRequest(const QString& commandText, double today);

// The fifth field of a launch line as the scheduling application writes it: "DD/MM/YYYY HH:MM:SS".
QString LaunchDateTimeText(double appointmentTime);

// The launch arguments (without the program's own path) as the one text the launcher meant: joined by blanks.
QString LaunchCommandText(const QStringList& arguments);

} // namespace rp
