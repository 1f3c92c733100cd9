#pragma once

#include "app/engine/postgres/PgConnection.h"
#include "common/Value.h"

namespace rp::engine {

// How the program reads a server column, from its type in the catalog.
enum class PgColumnKind
{
    Integer,
    Real,
    Boolean,
    DateTime,
    Date,
    Text
};

PgColumnKind pgColumnKind(const QString& typeName);

// Whether the column holds date-times (a date column holds them at midnight).
bool isPgDateTimeKind(PgColumnKind kind);

// A date-time column is read in the store's whole-second text form, whatever the server's DateStyle. With the
// session in the PC's own zone, a timestamptz reads and compares as the PC's local time, as a timestamp does.
QString pgSelectExpression(const QString& quotedColumn, PgColumnKind kind);

// The text a value is bound as: on a date-time column a date-time or a number is "YYYY-MM-DD HH:MM:SS";
// elsewhere a date-time is its day serial, written with every digit a double holds.
PgParameter pgParameterFromValue(const Value& value, PgColumnKind kind);

// Raises ValueNotAccepted for a value the column would cut without a word: a date-time with a time of day into a
// date column (the server keeps the day alone, and the reminder would come back at the next repeat).
void requireKeptWhole(const Value& value, PgColumnKind kind, const QString& column, const QString& table);

// The program value of a column read as text.
Value valueFromPg(const PgParameter& text, PgColumnKind kind);

} // namespace rp::engine
