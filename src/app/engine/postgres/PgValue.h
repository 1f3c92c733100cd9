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
    Text
};

PgColumnKind pgColumnKind(const QString& typeName);

// A date-time column is read in the store's whole-second text form, whatever the server's DateStyle.
QString pgSelectExpression(const QString& quotedColumn, PgColumnKind kind);

// The text a value is bound as: on a date-time column a date-time or a number is "YYYY-MM-DD HH:MM:SS";
// elsewhere a date-time is its day serial, written with every digit a double holds.
PgParameter pgParameterFromValue(const Value& value, PgColumnKind kind);

// The program value of a column read as text.
Value valueFromPg(const PgParameter& text, PgColumnKind kind);

} // namespace rp::engine
